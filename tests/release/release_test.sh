#!/usr/bin/env bash
# The release files as `make dist` made them, not a build of the tests' own:
# both programs are checked without running (the 32-bit one cannot run on a
# machine without 32-bit code); the zips must hold exactly their folder of
# five files, the converter's licence among them; the converters' source
# archive must unpack into Debian's source packages, with the configure
# lines of both kinds. Then the kind that runs here: its installer, in a
# fresh Wine prefix of its own, must install silently for the user; the
# installed program must start, install its converter from itself and
# convert a clip (ffprobe checks the AVI); the silent uninstaller must take
# away all it put there and the program's own two files, and nothing else;
# and the program unpacked from its zip must do the same start and conversion.
#   release_test.sh <dist folder> <x64|x86> <StartInstalled.exe> <e2e_recorders_test.exe> <e2e_conversion.exe>
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
dist=$1 kind=$2 starter=$3 recorders=$4 operator=$5
source "$here/tools/media.sh"

for f in QuendrixOmbrelo-1.0-x64-setup.exe QuendrixOmbrelo-1.0-x64.zip QuendrixOmbrelo-1.0-x86-setup.exe \
    QuendrixOmbrelo-1.0-x86.zip QuendrixOmbrelo-1.0-converter-source.tar.xz; do
    [ -s "$dist/$f" ] || { echo "FAILED: $dist/$f is missing: run make dist" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quendrix_release.XXXXXX")
if [ "$kind" = x64 ]; then
    arch=win64 loader=/usr/lib/wine/wine64
else
    arch=win32 loader=/usr/lib/wine/wine
fi
export WINEPREFIX="$work/prefix" WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "$loader" "$@"; }
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

source "$here/tests/support/expect.sh"
win() { wine "$@" 2>/dev/null | tr -d '\r'; }
crlf_lines() { bash -c '[ -s "$1" ] && ! grep -qv $'"'"'\r$'"'"' "$1" && [ "$(tail -c1 "$1" | od -An -c | tr -d " ")" = "\n" ]' _ "$1"; }

declare -A converter=([x64]="$here/.deps/x86_64/converter" [x86]="$here/.deps/converter")
declare -A bits=([x64]=64 [x86]=32)
ffmpeg_version=$(sed -n 's/^FFmpeg //p' "${converter[x64]}/versions")
lame_version=$(sed -n 's/^LAME //p' "${converter[x64]}/versions")
dav1d_version=$(sed -n 's/^dav1d //p' "${converter[x64]}/versions")
zlib_version=$(sed -n 's/^zlib //p' "${converter[x64]}/versions")

# --- both kinds, without running them ----------------------------------------
for k in x64 x86; do
    zip_file="$dist/QuendrixOmbrelo-1.0-$k.zip"
    listing=$(unzip -Z1 "$zip_file" | tr '\n' '|')
    expect "$k: the zip holds the folder and its five files, nothing else" same "$listing" \
        "Quendrix Ombrelo/|Quendrix Ombrelo/QuendrixOmbrelo.exe|Quendrix Ombrelo/help.htm|Quendrix Ombrelo/readme.txt|Quendrix Ombrelo/converter-licence.txt|Quendrix Ombrelo/lgpl-2.1.txt|"
    unzipped="$work/unzipped-$k/Quendrix Ombrelo"
    mkdir -p "$work/unzipped-$k"
    unzip -q "$zip_file" -d "$work/unzipped-$k"
    echo "--- $k: the program as released"
    /usr/bin/python3 "$here/tests/release/check_program.py" "$unzipped/QuendrixOmbrelo.exe" "$k" "$ffmpeg_version" \
        "$work/converter-$k.exe" || failed=1
    expect "$k: the program's converter is the one built for its kind" \
        cmp -s "$work/converter-$k.exe" "${converter[$k]}/ffmpeg.exe"
    expect "$k: the zip's help page is the project's" cmp -s "$unzipped/help.htm" "$here/resources/help.htm"
    readme="$unzipped/readme.txt"
    expect "$k: readme.txt ends every line with CR LF" crlf_lines "$readme"
    expect "$k: readme.txt says which kind it is and which download is for whom" bash -c \
        'grep -q "This is the $2-bit program (the \"$3\" download)" "$1" && grep -q "QuendrixOmbrelo-1.0-x64-setup.exe" "$1" && grep -q "only for 32-bit Windows" "$1"' \
        _ "$readme" "${bits[$k]}" "$k"
    expect "$k: readme.txt names FFmpeg, LAME and the licence files" bash -c \
        'grep -q FFmpeg "$1" && grep -q LAME "$1" && grep -q converter-licence.txt "$1" && grep -q lgpl-2.1.txt "$1"' _ "$readme"
    notice="$unzipped/converter-licence.txt"
    licence="$unzipped/lgpl-2.1.txt"
    expect "$k: the notice names the converter's FFmpeg and LAME with their versions" \
        bash -c 'grep -q -e "FFmpeg $2 " "$1" && grep -q -e "LAME $3 " "$1"' _ "$notice" "$ffmpeg_version" "$lame_version"
    expect "$k: the notice names dav1d's version" grep -q -e "dav1d $dav1d_version " "$notice"
    expect "$k: the notice names the kind of Windows it was built for" grep -q "for ${bits[$k]}-bit Windows" "$notice"
    expect "$k: the notice tells where the source is" grep -q "QuendrixOmbrelo-1.0-converter-source.tar.xz" "$notice"
    expect "$k: the notice has no placeholder left" bash -c '! grep -q "@[A-Z_]*@" "$1" "$2"' _ "$notice" "$readme"
    expect "$k: the notice ends every line with CR LF" crlf_lines "$notice"
    expect "$k: lgpl-2.1.txt is the LGPL 2.1" bash -c \
        'grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$1" && grep -q "Version 2.1, February 1999" "$1"' _ "$licence"
    expect "$k: lgpl-2.1.txt ends every line with CR LF" crlf_lines "$licence"
    setup_kind=$(objdump -f "$dist/QuendrixOmbrelo-1.0-$k-setup.exe" | sed -n 's/.*file format //p')
    expect "$k: the installer is a ${bits[$k]}-bit program" \
        same "$setup_kind" "$([ "$k" = x64 ] && echo pei-x86-64 || echo pei-i386)"
