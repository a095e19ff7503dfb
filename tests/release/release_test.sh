#!/usr/bin/env bash
# The release files, made from this build's program by tools/package.sh: the
# zip must hold exactly its folder of five files, the converter's licence
# among them; the converter's source archive must unpack into Debian's source
# packages, with the configure lines used; the installer, in a fresh
# Wine prefix of its own, must install silently for the user, the installed
# program must start, and the silent uninstaller must take away all it put
# there and the program's own two files, and nothing else.
#   release_test.sh <QuendrixOmbrelo.exe> <StartInstalled.exe> <e2e_recorders_test.exe>
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
program=$1 starter=$2 recorders=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/quendrix_release.XXXXXX")
# A 64-bit build (see tools/build-arch.sh) is packaged and tried in a 64-bit
# prefix with Wine's 64-bit loader; the 32-bit program in a 32-bit one.
if objdump -f "$program" | grep -q 'x86-64'; then
    arch=win64 loader=/usr/lib/wine/wine64 strip=x86_64-w64-mingw32-strip
else
    arch=win32 loader=/usr/lib/wine/wine strip=i686-w64-mingw32-strip
fi
export WINEPREFIX="$work/prefix" WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "$loader" "$@"; }
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

failed=0
expect() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=1; fi
}
same() { [ "$1" = "$2" ] || { printf '  expected: %s\n  got:      %s\n' "$2" "$1"; return 1; }; }
win() { wine "$@" 2>/dev/null | tr -d '\r'; }

# --- the release files, with the program stripped as the release build is ----
mkdir "$work/dist"
"$strip" -o "$work/QuendrixOmbrelo.exe" "$program"
bash "$here/tools/package.sh" "$work/QuendrixOmbrelo.exe" "$work/dist"
zip_file="$work/dist/QuendrixOmbrelo-1.0.zip"
setup="$work/dist/QuendrixOmbrelo-1.0-setup.exe"

listing=$(unzip -Z1 "$zip_file" | tr '\n' '|')
expect "the zip holds the folder and its five files, nothing else" same "$listing" \
    "Quendrix Ombrelo/|Quendrix Ombrelo/QuendrixOmbrelo.exe|Quendrix Ombrelo/help.htm|Quendrix Ombrelo/readme.txt|Quendrix Ombrelo/converter-licence.txt|Quendrix Ombrelo/lgpl-2.1.txt|"
mkdir "$work/unzipped"
unzip -q "$zip_file" -d "$work/unzipped"
expect "the zip's program is the packaged one" cmp -s "$work/unzipped/Quendrix Ombrelo/QuendrixOmbrelo.exe" "$work/QuendrixOmbrelo.exe"
expect "the zip's help page is the project's" cmp -s "$work/unzipped/Quendrix Ombrelo/help.htm" "$here/resources/help.htm"
readme="$work/unzipped/Quendrix Ombrelo/readme.txt"
crlf_lines() { bash -c '[ -s "$1" ] && ! grep -qv $'"'"'\r$'"'"' "$1" && [ "$(tail -c1 "$1" | od -An -c | tr -d " ")" = "\n" ]' _ "$1"; }
expect "readme.txt ends every line with CR LF" crlf_lines "$readme"

# --- the converter's licence and source --------------------------------------
converter="$here/.deps/converter"
ffmpeg_version=$(sed -n 's/^FFmpeg //p' "$converter/versions")
lame_version=$(sed -n 's/^LAME //p' "$converter/versions")
dav1d_version=$(sed -n 's/^dav1d //p' "$converter/versions")
notice="$work/unzipped/Quendrix Ombrelo/converter-licence.txt"
licence="$work/unzipped/Quendrix Ombrelo/lgpl-2.1.txt"
expect "the notice names the converter's FFmpeg and LAME with their versions" \
    grep -q -e "FFmpeg $ffmpeg_version " "$notice"
expect "the notice names LAME's version" grep -q -e "LAME $lame_version " "$notice"
expect "the notice names dav1d's version" grep -q -e "dav1d $dav1d_version " "$notice"
expect "the notice tells where the source is" grep -q "QuendrixOmbrelo-1.0-converter-source.tar.xz" "$notice"
expect "the notice has no placeholder left" bash -c '! grep -q "@[A-Z_]*@" "$1"' _ "$notice"
expect "the notice ends every line with CR LF" crlf_lines "$notice"
expect "lgpl-2.1.txt is the LGPL 2.1" bash -c 'grep -q "GNU LESSER GENERAL PUBLIC LICENSE" "$1" && grep -q "Version 2.1, February 1999" "$1"' _ "$licence"
expect "lgpl-2.1.txt ends every line with CR LF" crlf_lines "$licence"
expect "readme.txt names FFmpeg, LAME and the licence files" bash -c \
    'grep -q FFmpeg "$1" && grep -q LAME "$1" && grep -q converter-licence.txt "$1" && grep -q lgpl-2.1.txt "$1"' _ "$readme"

