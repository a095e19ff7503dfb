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
    cmake make ninja-build meson pkg-config nasm dpkg-dev ccache
    ffmpeg imagemagick
    nsis zip unzip
    fonts-wine fonts-liberation fonts-dejavu-core
    googletest
    python3 python3-pil python3-pefile python3-xxhash nlohmann-json3-dev
    g++  # natively built checks of media files: tests/conversion/media_fixtures_test.sh, tools/bench_mp4_walk.sh
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

# The converter is built from the sources of Debian's current stable release
# (13, trixie) and its security updates: a source-only entry of its own, on
# the same archives as the machine's own Debian entries. No binary package
# comes from it.
converter_release=trixie
converter_list=/etc/apt/sources.list.d/quendrix-$converter_release-src.sources
# The machine's archive addresses: "<main> <security>", from its own entries
# (deb822 stanzas or one-line entries), whichever it has.
debian_archives() {
    local files=() f
    for f in /etc/apt/sources.list.d/*.sources; do
        case "$f" in */quendrix-*) continue ;; esac
        [ -f "$f" ] && files+=("$f")
    done
    {
        [ ${#files[@]} -gt 0 ] && awk '
            /^URIs:/ { uri = $2 } /^Suites:/ { suites = $0 }
            /^$/ { if (uri != "") print uri, suites; uri = ""; suites = "" }
            END { if (uri != "") print uri, suites }' "${files[@]}"
        [ -f /etc/apt/sources.list ] && sed -nE 's/^deb +(\[[^]]*\] +)?([^ ]+) +([^ ]+).*/\2 Suites: \3/p' /etc/apt/sources.list
    } | awk '/[Dd]ebian/ {
            if ($0 ~ /-security/) { if (sec == "") sec = $1 } else if (main == "") main = $1
        }
        END { if (main != "") print main, (sec != "" ? sec : main "-security") }'
}
if [ ! -s "$converter_list" ]; then
    read -r main_archive security_archive < <(debian_archives) || true
    if [ -n "${main_archive:-}" ]; then
        log "adding a source-only entry for Debian's $converter_release (the converter's sources)"
        printf '%s\n' \
            "Types: deb-src" "URIs: $main_archive" "Suites: $converter_release $converter_release-updates" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" \
            "Types: deb-src" "URIs: $security_archive" "Suites: $converter_release-security" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
            | $SUDO tee "$converter_list" >/dev/null
        need_update=1
    fi
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

# Everything below is made twice: for the 64-bit build of the program and its
# tests (in .deps/x86_64/), which is what runs where the machine runs no
# 32-bit code, and for the 32-bit program (in .deps/). The 64-bit one comes
# first, so that the tests' own dependencies are ready soonest.
#
# Each is kept once per machine as well (tools/cache.sh), so that a fresh
# clone on a machine that has built it once copies it instead.
cache_root=/var/cache/quendrix-ombrelo
source "$here/tools/cache.sh"

cache_clean

# The compiler, its Debian packages and the toolchain file that a cross build
# depends on.
toolchain_key() {  # toolchain_key <i686|x86_64>
    local a=${1//_/-}
    echo "compiler: $("$1-w64-mingw32-gcc-posix" --version | head -n1)"
    echo "toolchain packages: $(dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version}\n' \
        "gcc-mingw-w64-$a*" "g++-mingw-w64-$a*" "binutils-mingw-w64-$a" "mingw-w64-$a-dev" \
        gcc-mingw-w64-base mingw-w64-common 2>/dev/null \
        | LC_ALL=C sort -k2 | awk '$1 == "ii" { printf "%s%s %s", sep, $2, $3; sep = ", " }')"
    echo "toolchain: $(sha256sum <"$here/cmake/mingw-$1.cmake" | cut -c1-16) $(sha256sum <"$here/cmake/mingw-common.cmake" 2>/dev/null | cut -c1-16)"
}

# cross_cmake <run|show> <source> <build folder> <prefix> <i686|x86_64> <options...>:
# configures, builds and installs a CMake project for Windows; with "show",
# prints the build tools and those lines instead, as a cache key holds them.
cross_cmake() {
    local how=$1 src=$2 build=$3 prefix=$4 toolchain=cmake/mingw-$5.cmake
    shift 5
    if [ "$how" = run ]; then
        toolchain=$here/$toolchain
    else
        echo "tools: $(cmake --version | head -n1), ninja $(ninja --version)"
    fi
    "cmake_$how" cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
    "cmake_$how" cmake --build "$build"
    "cmake_$how" cmake --install "$build"
}
cmake_run() { "$@" >/dev/null; }
cmake_show() { echo "$*"; }

# The converter's source packages, fetched once for the machine (a fresh clone
# takes them from there), or for this clone where the machine's cache cannot
# be written.
converter_sources="$cache_root/sources"
{ mkdir -p "$converter_sources" && [ -w "$converter_sources" ]; } 2>/dev/null || converter_sources="$deps/sources"

# --- the converter (resource 1): FFmpeg with LAME and dav1d, cross-built from
# Debian's source packages by tools/build_converter.sh. Its key holds the
# source versions, the build tools and the configure and meson lines: a new
# Debian revision or a changed line builds it again, anything else keeps it.
build_converter() {  # build_converter <folder> <i686|x86_64>
    log "cross-building the converter for $2 (FFmpeg with LAME and dav1d, from Debian's sources): 10 to 20 minutes"
    bash "$here/tools/build_converter.sh" --arch "$2" --sources "$converter_sources" build "$1"
}

# --- libjpeg-turbo, cross-built from Debian's source package of the machine's
# own release (the converter's release lists it too) ---------------------------
own_release=$(. /etc/os-release && echo "${VERSION_CODENAME:-stable}")
libjpeg_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
    -DWITH_JPEG8=ON -Wno-dev
)
build_libjpeg() {  # build_libjpeg <prefix> <i686|x86_64>
    local work
    work=$(mktemp -d)
    log "cross-building libjpeg-turbo into $1"
    (cd "$work" && apt-get source -q --download-only "libjpeg-turbo/$own_release" >/dev/null \
        && dpkg-source -x ./*.dsc src >/dev/null)
    cross_cmake run "$work/src" "$work/build" "$1" "$2" "${libjpeg_options[@]}"
    rm -rf "$work"
}
libjpeg_key() {  # libjpeg_key <i686|x86_64>
    echo "libjpeg-turbo $(apt-get source --print-uris "libjpeg-turbo/$own_release" 2>/dev/null \
        | sed -nE "s/^'[^']*' libjpeg-turbo_([^ ]*)\.dsc .*/\1/p" | head -n1)"
    cross_cmake show "<source>" "<build>" "<prefix>" "$1" "${libjpeg_options[@]}"
    toolchain_key "$1"
}

# --- GoogleTest, cross-built from the sources Debian's package installs --------
googletest_options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF -Wno-dev)
build_googletest() {  # build_googletest <prefix> <i686|x86_64>
    local work
    work=$(mktemp -d)
    log "cross-building GoogleTest into $1"
    cross_cmake run /usr/src/googletest "$work" "$1" "$2" "${googletest_options[@]}"
    rm -rf "$work"
}
googletest_key() {  # googletest_key <i686|x86_64>
    echo "googletest $(dpkg-query -W -f='${Version}' googletest)"
    cross_cmake show /usr/src/googletest "<build>" "<prefix>" "$1" "${googletest_options[@]}"
    toolchain_key "$1"
}

