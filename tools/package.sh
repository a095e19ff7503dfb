#!/usr/bin/env bash
# Makes the three release files from a built program:
#   tools/package.sh <QuendrixOmbrelo.exe> <output folder>
# <output folder>/QuendrixOmbrelo-1.0.zip: the folder "Quendrix Ombrelo" with
# the program, help.htm, readme.txt and the converter's licence,
# converter-licence.txt and lgpl-2.1.txt (text files with CR LF line ends);
# <output folder>/QuendrixOmbrelo-1.0-setup.exe: the installer (tools/installer.nsi);
# <output folder>/QuendrixOmbrelo-1.0-converter-source.tar.xz: the converter's
# complete source as built (.deps/converter, from tools/build_converter.sh):
# Debian's source packages, the configure lines and the build script.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
mkdir -p "$2"
out=$(cd "$2" && pwd)
zip_file="$out/QuendrixOmbrelo-1.0.zip"
setup_file="$out/QuendrixOmbrelo-1.0-setup.exe"
source_file="$out/QuendrixOmbrelo-1.0-converter-source.tar.xz"
converter="$here/.deps/converter"
for f in versions configure.txt; do
    [ -s "$converter/$f" ] || { echo "package.sh: $converter/$f is missing: run tools/setup.sh" >&2; exit 1; }
done
ffmpeg_version=$(sed -n 's/^FFmpeg //p' "$converter/versions")
lame_version=$(sed -n 's/^LAME //p' "$converter/versions")
dav1d_version=$(sed -n 's/^dav1d //p' "$converter/versions")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name="Quendrix Ombrelo"
folder="$stage/$name"
mkdir "$folder"
cp "$exe" "$folder/QuendrixOmbrelo.exe"
cp "$here/resources/help.htm" "$folder/help.htm"
crlf() { sed 's/\r*$/\r/'; }
crlf <"$here/resources/readme.txt" >"$folder/readme.txt"
sed -e "s/@FFMPEG_VERSION@/$ffmpeg_version/" -e "s/@LAME_VERSION@/$lame_version/" -e "s/@DAV1D_VERSION@/$dav1d_version/" \
    "$here/resources/converter-licence.txt" | crlf >"$folder/converter-licence.txt"
crlf <"$here/resources/lgpl-2.1.txt" >"$folder/lgpl-2.1.txt"

# Every entry gets the date of the last commit, so the same sources give the same zip.
stamp=$(git -C "$here" log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
touch -t "$stamp" "$folder" "$folder"/*
rm -f "$zip_file"
(cd "$stage" && zip -q -X "$zip_file" "$name/" "$name/QuendrixOmbrelo.exe" "$name/help.htm" "$name/readme.txt" \
    "$name/converter-licence.txt" "$name/lgpl-2.1.txt")

# The installer is of the program's own kind: a 64-bit build (see
# tools/build-arch.sh) gets a 64-bit installer.
target=x86-unicode
if objdump -f "$exe" | grep -q 'x86-64'; then target=amd64-unicode; fi
makensis -V2 -DSTAGE="$folder" -DICON="$here/resources/app.ico" -DOUTFILE="$setup_file" -DTARGET="$target" \
    "$here/tools/installer.nsi"

# The converter's source: the Debian source packages as fetched, the configure
# lines as run, the script that ran them and the licence.
src_name="QuendrixOmbrelo-1.0-converter-source"
src="$stage/$src_name"
mkdir "$src"
cp "$converter"/source/* "$src/"
cp "$converter/configure.txt" "$here/tools/build_converter.sh" "$src/"
cp "$folder/converter-licence.txt" "$folder/lgpl-2.1.txt" "$src/"
cat >"$src/README.txt" <<EOT
The converter of Quendrix Ombrelo 1.0 (nnn.exe): FFmpeg $ffmpeg_version with LAME $lame_version
and dav1d $dav1d_version for 32-bit Windows, as built for this release.

  ffmpeg_*.dsc, ffmpeg_*.orig.tar.xz, ffmpeg_*.debian.tar.xz   Debian's source package of FFmpeg
  lame_*.dsc, lame_*.orig.tar.gz, lame_*.debian.tar.xz         Debian's source package of LAME
  dav1d_*.dsc, dav1d_*.orig.tar.xz, dav1d_*.debian.tar.xz      Debian's source package of dav1d
  configure.txt        the compiler, the configure and meson lines and the make commands used
  build_converter.sh   the script that fetched and built them

To build it again on Debian with the MinGW-w64 cross compiler (packages
gcc-mingw-w64-i686-posix, nasm, meson, pkg-config, dpkg-dev), unpack the
three packages with Debian's patches applied:
  dpkg-source -x ffmpeg_*.dsc ffmpeg
  dpkg-source -x lame_*.dsc lame-src
  dpkg-source -x dav1d_*.dsc dav1d-src
then, beside them, build LAME with the lines of configure.txt in lame-src;
write dav1d's cross file dav1d-cross.txt as configure.txt shows it (its
lines without their first four blanks) and run dav1d's meson lines in
dav1d-src; last run FFmpeg's lines in a new folder ffmpeg-build.
EOT
touch -t "$stamp" "$src" "$src"/*
rm -f "$source_file"
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner -cf - "$src_name" | xz -6 -T1 >"$source_file"
