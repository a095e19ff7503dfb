#!/usr/bin/env bash
# The converter tool the program carries (resource 1): FFmpeg's command-line
# program with LAME for MP3, cross-built for 32-bit Windows from Debian's own
# source packages (their Debian patches applied by dpkg-source), static, with
# no DLL beside it. Only what the program needs is enabled: the file and pipe
# protocols, the containers and codecs users drop on it, the MPEG-4 and LAME
# encoders, the AVI muxer and the filters the command line inserts. Nothing
# that follows names inside a file (playlists, concatenation lists, image
# sequences) and nothing of the network. No GPL-only part: the tool is LGPL.
#
#   build_converter.sh [--arch i686|x86_64] key
#       prints the source versions and the configure lines (setup's cache key)
#   build_converter.sh [--arch i686|x86_64] build <folder>
#       builds into <folder>:
#       ffmpeg.exe       the tool
#       source/          the Debian source packages it was built from
#       configure.txt    the versions and the exact configure lines
#       versions         "FFmpeg <version>" and "LAME <version>", one a line
# The configure lines name the LAME install by a relative path, so they read
# the same in every clone; the source archive of a release ships this script.
# The program ships the 32-bit tool (i686, the default); the same tool for
# 64-bit Windows (x86_64) serves a 64-bit build of the program and its tests.
set -euo pipefail

arch=i686
if [ "${1:-}" = --arch ]; then arch=$2; shift 2; fi
case "$arch" in
i686) host=i686-w64-mingw32 ffmpeg_arch=x86 lame_cflags="-O2 -msse" ;;
x86_64) host=x86_64-w64-mingw32 ffmpeg_arch=x86_64 lame_cflags="-O2" ;;
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
# FFmpeg's configure, run in the build folder ffmpeg-build beside the
# unpacked source ffmpeg and the LAME install lame; pkg-config looks only
# into a folder that does not exist, so that no native library leaks in.
ffmpeg_configure=(
    env PKG_CONFIG_LIBDIR=/nonexistent ../ffmpeg/configure
    --enable-cross-compile --arch=$ffmpeg_arch --target-os=mingw32 --cross-prefix=$host- --cc=$cc
    --pkg-config=pkg-config --extra-version="@DEBIAN_REVISION@"
    --disable-everything --disable-autodetect --disable-network --disable-doc --disable-debug
    --disable-ffplay --disable-ffprobe --disable-avdevice --disable-postproc
    --disable-shared --enable-static --disable-pthreads --enable-w32threads
    --enable-libmp3lame --extra-cflags=-I../lame/include
    --extra-ldflags="-L../lame/lib -static -static-libgcc"
    --enable-protocol=file,pipe
    --enable-demuxer=mov,avi,mpegps,mpegts,flv,matroska,h264,hevc,m4v,mpegvideo,h263,mp3,aac,ac3
    --enable-decoder=h264,hevc,mpeg4,h263,mpeg1video,mpeg2video,vp8,vp9,aac,aac_latm,mp3,mp3float,mp2,mp2float,ac3,vorbis,opus,pcm_*
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

configure_text() {  # configure_text <ffmpeg version> <lame version>
    local revision=${1#*-}
    echo "FFmpeg $1 (Debian source package ffmpeg), LAME $2 (Debian source package lame)"
    echo "compiler: $($cc --version | head -n1)"
    echo "LAME, in lame-src: $(quoted "${lame_configure[@]}")"
    echo "LAME, in lame-src: make -j2 && make install DESTDIR=\"\$PWD/../lame\""
    echo "FFmpeg, in ffmpeg-build: $(quoted "${ffmpeg_configure[@]}" | sed "s/@DEBIAN_REVISION@/$revision/")"
    echo "FFmpeg, in ffmpeg-build: make -j2 ffmpeg.exe"
}

versions() {
    ffmpeg_version=$(source_version ffmpeg)
    lame_version=$(source_version lame)
    if [ -z "$ffmpeg_version" ] || [ -z "$lame_version" ]; then
        echo "build_converter.sh: apt knows no source package ffmpeg or lame (deb-src entries and apt-get update?)" >&2
        exit 1
    fi
}

case "${1:-}" in
key)
    versions
    configure_text "$ffmpeg_version" "$lame_version"
    ;;
build)
    out=$2
    versions
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    rm -rf "$out/source" "$out/build" "$out/ffmpeg.exe"
    mkdir -p "$out/source" "$out/build"
    fetch() { (cd "$out/source" && apt-get source -q --download-only ffmpeg lame >/dev/null 2>&1); }
    fetch || { apt-get update -q >/dev/null && fetch; } \
        || { echo "build_converter.sh: could not fetch the sources of ffmpeg and lame" >&2; exit 1; }
    # The versions as fetched, should apt's lists have changed meanwhile.
    dsc_version() { local f; f=$(cd "$out/source" && ls "$1"_*.dsc); f=${f#"$1"_}; echo "${f%.dsc}"; }
    ffmpeg_version=$(dsc_version ffmpeg)
    lame_version=$(dsc_version lame)
    b="$out/build"
    dpkg-source -x "$out/source/ffmpeg_$ffmpeg_version.dsc" "$b/ffmpeg" >/dev/null 2>&1
    dpkg-source -x "$out/source/lame_$lame_version.dsc" "$b/lame-src" >/dev/null 2>&1

    (cd "$b/lame-src" && "${lame_configure[@]}" >"$b/lame-configure.log" 2>&1 \
        && make -j2 >"$b/lame-make.log" 2>&1 && make install DESTDIR="$b/lame" >/dev/null 2>&1) \
        || { tail -n 30 "$b"/lame-*.log >&2; exit 1; }

    revision=${ffmpeg_version#*-}
    args=("${ffmpeg_configure[@]/@DEBIAN_REVISION@/$revision}")
    mkdir "$b/ffmpeg-build"
    (cd "$b/ffmpeg-build" && "${args[@]}" >"$b/ffmpeg-configure.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-configure.log" "$b/ffmpeg-build/ffbuild/config.log" >&2; exit 1; }
    (cd "$b/ffmpeg-build" && make -j2 ffmpeg.exe >"$b/ffmpeg-make.log" 2>&1) \
        || { tail -n 30 "$b/ffmpeg-make.log" >&2; exit 1; }

    cp "$b/ffmpeg-build/ffmpeg.exe" "$out/ffmpeg.exe.part"
    configure_text "$ffmpeg_version" "$lame_version" >"$out/configure.txt"
    printf 'FFmpeg %s\nLAME %s\n' "$ffmpeg_version" "$lame_version" >"$out/versions"
    mv "$out/ffmpeg.exe.part" "$out/ffmpeg.exe"
    rm -rf "$b"
    ;;
*)
    echo "usage: build_converter.sh [--arch i686|x86_64] key | build <folder>" >&2
    exit 2
    ;;
esac