done

# --- the converters' licence and source ---------------------------------------
source_archive="$dist/QuendrixOmbrelo-1.0-converter-source.tar.xz"
mkdir "$work/source"
expect "the source archive unpacks" tar -xJf "$source_archive" -C "$work/source"
src="$work/source/QuendrixOmbrelo-1.0-converter-source"
expect "the source archive holds the configure lines of the 64-bit converter" \
    cmp -s "$src/configure-x64.txt" "${converter[x64]}/configure.txt"
expect "the source archive holds the configure lines of the 32-bit converter" \
    cmp -s "$src/configure-x86.txt" "${converter[x86]}/configure.txt"
expect "the configure lines enable only what the program needs" bash -c \
    'for f; do grep -q -e "--disable-everything .*--enable-protocol=file,pipe .*--enable-muxer=avi" "$f" || exit 1; done' \
    _ "$src/configure-x64.txt" "$src/configure-x86.txt"
expect "the source archive holds the build script, the licence and a README on rebuilding either kind" bash -c \
    'test -s "$1/build_converter.sh" -a -s "$1/converter-licence.txt" -a -s "$1/lgpl-2.1.txt" && grep -q configure-x64.txt "$1/README.txt" && grep -q configure-x86.txt "$1/README.txt"' _ "$src"
expect "the configure lines take dav1d from its own install and enable its decoder" bash -c \
    'for f; do grep -q -e "PKG_CONFIG_LIBDIR=../dav1d/lib/pkgconfig .*--enable-libdav1d .*--enable-decoder=[^ ]*libdav1d" "$f" || exit 1; done' \
    _ "$src/configure-x64.txt" "$src/configure-x86.txt"
expect "the source archive holds dav1d's meson lines and cross file for both kinds" bash -c \
    'for f; do grep -q "meson setup --cross-file=../dav1d-cross.txt .*--default-library=static" "$f" && grep -q "^    \[host_machine\]" "$f" || exit 1; done' \
    _ "$src/configure-x64.txt" "$src/configure-x86.txt"
expect "the source archive's README says how to build dav1d" grep -q "dpkg-source -x dav1d_\*.dsc dav1d-src" "$src/README.txt"
# Debian's packages, their checksums verified, with Debian's patches applied.
# (Debian 13's FFmpeg carries no patch of its own: its series, where there is
# one, is applied.)
expect "FFmpeg's source package unpacks with its patches" bash -c \
    'cd "$1" && dpkg-source -x "ffmpeg_$2.dsc" ffmpeg >/dev/null 2>&1 && [ -x ffmpeg/configure ] && [ -s ffmpeg/debian/changelog ] \
        && { [ ! -s ffmpeg/debian/patches/series ] || [ -d ffmpeg/.pc ]; }' \
    _ "$src" "$ffmpeg_version"
