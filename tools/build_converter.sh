#!/usr/bin/env bash
# The converter tool the program carries (resource 1): FFmpeg's command-line
# program with LAME for MP3 and dav1d for AV1 video, cross-built for 32-bit
# Windows from Debian's own source packages (their Debian patches applied by
# dpkg-source), static, with no DLL beside it. Only what the program needs is
# enabled: the file and pipe protocols, the containers and codecs users drop
# on it, the MPEG-4 and LAME encoders, the AVI muxer and the filters the
# command line inserts. Nothing that follows names inside a file (playlists,
# concatenation lists, image sequences) and nothing of the network. No
# GPL-only part: the tool is LGPL (dav1d itself is under the BSD 2-clause
# licence).
#
#   build_converter.sh [--arch i686|x86_64] key
#       prints the source versions and the configure lines (setup's cache key)
#   build_converter.sh [--arch i686|x86_64] build <folder>
#       builds into <folder>:
#       ffmpeg.exe       the tool
#       source/          the Debian source packages it was built from
#       configure.txt    the versions and the exact configure lines
#       versions         "FFmpeg <version>", "LAME <version>" and "dav1d <version>",
#                        one a line
# The configure lines name the LAME and dav1d installs by relative paths, so
# they read the same in every clone; the source archive of a release ships
# this script.
# The program ships the 32-bit tool (i686, the default); the same tool for
# 64-bit Windows (x86_64) serves a 64-bit build of the program and its tests.
set -euo pipefail

arch=i686
if [ "${1:-}" = --arch ]; then arch=$2; shift 2; fi
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
# FFmpeg's configure, run in the build folder ffmpeg-build beside the
# unpacked source ffmpeg and the LAME and dav1d installs lame and dav1d;
# pkg-config looks only into dav1d's folder, so that no native library leaks
# in.
ffmpeg_configure=(
    env PKG_CONFIG_LIBDIR=../dav1d/lib/pkgconfig ../ffmpeg/configure
    --enable-cross-compile --arch=$ffmpeg_arch --target-os=mingw32 --cross-prefix=$host- --cc=$cc
    --pkg-config=pkg-config --extra-version="@DEBIAN_REVISION@"
    --disable-everything --disable-autodetect --disable-network --disable-doc --disable-debug
    --disable-ffplay --disable-ffprobe --disable-avdevice --disable-postproc
    --disable-shared --enable-static --disable-pthreads --enable-w32threads
    --enable-libmp3lame --enable-libdav1d --extra-cflags=-I../lame/include
    --extra-ldflags="-L../lame/lib -static -static-libgcc"
    --enable-protocol=file,pipe
    --enable-demuxer=mov,avi,mpegps,mpegts,flv,matroska,h264,hevc,m4v,mpegvideo,h263,mp3,aac,ac3
    --enable-decoder=h264,hevc,mpeg4,h263,mpeg1video,mpeg2video,vp8,vp9,libdav1d,aac,aac_latm,mp3,mp3float,mp2,mp2float,ac3,vorbis,opus,pcm_*
    --enable-parser=h264,hevc,mpeg4video,mpegvideo,mpegaudio,aac,aac_latm,ac3,vp8,vp9,opus,vorbis,h263
    --enable-encoder=mpeg4,libmp3lame
    --enable-muxer=avi
    --enable-filter=scale,aresample,format,aformat,null,anull
)

# The version of a source package apt would fetch now ("5.1.9-0+deb12u1").
source_version() {
    apt-get source --print-uris "$1" 2>/dev/null \
        | sed -nE "s/^'[^']*' $1_([^ ]*)\.dsc .*/\1/p" | head -n1
}

# The words of a command as a shell reads them back, quoted only where needed.
quoted() {
    local a out=""
    for a; do
        if [[ $a =~ ^[A-Za-z0-9_,./=+:@%-]+$ ]]; then out+="$a "; else out+="'${a//\'/\'\\\'\'}' "; fi
    done
    printf '%s' "${out% }"
}

