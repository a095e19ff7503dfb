#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine.
# Idempotent: a second run with everything in place only checks and returns.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/.deps"            # third-party builds and payloads, outside git
stamp_dir="$deps/stamps"
mkdir -p "$stamp_dir"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

log() { printf '[setup] %s\n' "$*"; }

# --- Debian packages ---------------------------------------------------------
packages=(
    wine wine32:i386 xvfb xauth x11-utils
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    cmake make ninja-build pkg-config nasm dpkg-dev
    ffmpeg imagemagick
    nsis zip unzip
    fonts-wine fonts-liberation fonts-dejavu-core
    googletest
    python3 python3-pil nlohmann-json3-dev
)

missing_packages() {
    local p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}

src_list=/etc/apt/sources.list.d/quendrix-deb-src.sources
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    need_update=1
fi
if [ ! -f "$src_list" ]; then
    # Source entries: the machine's own binary entries with their type changed.
    own=""
    for f in /etc/apt/sources.list.d/*.sources; do
        [ "$f" = "$src_list" ] && continue
        grep -q '^Types:.*\bdeb\b' "$f" && grep -qi 'debian' "$f" && own="$own $f"
    done
    if [ -n "$own" ]; then
        # shellcheck disable=SC2086
        sed -E 's/^Types:.*/Types: deb-src/' $own | $SUDO tee "$src_list" >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
        grep -E '^deb ' /etc/apt/sources.list | grep -v '^deb-src' | sed -E 's/^deb /deb-src /' \
            | $SUDO tee /etc/apt/sources.list.d/quendrix-deb-src.list >/dev/null
        $SUDO touch "$src_list"
    fi
    need_update=1
fi

todo=$(missing_packages)
if [ -n "$todo" ] || [ "$need_update" = 1 ]; then
    log "installing Debian packages"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    # shellcheck disable=SC2086
    [ -n "$todo" ] && $SUDO apt-get install -y -q --no-install-recommends $todo
fi
# --- the converter (resource 1): FFmpeg with LAME, cross-built from Debian's
# source packages by tools/build_converter.sh. Its stamp holds the source
# versions and the configure lines: a new Debian revision or a changed line
# builds it again, anything else keeps it.
# build_converter <.deps folder> <i686|x86_64>
build_converter() {
    local converter="$1/converter" stamp="$1/stamps/converter" key started
    rm -rf "$1/payload"  # the prebuilt tool and threads DLL of earlier versions
    key=$(bash "$here/tools/build_converter.sh" --arch "$2" key)
    [ -s "$converter/ffmpeg.exe" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$key" ] && return
    log "cross-building the converter for $2 (FFmpeg with LAME, from Debian's sources): 10 to 20 minutes"
    mkdir -p "$1/stamps"
    rm -f "$stamp"
    started=$SECONDS
    bash "$here/tools/build_converter.sh" --arch "$2" build "$converter"
    printf '%s\n' "$key" >"$stamp"
    log "the converter took $((SECONDS - started)) s"
}
build_converter "$deps" i686

# --- libjpeg-turbo, cross-built from Debian's source package -------------------
jpeg_prefix="$deps/libjpeg"
if [ ! -f "$stamp_dir/libjpeg" ]; then
    log "cross-building libjpeg-turbo"
    work="$deps/src"
    rm -rf "$work/libjpeg" && mkdir -p "$work/libjpeg"
    (cd "$work/libjpeg" && apt-get source -q --download-only libjpeg-turbo >/dev/null \
        && dpkg-source -x ./*.dsc src >/dev/null)
    cmake -S "$work/libjpeg/src" -B "$work/libjpeg/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
        -DWITH_JPEG8=ON -Wno-dev >/dev/null
    cmake --build "$work/libjpeg/build" >/dev/null
    cmake --install "$work/libjpeg/build" >/dev/null
    rm -rf "$work/libjpeg"
    touch "$stamp_dir/libjpeg"
fi

# --- GoogleTest, cross-built from the sources Debian's package installs --------
gtest_prefix="$deps/googletest"
if [ ! -f "$stamp_dir/googletest" ]; then
    log "cross-building GoogleTest"
    gsrc=/usr/src/googletest
    cmake -S "$gsrc" -B "$deps/src/googletest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
        -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -Wno-dev >/dev/null
    cmake --build "$deps/src/googletest-build" >/dev/null
    cmake --install "$deps/src/googletest-build" >/dev/null
    rm -rf "$deps/src/googletest-build"
    touch "$stamp_dir/googletest"
fi

# --- nlohmann/json: its folder alone, so no native header leaks into the cross build
mkdir -p "$deps/include"
ln -sfn /usr/include/nlohmann "$deps/include/nlohmann"

log "everything is in place"