expect "zlib's source package unpacks with its patches" bash -c \
    'cd "$1" && dpkg-source -x "zlib_$2.dsc" zlib-src >/dev/null 2>&1 && [ -x zlib-src/configure ] && [ -d zlib-src/.pc ]' \
    _ "$src" "$zlib_version"
expect "LAME's source package unpacks with its patches" bash -c \
    'cd "$1" && dpkg-source -x "lame_$2.dsc" lame-src >/dev/null 2>&1 && [ -x lame-src/configure ] && [ -d lame-src/.pc ]' \
    _ "$src" "$lame_version"
expect "dav1d's source package unpacks with its patches" bash -c \
    'cd "$1" && dpkg-source -x "dav1d_$2.dsc" dav1d-src >/dev/null 2>&1 && [ -s dav1d-src/meson.build ] && [ -d dav1d-src/.pc ]' \
    _ "$src" "$dav1d_version"
# dav1d's licence asks that its text go with the tool: the notice carries it
# word for word as the source has it.
words() { tr -s ' \r\n\t' '\n\n\n\n' <"$1" | sed 's/©/(c)/' | paste -sd ' '; }
expect "the notice holds dav1d's licence text" bash -c '[[ "$1" == *"$2"* ]]' _ \
    "$(words "$notice")" "$(words "$src/dav1d-src/COPYING")"

# --- the size budgets --------------------------------------------------------
mib=1048576
at_most() { [ "$(stat -c %s "$1")" -le $(( $2 * mib )) ] || { echo "  $1: $(stat -c %s "$1") bytes"; return 1; }; }
for k in x64 x86; do
    expect "$k: the program is at most 14 MB" at_most "$work/unzipped-$k/Quendrix Ombrelo/QuendrixOmbrelo.exe" 14
    expect "$k: the installer is at most 8 MB" at_most "$dist/QuendrixOmbrelo-1.0-$k-setup.exe" 8
    expect "$k: the zip is at most 8 MB" at_most "$dist/QuendrixOmbrelo-1.0-$k.zip" 8
done

# --- the kind that runs here, in a fresh prefix where nothing can start a real browser
setup="$dist/QuendrixOmbrelo-1.0-$kind-setup.exe"
unzipped="$work/unzipped-$kind/Quendrix Ombrelo"
program="$unzipped/QuendrixOmbrelo.exe"
readme="$unzipped/readme.txt" notice="$unzipped/converter-licence.txt" licence="$unzipped/lgpl-2.1.txt"
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
expect "the launch recorders are registered" \
    bash -c '"$WINELOADER" "$1" --gtest_filter=Recorders.AreRegisteredInThisPrefix >/dev/null 2>&1' _ "$recorders"
local_appdata=$(win cmd /c echo %LOCALAPPDATA%)
appdata=$(win cmd /c echo %APPDATA%)
windir=$(win cmd /c echo %WINDIR%)
install_win="$local_appdata\\Programs\\Quendrix Ombrelo"
install=$(wine winepath -u "$install_win" 2>/dev/null)
shortcut="$(wine winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs" 2>/dev/null)/Quendrix Ombrelo.lnk"
tool="$(wine winepath -u "$windir" 2>/dev/null)/quendrix_yt_1/nnn.exe"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuendrixOmbrelo'
launch_log="$WINEPREFIX/drive_c/launch_recorders/launches.log"

# A clip to convert, and an output folder for each copy of the program.
clip_seconds=3
mkdir -p "$work/clips" "$work/out installed" "$work/out unzipped"
make_clip "$clip_seconds" "$work/clips/evening clip.mp4"

unix_of() { wine winepath -u "$1" 2>/dev/null; }
# first_start <what> <Windows path of the program>: the first start as the
# Start menu does it; the converter must come from the program itself.
first_start() {
    rm -rf "$(dirname "$tool")"
    expect "$1: the program shows its main window at its first start and closes" wine "$starter" "$2"
    wineserver -w
    expect "$1: the program wrote set.txt and done.txt beside itself" \
        test -f "$(dirname "$(unix_of "$2")")/set.txt" -a -f "$(dirname "$(unix_of "$2")")/done.txt"
    expect "$1: the program installed its converter, the one it carries, under the Windows directory" \
        cmp -s "$tool" "$work/converter-$kind.exe"
}
# converts <what> <Windows path of the program> <output folder>: the user
# chooses the output folder (as the last one, in set.txt) and converts a clip.
converts() {
    local folder
    folder=$(dirname "$(unix_of "$2")")
    printf '%s\r\n' "$(winpath "$3/")" >"$folder/set.txt"
    expect "$1: the program converts a clip" env QUENDRIX_INSTALLED_EXE="$2" \
        QUENDRIX_INSTALLED_CLIPS="$(winpath "$work/clips/")" QUENDRIX_INSTALLED_CLIP="evening clip.mp4" \
        "$loader" "$operator" --gtest_filter=Installed.ConvertsAClip
    wineserver -w
    status=0
    check_avi "$3/evening clip.AVI" "$clip_seconds"
    expect "$1: ffprobe accepts the AVI as the program's own" test "$status" = 0
    expect "$1: the output folder holds the AVI alone" same "$(ls "$3")" "evening clip.AVI"
}

