#!/usr/bin/env bash
# Makes the two release files from a built program:
#   tools/package.sh <QuendrixOmbrelo.exe> <output folder>
# <output folder>/QuendrixOmbrelo-1.0.zip: the folder "Quendrix Ombrelo" with
# the program, help.htm and readme.txt (CR LF line ends);
# <output folder>/QuendrixOmbrelo-1.0-setup.exe: the installer (tools/installer.nsi).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
mkdir -p "$2"
out=$(cd "$2" && pwd)
zip_file="$out/QuendrixOmbrelo-1.0.zip"
setup_file="$out/QuendrixOmbrelo-1.0-setup.exe"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name="Quendrix Ombrelo"
folder="$stage/$name"
mkdir "$folder"
cp "$exe" "$folder/QuendrixOmbrelo.exe"
cp "$here/resources/help.htm" "$folder/help.htm"
sed 's/\r*$/\r/' "$here/resources/readme.txt" >"$folder/readme.txt"

# Every entry gets the date of the last commit, so the same sources give the same zip.
stamp=$(git -C "$here" log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
touch -t "$stamp" "$folder" "$folder"/*
rm -f "$zip_file"
(cd "$stage" && zip -q -X "$zip_file" "$name/" "$name/QuendrixOmbrelo.exe" "$name/help.htm" "$name/readme.txt")

# The installer is of the program's own kind: a 64-bit build (see
# tools/build-arch.sh) gets a 64-bit installer.
target=x86-unicode
if objdump -f "$exe" | grep -q 'x86-64'; then target=amd64-unicode; fi
makensis -V2 -DSTAGE="$folder" -DICON="$here/resources/app.ico" -DOUTFILE="$setup_file" -DTARGET="$target" \
    "$here/tools/installer.nsi"