configure_text() {  # configure_text <ffmpeg version> <lame version> <dav1d version>
    local revision=${1#*-} line
    echo "FFmpeg $1 (Debian source package ffmpeg), LAME $2 (Debian source package lame), dav1d $3 (Debian source package dav1d)"
    echo "compiler: $($cc --version | head -n1)"
    echo "tools: meson $(meson --version 2>/dev/null || echo missing), $(nasm -v 2>/dev/null | head -n1 || echo nasm missing)"
    echo "LAME, in lame-src: $(quoted "${lame_configure[@]}")"
    echo "LAME, in lame-src: make -j2 && make install DESTDIR=\"\$PWD/../lame\""
    echo "dav1d, its cross file dav1d-cross.txt beside dav1d-src:"
    for line in "${dav1d_cross[@]}"; do echo "    $line" | sed "s/ *\$//"; done
    echo "dav1d, in dav1d-src: $(quoted "${dav1d_setup[@]}")"
    echo "dav1d, in dav1d-src: $(quoted "${dav1d_compile[@]}") && meson install -C ../dav1d-build --destdir \"\$PWD/../dav1d\""
    echo "FFmpeg, in ffmpeg-build: $(quoted "${ffmpeg_configure[@]}" | sed "s/@DEBIAN_REVISION@/$revision/")"
    echo "FFmpeg, in ffmpeg-build: make -j2 ffmpeg.exe"
}

versions() {
    ffmpeg_version=$(source_version ffmpeg)
    lame_version=$(source_version lame)
    dav1d_version=$(source_version dav1d)
    if [ -z "$ffmpeg_version" ] || [ -z "$lame_version" ] || [ -z "$dav1d_version" ]; then
        echo "build_converter.sh: apt knows no source package ffmpeg, lame or dav1d (deb-src entries and apt-get update?)" >&2
        exit 1
    fi
}

case "${1:-}" in
key)
    versions
    configure_text "$ffmpeg_version" "$lame_version" "$dav1d_version"
    ;;
build)
    out=$2
    versions
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    rm -rf "$out/source" "$out/build" "$out/ffmpeg.exe"
    mkdir -p "$out/source" "$out/build"
    fetch() { (cd "$out/source" && apt-get source -q --download-only ffmpeg lame dav1d >/dev/null 2>&1); }
    fetch || { apt-get update -q >/dev/null && fetch; } \
        || { echo "build_converter.sh: could not fetch the sources of ffmpeg, lame and dav1d" >&2; exit 1; }
    # The versions as fetched, should apt's lists have changed meanwhile.
    dsc_version() { local f; f=$(cd "$out/source" && ls "$1"_*.dsc); f=${f#"$1"_}; echo "${f%.dsc}"; }
    ffmpeg_version=$(dsc_version ffmpeg)
    lame_version=$(dsc_version lame)
    dav1d_version=$(dsc_version dav1d)
    b="$out/build"
    dpkg-source -x "$out/source/ffmpeg_$ffmpeg_version.dsc" "$b/ffmpeg" >/dev/null 2>&1
    dpkg-source -x "$out/source/lame_$lame_version.dsc" "$b/lame-src" >/dev/null 2>&1
    dpkg-source -x "$out/source/dav1d_$dav1d_version.dsc" "$b/dav1d-src" >/dev/null 2>&1

    (cd "$b/lame-src" && "${lame_configure[@]}" >"$b/lame-configure.log" 2>&1 \
        && make -j2 >"$b/lame-make.log" 2>&1 && make install DESTDIR="$b/lame" >/dev/null 2>&1) \
        || { tail -n 30 "$b"/lame-*.log >&2; exit 1; }

    printf '%s\n' "${dav1d_cross[@]}" >"$b/dav1d-cross.txt"
    (cd "$b/dav1d-src" && "${dav1d_setup[@]}" >"$b/dav1d-setup.log" 2>&1 \
        && "${dav1d_compile[@]}" >"$b/dav1d-compile.log" 2>&1 && meson install -C ../dav1d-build --destdir "$b/dav1d" >"$b/dav1d-install.log" 2>&1) \
        || { tail -n 30 "$b"/dav1d-*.log >&2; exit 1; }

    revision=${ffmpeg_version#*-}
    args=("${ffmpeg_configure[@]/@DEBIAN_REVISION@/$revision}")
    mkdir "$b/ffmpeg-build"
    (cd "$b/ffmpeg-build" && "${args[@]}" >"$b/ffmpeg-configure.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-configure.log" "$b/ffmpeg-build/ffbuild/config.log" >&2; exit 1; }
    (cd "$b/ffmpeg-build" && make -j2 ffmpeg.exe >"$b/ffmpeg-make.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-make.log" >&2; exit 1; }

    cp "$b/ffmpeg-build/ffmpeg.exe" "$out/ffmpeg.exe.part"
    configure_text "$ffmpeg_version" "$lame_version" "$dav1d_version" >"$out/configure.txt"
    printf 'FFmpeg %s\nLAME %s\ndav1d %s\n' "$ffmpeg_version" "$lame_version" "$dav1d_version" >"$out/versions"
    mv "$out/ffmpeg.exe.part" "$out/ffmpeg.exe"
    rm -rf "$b"
    ;;
*)
    echo "usage: build_converter.sh [--arch i686|x86_64] key | build <folder>" >&2
    exit 2
    ;;
esac