# --- silent installation -----------------------------------------------------
wine "$setup" /S
wineserver -w
expect "the installer puts the five files and the uninstaller in the user's programs folder" \
    same "$(ls -A "$install" 2>/dev/null | LC_ALL=C sort | tr '\n' '|')" \
    "QuendrixOmbrelo.exe|converter-licence.txt|help.htm|lgpl-2.1.txt|readme.txt|uninstall.exe|"
expect "the installed program is the zip's" cmp -s "$install/QuendrixOmbrelo.exe" "$program"
expect "the installed readme is the zip's" cmp -s "$install/readme.txt" "$readme"
expect "the installed licence files are the zip's" \
    bash -c 'cmp -s "$1/converter-licence.txt" "$2" && cmp -s "$1/lgpl-2.1.txt" "$3"' _ "$install" "$notice" "$licence"
expect "the Start menu shortcut leads to the program" python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
name = "QuendrixOmbrelo.exe"
sys.exit(0 if name.encode() in data or name.encode("utf-16-le") in data else 1)' "$shortcut"

entry=$(win reg query "$key")
value() { printf '%s\n' "$entry" | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
expect "the entry's DisplayName names the kind" same "$(value DisplayName)" "Quendrix Ombrelo 1.0 (${bits[$kind]}-bit)"
expect "the entry's DisplayVersion" same "$(value DisplayVersion)" "1.0.0.0"
expect "the entry's Publisher" same "$(value Publisher)" "Quendrix Software"
expect "the entry's InstallLocation" same "$(value InstallLocation)" "$install_win"
expect "the entry's UninstallString" same "$(value UninstallString)" "\"$install_win\\uninstall.exe\""
expect "the entry's DisplayIcon" same "$(value DisplayIcon)" "$install_win\\QuendrixOmbrelo.exe,0"
expect "the entry's NoModify" same "$(value NoModify)" "0x1"
expect "the entry's NoRepair" same "$(value NoRepair)" "0x1"
expect "the entry's EstimatedSize is the program's size in KB" \
    bash -c '[ $(( $1 )) -ge $(( $(stat -c %s "$2") / 1024 )) ]' _ "$(value EstimatedSize)" "$install/QuendrixOmbrelo.exe"

# --- the installed program: first start, then a clip converted ---------------
first_start installed "$install_win\\QuendrixOmbrelo.exe"
converts installed "$install_win\\QuendrixOmbrelo.exe" "$work/out installed"
expect "nothing was started through the shell but the output folder's window" \
    bash -c '! grep -v -i "out installed" "$1" 2>/dev/null | grep -q .' _ "$launch_log"

# --- silent uninstallation: the user's own file stays ------------------------
echo "mine" >"$install/my notes.txt"
wine "$install/uninstall.exe" /S
wineserver -w  # the uninstaller runs on from a copy of itself in the temporary folder
expect "the uninstaller leaves only the user's own file" \
    same "$(ls -A "$install" 2>/dev/null | tr '\n' '|')" "my notes.txt|"
expect "the user's file is unchanged" same "$(cat "$install/my notes.txt")" "mine"
expect "the shortcut is gone" test ! -e "$shortcut"
expect "the uninstall entry is gone" bash -c '! "$WINELOADER" reg query "$1" >/dev/null 2>&1' _ "$key"
expect "the converter under the Windows directory stays" test -f "$tool"

# --- again, without a file of the user's: the folder goes too ----------------
rm "$install/my notes.txt"
wine "$setup" /S
wineserver -w
wine "$install/uninstall.exe" /S
wineserver -w
expect "an emptied folder is removed" test ! -e "$install"

# --- the zip: unpacked where the user can write, started from there -----------
first_start unzipped "$(winpath "$program")"
converts unzipped "$(winpath "$program")" "$work/out unzipped"

exit "$failed"