source_archive="$work/dist/QuendrixOmbrelo-1.0-converter-source.tar.xz"
mkdir "$work/source"
expect "the source archive unpacks" tar -xJf "$source_archive" -C "$work/source"
src="$work/source/QuendrixOmbrelo-1.0-converter-source"
expect "the source archive holds the configure lines the converter was built with" \
    cmp -s "$src/configure.txt" "$converter/configure.txt"
expect "the configure line enables only what the program needs" \
    grep -q -e "--disable-everything .*--enable-protocol=file,pipe .*--enable-muxer=avi" "$src/configure.txt"
expect "the configure line takes dav1d from its own install and enables its decoder" \
    grep -q -e "PKG_CONFIG_LIBDIR=../dav1d/lib/pkgconfig .*--enable-libdav1d .*--enable-decoder=[^ ]*libdav1d" \
    "$src/configure.txt"
expect "the source archive holds dav1d's meson lines and cross file" bash -c \
    'grep -q "meson setup --cross-file=../dav1d-cross.txt .*--default-library=static" "$1" && grep -q "^    \[host_machine\]" "$1"' \
    _ "$src/configure.txt"
expect "the source archive's README says how to build dav1d" grep -q "dpkg-source -x dav1d_\*.dsc dav1d-src" "$src/README.txt"
expect "the source archive holds the build script and the licence" \
    test -s "$src/build_converter.sh" -a -s "$src/converter-licence.txt" -a -s "$src/lgpl-2.1.txt"
# Debian's packages, their checksums verified, with Debian's patches applied.
expect "FFmpeg's source package unpacks with its patches" bash -c \
    'cd "$1" && dpkg-source -x "ffmpeg_$2.dsc" ffmpeg >/dev/null 2>&1 && [ -x ffmpeg/configure ] && [ -s ffmpeg/debian/patches/series ] && [ -d ffmpeg/.pc ]' \
    _ "$src" "$ffmpeg_version"
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
expect "the program is at most 14 MB" at_most "$work/QuendrixOmbrelo.exe" 14
expect "the installer is at most 8 MB" at_most "$setup" 8
for tool in "$here/.deps/converter/ffmpeg.exe" "$here/.deps/x86_64/converter/ffmpeg.exe"; do
    if [ -f "$tool" ]; then expect "the converter ${tool#"$here/"} is at most 10 MB" at_most "$tool" 10; fi
done

# --- a fresh prefix, where nothing can start a real browser -----------------
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

# --- silent installation -----------------------------------------------------
wine "$setup" /S
wineserver -w
expect "the installer puts the five files and the uninstaller in the user's programs folder" \
    same "$(ls -A "$install" 2>/dev/null | LC_ALL=C sort | tr '\n' '|')" \
    "QuendrixOmbrelo.exe|converter-licence.txt|help.htm|lgpl-2.1.txt|readme.txt|uninstall.exe|"
expect "the installed program is the packaged one" cmp -s "$install/QuendrixOmbrelo.exe" "$work/QuendrixOmbrelo.exe"
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
expect "the entry's DisplayName" same "$(value DisplayName)" "Quendrix Ombrelo 1.0"
expect "the entry's DisplayVersion" same "$(value DisplayVersion)" "1.0.0.0"
expect "the entry's Publisher" same "$(value Publisher)" "Quendrix Software"
expect "the entry's InstallLocation" same "$(value InstallLocation)" "$install_win"
expect "the entry's UninstallString" same "$(value UninstallString)" "\"$install_win\\uninstall.exe\""
expect "the entry's DisplayIcon" same "$(value DisplayIcon)" "$install_win\\QuendrixOmbrelo.exe,0"
expect "the entry's NoModify" same "$(value NoModify)" "0x1"
expect "the entry's NoRepair" same "$(value NoRepair)" "0x1"
expect "the entry's EstimatedSize is the program's size in KB" \
    bash -c '[ $(( $1 )) -ge $(( $(stat -c %s "$2") / 1024 )) ]' _ "$(value EstimatedSize)" "$install/QuendrixOmbrelo.exe"

# --- the installed program starts, as the user (its folder is writable) ------
expect "the installed program shows its main window and closes" wine "$starter" "$install_win\\QuendrixOmbrelo.exe"
wineserver -w
expect "the program wrote set.txt and done.txt beside itself" test -f "$install/set.txt" -a -f "$install/done.txt"
expect "the program installed its converter under the Windows directory" test -f "$tool"
expect "nothing was started through the shell" test ! -s "$launch_log"

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

exit "$failed"
