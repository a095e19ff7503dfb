#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine.
# Idempotent: a second run with everything in place only checks and returns.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/.deps"            # third-party builds and payloads, outside git
mkdir -p "$deps"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

log() { printf '[setup] %s\n' "$*"; }

# --- Debian packages ---------------------------------------------------------
packages=(
    wine wine32:i386 wine64 xvfb xauth x11-utils
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
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
# npm may come with the machine's own Node.js; Debian's npm only where there is none.
if ! command -v npm >/dev/null; then
    $SUDO apt-get install -y -q --no-install-recommends npm
fi

# Everything below is made twice: for the 32-bit program (in .deps/), and
# for the 64-bit build of the same program and tests (in .deps/x86_64/),
# which is what runs where the machine runs no 32-bit code.

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

# --- libjpeg-turbo, cross-built from Debian's source package -------------------
# build_libjpeg <.deps folder> <toolchain file>
build_libjpeg() {
    local prefix="$1/libjpeg" stamp="$1/stamps/libjpeg" work="$1/src/libjpeg"
    [ -f "$stamp" ] && return
    log "cross-building libjpeg-turbo into $prefix"
    mkdir -p "$1/stamps"
    rm -rf "$work" && mkdir -p "$work"
    (cd "$work" && apt-get source -q --download-only libjpeg-turbo >/dev/null \
        && dpkg-source -x ./*.dsc src >/dev/null)
    cmake -S "$work/src" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$2" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
        -DWITH_JPEG8=ON -Wno-dev >/dev/null
    cmake --build "$work/build" >/dev/null
    cmake --install "$work/build" >/dev/null
    rm -rf "$work"
    touch "$stamp"
}

# --- GoogleTest, cross-built from the sources Debian's package installs --------
# build_googletest <.deps folder> <toolchain file>
build_googletest() {
    local prefix="$1/googletest" stamp="$1/stamps/googletest" work="$1/src/googletest-build"
    [ -f "$stamp" ] && return
    log "cross-building GoogleTest into $prefix"
    mkdir -p "$1/stamps"
    cmake -S /usr/src/googletest -B "$work" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$2" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -Wno-dev >/dev/null
    cmake --build "$work" >/dev/null
    cmake --install "$work" >/dev/null
    rm -rf "$work"
    touch "$stamp"
}

# --- nlohmann/json: its folder alone, so no native header leaks into the cross build
link_json() {
    mkdir -p "$1/include"
    ln -sfn /usr/include/nlohmann "$1/include/nlohmann"
}

for arch in i686 x86_64; do
    if [ "$arch" = i686 ]; then arch_deps="$deps"; else arch_deps="$deps/x86_64"; fi
    mkdir -p "$arch_deps"
    build_converter "$arch_deps" "$arch"
    build_libjpeg "$arch_deps" "$here/cmake/mingw-$arch.cmake"
    build_googletest "$arch_deps" "$here/cmake/mingw-$arch.cmake"
    link_json "$arch_deps"
done

log "everything is in place"
