#!/usr/bin/env bash
# The converter tool the program carries (resource 1): FFmpeg's command-line
# program with LAME for MP3, dav1d for AV1 video and zlib for PNG pictures,
# cross-built for Windows from the source packages of Debian 13 ("trixie",
# the current stable release, and its security updates), their Debian patches
# applied by dpkg-source, static, with no DLL beside it. Only what the
# program needs is enabled: the file and pipe protocols, the containers and
# codecs users drop on it, the MPEG-4 and LAME encoders, the AVI muxer and the
# filters the command line inserts. Nothing that follows names inside a file
# (playlists, concatenation lists, image sequences) and nothing of the
# network. No GPL-only part: the tool is LGPL (dav1d itself is under the BSD
# 2-clause licence, zlib under the zlib licence).
#
#   build_converter.sh [--arch i686|x86_64] [--sources <store>] key
#       prints the source versions, the toolchain and the configure lines
#       (setup's cache key)
#   build_converter.sh [--arch i686|x86_64] [--sources <store>] build <folder>
#       builds into <folder>:
#       ffmpeg.exe       the tool
#       source/          the Debian source packages it was built from
#       configure.txt    the versions, the toolchain and the exact configure
#                        lines: the key of what was built
#       versions         "FFmpeg <version>", "LAME <version>", "dav1d <version>"
#                        and "zlib <version>", one a line
# The source packages are fetched once into <store> (by default .deps/sources
# of this clone) and taken from there: the key names the versions found
# there, and the build uses exactly those. The archive may list a newer
# version than it serves (a mirror of an earlier day); the newest version it
# serves is the one taken.
# The configure lines name the LAME, dav1d and zlib installs by relative
# paths, so they read the same in every clone; the source archive of a
# release ships this script.
# The program ships the 32-bit tool (i686, the default); the same tool for
# 64-bit Windows (x86_64) serves the 64-bit program and its tests.
set -euo pipefail

arch=i686
store="$(cd "$(dirname "$0")/.." && pwd)/.deps/sources"
while [ $# -gt 1 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    --sources) store=$2; shift 2 ;;
    *) break ;;
    esac
done
case "$arch" in
i686) host=i686-w64-mingw32 ffmpeg_arch=x86 lame_cflags="-O2 -msse" meson_cpu_family=x86 ;;
x86_64) host=x86_64-w64-mingw32 ffmpeg_arch=x86_64 lame_cflags="-O2" meson_cpu_family=x86_64 ;;
*) echo "build_converter.sh: no architecture $arch" >&2; exit 2 ;;
esac
cc=$host-gcc-posix

# LAME's configure, run in its unpacked source lame-src; "make install
# DESTDIR=<the folder lame beside it>" installs it there.
lame_configure=(
    ./configure --host=$host "CC=$cc" "CFLAGS=$lame_cflags" --prefix=/
    --disable-shared --enable-static --disable-frontend --disable-decoder
    --disable-analyzer-hooks --enable-nasm
)
# dav1d's cross file for meson, dav1d-cross.txt beside its unpacked source
# dav1d-src: the MinGW-w64 compiler and nasm for its assembler; no
# pkg-config, so that nothing native is looked up.
dav1d_cross=(
    "[binaries]"
    "c = '$cc'"
    "ar = '$host-ar'"
    "strip = '$host-strip'"
    "windres = '$host-windres'"
    "nasm = 'nasm'"
    "pkgconfig = 'false'"
    ""
    "[host_machine]"
    "system = 'windows'"
    "cpu_family = '$meson_cpu_family'"
    "cpu = '$arch'"
    "endian = 'little'"
)
# dav1d's meson lines, run in dav1d-src: a static library of both bit depths
# (8 and 10-bit video) with its assembler, no programs or tests, installed
# with DESTDIR the folder dav1d beside it. Its pkg-config file finds the library
# relative to itself, wherever that folder is.
dav1d_setup=(
    meson setup --cross-file=../dav1d-cross.txt --prefix=/ --libdir=lib --buildtype=release
    --default-library=static -Denable_tools=false -Denable_tests=false -Denable_examples=false
    -Denable_docs=false -Dpkgconfig.relocatable=true ../dav1d-build
)
dav1d_compile=(meson compile -C ../dav1d-build -j 2)
# zlib's configure, run in its unpacked source zlib-src: the static library
# alone, installed with DESTDIR the folder zlib beside it (FFmpeg's PNG
# decoder inflates with it).
zlib_configure=(env "CC=$cc" "AR=$host-ar" "RANLIB=$host-ranlib" "CHOST=$host" ./configure --static --prefix=/)

