#!/usr/bin/env bash
# Makes the five release files from the two built programs:
#   tools/package.sh <output folder> <64-bit QuendrixOmbrelo.exe> <32-bit QuendrixOmbrelo.exe>
# For each kind, x64 (the main download) and x86 (for 32-bit Windows):
#   QuendrixOmbrelo-1.0-<kind>.zip: the folder "Quendrix Ombrelo" with the
#     program, help.htm, readme.txt and the converter's licence,
#     converter-licence.txt and lgpl-2.1.txt (text files with CR LF line ends);
#   QuendrixOmbrelo-1.0-<kind>-setup.exe: its installer (tools/installer.nsi),
#     itself a program of that kind.
# And one QuendrixOmbrelo-1.0-converter-source.tar.xz: the complete source of
# both converters as built (.deps/x86_64/converter and .deps/converter, from
# tools/build_converter.sh): Debian's source packages, the configure lines of
# each kind and the build script.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# != 3 ]; then
    echo "usage: tools/package.sh <output folder> <64-bit QuendrixOmbrelo.exe> <32-bit QuendrixOmbrelo.exe>" >&2
    exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
declare -A program=([x64]=$2 [x86]=$3)
declare -A converter=([x64]="$here/.deps/x86_64/converter" [x86]="$here/.deps/converter")
declare -A machine=([x64]=x86-64 [x86]=i386)
declare -A bits=([x64]=64 [x86]=32)
declare -A nsis_target=([x64]=amd64-unicode [x86]=x86-unicode)
kinds=(x64 x86)

for kind in "${kinds[@]}"; do
    for f in versions configure.txt; do
        [ -s "${converter[$kind]}/$f" ] \
            || { echo "package.sh: ${converter[$kind]}/$f is missing: run tools/setup.sh" >&2; exit 1; }
    done
    # A program of the wrong kind in a file named for the other would be the
    # worst release mistake of all: refuse it.
    objdump -f "${program[$kind]}" | grep -q "file format pei-${machine[$kind]}" \
        || { echo "package.sh: ${program[$kind]} is not a ${bits[$kind]}-bit program" >&2; exit 1; }
done
ffmpeg_version=$(sed -n 's/^FFmpeg //p' "${converter[x64]}/versions")
lame_version=$(sed -n 's/^LAME //p' "${converter[x64]}/versions")
dav1d_version=$(sed -n 's/^dav1d //p' "${converter[x64]}/versions")
zlib_version=$(sed -n 's/^zlib //p' "${converter[x64]}/versions")
licence() {  # licence <bits>: the converter's licence with its versions
    sed -e "s/@FFMPEG_VERSION@/$ffmpeg_version/" -e "s/@LAME_VERSION@/$lame_version/" \
        -e "s/@DAV1D_VERSION@/$dav1d_version/" -e "s/@ZLIB_VERSION@/$zlib_version/" \
        -e "s/@BITS@/$1/g" "$here/resources/converter-licence.txt" | crlf
}
if ! cmp -s "${converter[x64]}/versions" "${converter[x86]}/versions"; then
    echo "package.sh: the two converters were built from other sources; run tools/setup.sh" >&2
    exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name="Quendrix Ombrelo"
crlf() { sed 's/\r*$/\r/'; }
# Every entry gets the date of the last commit, so the same sources give the same files.
stamp=$(git -C "$here" log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)