# --- zlib, cross-built from Debian's source package of the machine's own
# release: the program carries its converter compressed and inflates it
# when it installs it -------------------------------------------------------
zlib_lines() {  # zlib_lines <run|show> <i686|x86_64> <prefix>: its configure, make and install
    local host=$2-w64-mingw32
    "cmake_$1" env "CC=$host-gcc-posix" "AR=$host-ar" "RANLIB=$host-ranlib" "CHOST=$host" \
        ./configure --static --prefix=/
    "cmake_$1" make -j2 libz.a
    "cmake_$1" make install "DESTDIR=$3"
}
build_zlib() {  # build_zlib <prefix> <i686|x86_64>
    local work
    work=$(mktemp -d)
    log "cross-building zlib into $1"
    (cd "$work" && apt-get source -q --download-only "zlib/$own_release" >/dev/null 2>&1 \
        && dpkg-source -x ./*.dsc src >/dev/null 2>&1)
    (cd "$work/src" && zlib_lines run "$2" "$1")
    rm -rf "$work"
}
zlib_key() {  # zlib_key <i686|x86_64>
    echo "zlib $(apt-get source --print-uris "zlib/$own_release" 2>/dev/null \
        | sed -nE "s/^'[^']*' zlib_([^ ]*)\.dsc .*/\1/p" | head -n1)"
    zlib_lines show "$1" "<prefix>"
    toolchain_key "$1"
}

# --- nlohmann/json: its folder alone, so no native header leaks into the cross build
link_json() {
    mkdir -p "$1/include"
    ln -sfn /usr/include/nlohmann "$1/include/nlohmann"
}

for arch in x86_64 i686; do
    if [ "$arch" = i686 ]; then arch_deps="$deps"; else arch_deps="$deps/x86_64"; fi
    mkdir -p "$arch_deps"
    rm -rf "$arch_deps/payload"  # the prebuilt tool and threads DLL of earlier versions
    # The converter's build writes its key as configure.txt: the key of the
    # sources it took, which may be newer than those the key below names.
    provide --built-key configure.txt "converter-$arch" "$(bash "$here/tools/build_converter.sh" --arch "$arch" --sources "$converter_sources" key)" \
        "$arch_deps/converter" "$arch_deps/stamps/converter" build_converter "$arch_deps/converter" "$arch"
    provide "libjpeg-$arch" "$(libjpeg_key "$arch")" \
        "$arch_deps/libjpeg" "$arch_deps/stamps/libjpeg" build_libjpeg "$arch_deps/libjpeg" "$arch"
    provide "googletest-$arch" "$(googletest_key "$arch")" \
        "$arch_deps/googletest" "$arch_deps/stamps/googletest" build_googletest "$arch_deps/googletest" "$arch"
    provide "zlib-$arch" "$(zlib_key "$arch")" \
        "$arch_deps/zlib" "$arch_deps/stamps/zlib" build_zlib "$arch_deps/zlib" "$arch"
    link_json "$arch_deps"
done

# The compilers' cache for the project's own builds, one for the machine
# (CMakeLists.txt uses it where it exists): a fresh clone compiles from it.
mkdir -p "$cache_root/ccache" 2>/dev/null || true

log "everything is in place"