# The decoders, by what users drop on the program: MP4, MOV, 3GP, MKV, AVI,
# MPEG and FLV files from the web, cameras, phones and shops. Each builds
# into FFmpeg without an outside library, but for AV1 (dav1d) and PNG (zlib).
decoders=(
    # video of the web and of phones
    h264 hevc vvc libdav1d vp8 vp9 mpeg4 h263 mpeg1video mpeg2video
    # pictures: digital cameras' Motion JPEG, and the cover pictures of
    # audio-only MP4s (JPEG or PNG)
    mjpeg png
    # sound: AAC (xHE-AAC included, in the same decoder), MP3, MP2, Dolby
    # Digital and Digital Plus, DTS, Apple Lossless, FLAC, Vorbis, Opus, PCM
    aac aac_latm mp3 mp3float mp2 mp2float ac3 eac3 dca alac flac vorbis opus 'pcm_*'
    # the sound of phone clips (3GP): AMR narrow-band and wide-band
    amrnb amrwb
)
parsers=(
    h264 hevc vvc mpeg4video mpegvideo h263 vp8 vp9 mjpeg png
    mpegaudio aac aac_latm ac3 dca flac vorbis opus amr
)
joined() { local IFS=,; echo "$*"; }

# FFmpeg's configure, run in the build folder ffmpeg-build beside the
# unpacked source ffmpeg and the LAME, dav1d and zlib installs lame, dav1d
# and zlib;
# pkg-config looks only into dav1d's folder, so that no native library leaks
# in.
ffmpeg_configure=(
    env PKG_CONFIG_LIBDIR=../dav1d/lib/pkgconfig ../ffmpeg/configure
    --enable-cross-compile --arch=$ffmpeg_arch --target-os=mingw32 --cross-prefix=$host- --cc=$cc
    --pkg-config=pkg-config --extra-version="@DEBIAN_REVISION@"
    --disable-everything --disable-autodetect --disable-network --disable-doc --disable-debug
    --disable-ffplay --disable-ffprobe --disable-avdevice --disable-postproc
    --disable-shared --enable-static --disable-pthreads --enable-w32threads
    --enable-libmp3lame --enable-libdav1d --enable-zlib
    --extra-cflags="-I../lame/include -I../zlib/include"
    --extra-ldflags="-L../lame/lib -L../zlib/lib -static -static-libgcc"
    --enable-protocol=file,pipe
    --enable-demuxer=mov,avi,mpegps,mpegts,flv,matroska,h264,hevc,m4v,mpegvideo,h263,mp3,aac,ac3
    --enable-decoder="$(joined "${decoders[@]}")"
    --enable-parser="$(joined "${parsers[@]}")"
    --enable-encoder=mpeg4,libmp3lame
    --enable-muxer=avi
    --enable-filter=scale,aresample,format,aformat,null,anull
)

# The source packages and the lowest version of each that the converter is
# built from: Debian 13's. An older one (Debian 12's, listed beside them on
# a Debian 12 machine) is never taken.
packages=(ffmpeg lame dav1d zlib)
declare -A minimum=([ffmpeg]=7:7.1 [lame]=3.100 [dav1d]=1.5 [zlib]=1:1.3)