for kind in "${kinds[@]}"; do
    folder="$stage/$kind/$name"
    mkdir -p "$folder"
    cp "${program[$kind]}" "$folder/QuendrixOmbrelo.exe"
    cp "$here/resources/help.htm" "$folder/help.htm"
    sed -e "s/@KIND@/$kind/g" -e "s/@BITS@/${bits[$kind]}/g" "$here/resources/readme.txt" | crlf >"$folder/readme.txt"
    licence "${bits[$kind]}" >"$folder/converter-licence.txt"
    crlf <"$here/resources/lgpl-2.1.txt" >"$folder/lgpl-2.1.txt"
    touch -t "$stamp" "$folder" "$folder"/*

    zip_file="$out/QuendrixOmbrelo-1.0-$kind.zip"
    rm -f "$zip_file"
    (cd "$stage/$kind" && zip -q -X "$zip_file" "$name/" "$name/QuendrixOmbrelo.exe" "$name/help.htm" \
        "$name/readme.txt" "$name/converter-licence.txt" "$name/lgpl-2.1.txt")
    makensis -V2 -DSTAGE="$folder" -DICON="$here/resources/app.ico" \
        -DOUTFILE="$out/QuendrixOmbrelo-1.0-$kind-setup.exe" \
        -DTARGET="${nsis_target[$kind]}" -DBITS="${bits[$kind]}" "$here/tools/installer.nsi"
done

# The converters' source: the Debian source packages as fetched (one set: both
# converters are built from the same ones), the configure lines of each kind
# as run, the script that ran them and the licence.
src_name="QuendrixOmbrelo-1.0-converter-source"
src="$stage/$src_name"
mkdir "$src"
cp "${converter[x64]}"/source/* "$src/"
cp "${converter[x64]}/configure.txt" "$src/configure-x64.txt"
cp "${converter[x86]}/configure.txt" "$src/configure-x86.txt"
cp "$here/tools/build_converter.sh" "$src/"
licence "32- and 64" >"$src/converter-licence.txt"
cp "$stage/x64/$name/lgpl-2.1.txt" "$src/"
cat >"$src/README.txt" <<EOT
The converter of Quendrix Ombrelo 1.0 (nnn.exe): FFmpeg $ffmpeg_version with LAME $lame_version,
dav1d $dav1d_version and zlib $zlib_version, as built for this release from the source
packages of Debian 13 ("trixie"): for 64-bit Windows (inside the x64 program)
and for 32-bit Windows (inside the x86 program), from the same sources.

  ffmpeg_*.dsc, ffmpeg_*.orig.tar.xz, ffmpeg_*.debian.tar.xz   Debian's source package of FFmpeg
  lame_*.dsc, lame_*.orig.tar.gz, lame_*.debian.tar.xz         Debian's source package of LAME
  dav1d_*.dsc, dav1d_*.orig.tar.xz, dav1d_*.debian.tar.xz      Debian's source package of dav1d
  zlib_*.dsc, zlib_*.orig.tar.gz, zlib_*.debian.tar.xz         Debian's source package of zlib
  configure-x64.txt    the compiler, the configure and meson lines and the make commands
                       of the 64-bit converter
  configure-x86.txt    the same for the 32-bit converter
  build_converter.sh   the script that fetched and built them
                       (build_converter.sh --arch x86_64|i686 --sources <folder> build <folder>)

To build either again on Debian with the MinGW-w64 cross compiler
(packages gcc-mingw-w64-x86-64-posix for 64-bit or
gcc-mingw-w64-i686-posix for 32-bit, nasm, meson, pkg-config, dpkg-dev),
unpack the four packages with Debian's patches applied:
  dpkg-source -x ffmpeg_*.dsc ffmpeg
  dpkg-source -x lame_*.dsc lame-src
  dpkg-source -x dav1d_*.dsc dav1d-src
  dpkg-source -x zlib_*.dsc zlib-src
then, beside them and with the lines of configure-x64.txt or
configure-x86.txt: build LAME with its lines in lame-src; write dav1d's
cross file dav1d-cross.txt as the file shows it (its lines without their
first four blanks) and run dav1d's meson lines in dav1d-src; build zlib
with its lines in zlib-src; last run FFmpeg's lines in a new folder
ffmpeg-build. Or let the script do all of it: put the source packages in a
folder and run build_converter.sh with that folder after --sources (it
takes the packages found there).
EOT
touch -t "$stamp" "$src" "$src"/*
source_file="$out/$src_name.tar.xz"
rm -f "$source_file"
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$src_name" | xz -6 -T1 >"$source_file"