# fetched_version <package>: the newest version of a source package, not
# below its minimum, whose files are in the store, fetched into it when the
# archive serves them. Prints nothing when the archive serves none.
fetched_version() {
    local pkg=$1 v file tmp
    # The versions apt lists, and those already in the store (a store of
    # its own needs no archive).
    for v in $({ apt-cache showsrc --only-source "$pkg" 2>/dev/null | sed -n 's/^Version: //p'
                 [ -d "$store" ] && sed -n 's/^Version: //p' "$store/${pkg}"_*.dsc 2>/dev/null; } | sort -u -r -V); do
        dpkg --compare-versions "$v" ge "${minimum[$pkg]}" || continue
        file="$store/${pkg}_${v#*:}.dsc"
        if [ ! -f "$file" ]; then
            mkdir -p "$store"
            tmp=$(mktemp -d "$store/.fetch.XXXXXX")
            # dpkg-source checks every file against the .dsc's checksums
            if (cd "$tmp" && apt-get source -q --download-only "$pkg=$v" >/dev/null 2>&1 \
                && dpkg-source -x ./*.dsc x >/dev/null 2>&1); then
                rm -rf "$tmp/x"
                # the .dsc last, so that a store holding it holds its files
                find "$tmp" -maxdepth 1 -type f ! -name '*.dsc' -exec mv -f {} "$store/" \;
                mv -f "$tmp"/*.dsc "$store/"
            fi
            rm -rf "$tmp"
        fi
        [ -f "$file" ] && { echo "${v#*:}"; return; }
    done
}

# The files a .dsc names, and the .dsc itself.
dsc_files() {  # dsc_files <dsc>
    echo "$1"
    sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* //p' "$1" | sed "s|^|$(dirname "$1")/|"
}

# The words of a command as a shell reads them back, quoted only where needed.
quoted() {
    local a out=""
    for a; do
        if [[ $a =~ ^[A-Za-z0-9_,./=+:@%-]+$ ]]; then out+="$a "; else out+="'${a//\'/\'\\\'\'}' "; fi
    done
    printf '%s' "${out% }"
}

# The versions of the MinGW-w64 packages of the host, as dpkg knows them:
# compilers, binutils, the Windows headers and libraries.
toolchain_packages() {
    local a=${arch//_/-}
    dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' \
        "gcc-mingw-w64-$a*" "g++-mingw-w64-$a*" "binutils-mingw-w64-$a" "mingw-w64-$a-dev" \
        gcc-mingw-w64-base mingw-w64-common 2>/dev/null \
        | LC_ALL=C sort -k2 | awk '$1 == "ii" { printf "%s%s %s", sep, $2, $3; sep = ", " }'
}

configure_text() {  # configure_text <ffmpeg version> <lame version> <dav1d version> <zlib version>
    local revision=${1#*-} line
    echo "FFmpeg $1 (Debian source package ffmpeg), LAME $2 (Debian source package lame), dav1d $3 (Debian source package dav1d), zlib $4 (Debian source package zlib)"
    echo "compiler: $($cc --version | head -n1)"
    echo "toolchain packages: $(toolchain_packages)"
    echo "tools: meson $(meson --version 2>/dev/null || echo missing), $(nasm -v 2>/dev/null | head -n1 || echo nasm missing)"
    echo "LAME, in lame-src: $(quoted "${lame_configure[@]}")"
    echo "LAME, in lame-src: make -j2 && make install DESTDIR=\"\$PWD/../lame\""
    echo "dav1d, its cross file dav1d-cross.txt beside dav1d-src:"
    for line in "${dav1d_cross[@]}"; do echo "    $line" | sed "s/ *\$//"; done
    echo "dav1d, in dav1d-src: $(quoted "${dav1d_setup[@]}")"
    echo "dav1d, in dav1d-src: $(quoted "${dav1d_compile[@]}") && meson install -C ../dav1d-build --destdir \"\$PWD/../dav1d\""
    echo "zlib, in zlib-src: $(quoted "${zlib_configure[@]}")"
    echo "zlib, in zlib-src: make -j2 libz.a && make install DESTDIR=\"\$PWD/../zlib\""
    echo "FFmpeg, in ffmpeg-build: $(quoted "${ffmpeg_configure[@]}" | sed "s/@DEBIAN_REVISION@/$revision/")"
    echo "FFmpeg, in ffmpeg-build: make -j2 ffmpeg.exe"
}

# The versions of the store's sources: ffmpeg_version, lame_version,
# dav1d_version, zlib_version.
versions() {
    local pkg v
    for pkg in "${packages[@]}"; do
        v=$(fetched_version "$pkg")
        if [ -z "$v" ]; then
            # Lists older than the entry, or a list that changed: once more.
            apt-get update -q >/dev/null 2>&1 || true
            v=$(fetched_version "$pkg")
        fi
        if [ -z "$v" ]; then
            echo "build_converter.sh: the archive serves no source package $pkg of version ${minimum[$pkg]} or later (is Debian 13's source entry in place? tools/setup.sh adds it)" >&2
            exit 1
        fi
        printf -v "${pkg}_version" '%s' "$v"
    done
}

case "${1:-}" in
key)
    versions
    configure_text "$ffmpeg_version" "$lame_version" "$dav1d_version" "$zlib_version"
    ;;
build)
    out=$2
    versions
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    rm -rf "$out/source" "$out/build" "$out/ffmpeg.exe"
    mkdir -p "$out/source" "$out/build"
    for pkg in "${packages[@]}"; do
        v=${pkg}_version
        dsc_files "$store/${pkg}_${!v}.dsc" | xargs cp -t "$out/source/"
    done
    b="$out/build"
    dpkg-source -x "$out/source/ffmpeg_$ffmpeg_version.dsc" "$b/ffmpeg" >/dev/null 2>&1
    dpkg-source -x "$out/source/lame_$lame_version.dsc" "$b/lame-src" >/dev/null 2>&1
    dpkg-source -x "$out/source/dav1d_$dav1d_version.dsc" "$b/dav1d-src" >/dev/null 2>&1
    dpkg-source -x "$out/source/zlib_$zlib_version.dsc" "$b/zlib-src" >/dev/null 2>&1

    (cd "$b/lame-src" && "${lame_configure[@]}" >"$b/lame-configure.log" 2>&1 \
        && make -j2 >"$b/lame-make.log" 2>&1 && make install DESTDIR="$b/lame" >/dev/null 2>&1) \
        || { tail -n 30 "$b"/lame-*.log >&2; exit 1; }

    printf '%s\n' "${dav1d_cross[@]}" >"$b/dav1d-cross.txt"
    (cd "$b/dav1d-src" && "${dav1d_setup[@]}" >"$b/dav1d-setup.log" 2>&1 \
        && "${dav1d_compile[@]}" >"$b/dav1d-compile.log" 2>&1 && meson install -C ../dav1d-build --destdir "$b/dav1d" >"$b/dav1d-install.log" 2>&1) \
        || { tail -n 30 "$b"/dav1d-*.log >&2; exit 1; }

    (cd "$b/zlib-src" && "${zlib_configure[@]}" >"$b/zlib-configure.log" 2>&1 \
        && make -j2 libz.a >"$b/zlib-make.log" 2>&1 && make install DESTDIR="$b/zlib" >>"$b/zlib-make.log" 2>&1) \
        || { tail -n 30 "$b"/zlib-*.log >&2; exit 1; }

    revision=${ffmpeg_version#*-}
    args=("${ffmpeg_configure[@]/@DEBIAN_REVISION@/$revision}")
    mkdir "$b/ffmpeg-build"
    (cd "$b/ffmpeg-build" && "${args[@]}" >"$b/ffmpeg-configure.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-configure.log" "$b/ffmpeg-build/ffbuild/config.log" >&2; exit 1; }
    (cd "$b/ffmpeg-build" && make -j2 ffmpeg.exe >"$b/ffmpeg-make.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-make.log" >&2; exit 1; }

    cp "$b/ffmpeg-build/ffmpeg.exe" "$out/ffmpeg.exe.part"
    configure_text "$ffmpeg_version" "$lame_version" "$dav1d_version" "$zlib_version" >"$out/configure.txt"
    printf 'FFmpeg %s\nLAME %s\ndav1d %s\nzlib %s\n' "$ffmpeg_version" "$lame_version" "$dav1d_version" "$zlib_version" >"$out/versions"
    mv "$out/ffmpeg.exe.part" "$out/ffmpeg.exe"
    rm -rf "$b"
    ;;
*)
    echo "usage: build_converter.sh [--arch i686|x86_64] [--sources <store>] key | build <folder>" >&2
    exit 2
    ;;
esac
