#!/usr/bin/env bash
# The machine-wide cache of cross-built dependencies (tools/cache.sh), with a
# stand-in build that counts its runs, in a cache and "clones" of its own;
# then the keys that set-up gives it (tools/setup.sh, tools/build_converter.sh),
# with stand-ins for the toolchain, dpkg's database and the archive.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cache_root="$work/cache"
log() { :; }
source "$here/tools/cache.sh"

source "$here/tests/support/expect.sh"

# The stand-in build notes each run in a file, so that runs in subshells count.
: >"$work/builds"
builds() { wc -l <"$work/builds"; }
fake_build() {  # fake_build <folder> <content>
    echo run >>"$work/builds"
    mkdir -p "$1/lib" "$1/include"
    printf '%s\n' "$2" >"$1/lib/libthing.a"
    printf 'header\n' >"$1/include/thing.h"
}
# get <clone> <key>: what set-up does in that clone for that key.
get() { provide thing "$2" "$work/$1/deps/thing" "$work/$1/deps/stamps/thing" fake_build "$work/$1/deps/thing" "built for $2"; }
content() { cat "$work/$1/deps/thing/lib/libthing.a" 2>/dev/null; }
# sound <entry> <key>: the entry is there, for that key, with the files its
# checksums name, made for that key.
sound() {
    [ "$(cat "$1/key" 2>/dev/null)" = "$2" ] && sums_match "$1/files" "$1/SHA256SUMS" \
        && [ "$(cat "$1/files/lib/libthing.a")" = "built for $2" ]
}
no_parts() { ! ls -d "$cache_root"/*.part.* >/dev/null 2>&1; }
# status_of <command...>: the status the command ends with under set -e, as in set-up.
status_of() { set +e; (set -e; "$@"); echo $?; }
entry=$(cache_entry thing "key A")

get one "key A"
expect "a first set-up builds" same "$(builds)" 1
expect "and keeps the result in the cache with its key" sound "$entry" "key A"
get one "key A"
expect "a second set-up in the same clone does not build again" same "$(builds)" 1

get two "key A"
expect "a fresh clone takes it from the cache without building" same "$(builds)" 1
expect "with the same files" diff -r "$work/one/deps/thing" "$work/two/deps/thing"
expect "and its stamp" same "$(cat "$work/two/deps/stamps/thing")" "key A"

get two "key B"
expect "a changed key builds again" same "$(builds)" 2
expect "what the new key makes" same "$(content two)" "built for key B"
get one "key B"
expect "which another clone then takes from the cache" same "$(builds):$(content one)" "2:built for key B"

damage() {  # damage <clone> <how>: a cache entry spoiled, then a fresh clone's set-up
    local before
    before=$(builds)
    rm -rf "$work/$1"
    eval "$2"
    get "$1" "key A"
    [ "$(builds)" = $((before + 1)) ] && [ "$(content "$1")" = "built for key A" ] && sound "$entry" "key A"
}
expect "an entry with a changed file is built again, and the cache mended" \
    damage three 'printf "zeros" >"$entry/files/lib/libthing.a"'
expect "an entry with a file missing is built again" damage four 'rm "$entry/files/include/thing.h"'
expect "an entry with a file too many is built again" damage five 'touch "$entry/files/lib/extra.a"'
expect "an entry without its checksums is built again" damage six 'rm "$entry/SHA256SUMS"'
expect "an entry of another key under this digest is built again" damage seven 'echo "key C" >"$entry/key"'
expect "an entry without its files is built again" damage eight 'rm -rf "$entry/files"'

# A build that fails leaves neither a stamp nor an entry.
failing_build() { echo run >>"$work/builds"; mkdir -p "$1"; echo half >"$1/half"; return 1; }
status=$(status_of provide thing "key D" "$work/nine/deps/thing" "$work/nine/deps/stamps/thing" failing_build "$work/nine/deps/thing")
expect "a failed build fails the set-up" test "$status" != 0
expect "and leaves no stamp behind" test ! -e "$work/nine/deps/stamps/thing"
expect "and no cache entry" test ! -e "$(cache_entry thing "key D")"
expect "no half-written entry is ever left" no_parts

# --- a clone's folder goes into a cache that lacks it only as it was made ---
# Each case: a clone builds, the cache loses the entry, the clone's folder is
# changed (or not), and the clone's next set-up runs.
clone_case() {  # clone_case <clone> <how>
    local key="key $1" before
    get "$1" "$key"
    rm -rf "$(cache_entry thing "$key")"
    (cd "$work/$1/deps" && eval "$2")
    before=$(builds)
    get "$1" "$key"
    echo "$(($(builds) - before)):$(content "$1")"
}
while IFS='|' read -r clone builds_again what how; do
    result=$(clone_case "$clone" "$how")
    expect "a clone's folder $what: it is built $builds_again more time(s), and the cache gets what the build makes" \
        same "$result" "$builds_again:built for key $clone"
    expect "  (the entry it keeps matches its checksums and its key)" sound "$(cache_entry thing "key $clone")" "key $clone"
done <<'EOF'
c-as-made|0|as it was made is kept|:
c-changed|1|with a changed file is not kept|printf zeros >thing/lib/libthing.a
c-missing|1|with a file missing is not kept|rm thing/include/thing.h
c-extra|1|with a file too many is not kept|touch thing/lib/extra.a
c-nosums|1|without the checksums of its build is not kept|rm stamps/thing.SHA256SUMS
EOF
before=$(builds)
rm -rf "$work/c-fast"
get c-fast "key c-fast"
printf zeros >"$work/c-fast/deps/thing/lib/libthing.a"
get c-fast "key c-fast"
expect "while the cache holds the entry, a clone's stamped folder is not read through again" \
    same "$(($(builds) - before)):$(content c-fast)" "1:zeros"

# --- a cache that cannot be written does not stop the set-up ---
# with_fault <command> <set-up...>: <command> fails on anything of a
# half-written entry, as on a full disk.
with_fault() {
    eval "$1() { case \"\$PWD \$*\" in *.part.*) return 1 ;; esac; command $1 \"\$@\"; }"
    shift
    "$@"
}
for step in mkdir cp sha256sum mv; do
    clone=w-$step key="key w-$step"
    before=$(builds)
    status=$(status_of with_fault "$step" get "$clone" "$key")
    expect "a failing $step into the cache: the set-up goes on with what it built" \
        same "$status:$(($(builds) - before)):$(content "$clone"):$(cat "$work/$clone/deps/stamps/thing")" "0:1:built for $key:$key"
    expect "  and leaves neither an entry nor a half-written one" \
        eval '[ ! -e "$(cache_entry thing "$key")" ] && no_parts'
    get "$clone" "$key"
    expect "  and the next set-up keeps the clone's folder in the cache, without building" \
        eval '[ "$(($(builds) - before))" = 1 ] && sound "$(cache_entry thing "$key")" "$key"'
done

# Half-written entries of set-ups that were stopped are removed at the start.
gone=$(($(cat /proc/sys/kernel/pid_max) + 1))
mkdir -p "$cache_root/thing-0123.part.$gone" "$cache_root/thing-4567.part.$$" \
    "$cache_root/thing-89ab.part.$$.x" "$cache_root/thing-cdef.part.$$"
touch -d '7 hours ago' "$cache_root/thing-cdef.part.$$"
cache_clean
while IFS='|' read -r part left what; do
    expect "cache_clean: a half-written entry $what is $left" \
        same "$([ -e "$cache_root/$part" ] && echo kept || echo removed)" "$left"
done <<EOF
thing-0123.part.$gone|removed|of a process that is gone
thing-89ab.part.$$.x|removed|of no process
thing-cdef.part.$$|removed|hours old
thing-4567.part.$$|kept|of a running set-up
EOF
expect "cache_clean: the entries are kept" sound "$entry" "key A"
rm -rf "$cache_root"/*.part.*

# --- a build that took other sources than its key named ---
# newer_build <folder> <the key of what it makes>, as a build that fetched newer sources.
newer_build() { fake_build "$1" "built for $2"; printf '%s\n' "$2" >"$1/made-for"; }
get_built() {  # get_built <clone> <key> <the key the build makes>
    provide --built-key made-for thing "$2" "$work/$1/deps/thing" "$work/$1/deps/stamps/thing" \
        newer_build "$work/$1/deps/thing" "$3"
}
before=$(builds)
get_built n-one "key E" "key E newer"
expect "what a build made is stamped with the key it wrote" same "$(cat "$work/n-one/deps/stamps/thing")" "key E newer"
expect "and kept under that key" sound "$(cache_entry thing "key E newer")" "key E newer"
expect "and never under the key computed before" test ! -e "$(cache_entry thing "key E")"
get_built n-one "key E newer" "key E newer"
get n-two "key E newer"
expect "the next set-up, which computes the newer key, builds nothing, nor does a fresh clone" \
    same "$(($(builds) - before)):$(content n-two)" "1:built for key E newer"
entries=$(ls "$cache_root")
status=$(status_of get_built n-three "key F" "")
expect "a build that writes no key fails the set-up, with no stamp and no entry" \
    same "$status:$(cat "$work/n-three/deps/stamps/thing" 2>/dev/null):$(ls "$cache_root")" "1::$entries"

# --- the keys: every build line and every toolchain package ---
# The definitions of these functions and arrays in tools/setup.sh, to be
# sourced without running the set-up.
setup_pieces() {
    awk -v names=" $* " '
        !end && match($0, /^[A-Za-z_][A-Za-z0-9_]*(\(\) \{|=\()/) {
            name = substr($0, 1, RLENGTH); sub(/(\(\) \{|=\()$/, "", name)
            if (index(names, " " name " ")) {
                end = ($0 ~ /^[A-Za-z_][A-Za-z0-9_]*=\(/) ? "^\\)" : "^}"
                if ($0 ~ /^[A-Za-z_][A-Za-z0-9_]*(\(\) \{.*\}|=\(.*\))$/) { print; end = ""; next }
            }
        }
        end { print; if ($0 ~ end) end = "" }' "$here/tools/setup.sh"
}
pieces=(toolchain_key cross_cmake cmake_run cmake_show libjpeg_options build_libjpeg libjpeg_key
    googletest_options build_googletest googletest_key)
eval "$(setup_pieces "${pieces[@]}")"
missing=$(for piece in "${pieces[@]}"; do declare -F "$piece" >/dev/null || declare -p "$piece" >/dev/null 2>&1 || echo "$piece"; done)
expect "setup.sh defines the pieces taken from it" same "$missing" ""
own_release=trixie

# Stand-ins: the cross compilers, the build tools, the archive and dpkg's
# database (the real dpkg-query, on a status file of the test's own).
bin="$work/bin"
mkdir -p "$bin"
stub() { printf '#!/bin/sh\n%s\n' "$2" >"$bin/$1"; chmod +x "$bin/$1"; }
for host in i686-w64-mingw32 x86_64-w64-mingw32; do
    stub "$host-gcc-posix" "echo '$host-gcc-posix (GCC) 14-posix'"
done
stub cmake "if [ \"\$1\" = --version ]; then echo 'cmake version 3.31.6'; else echo \"cmake \$*\" >>'$work/cmake.log'; fi"
stub ninja "echo 1.12.1"
stub meson "echo 1.7.0"
stub nasm "echo 'NASM version 2.16.03'"
stub dpkg-source 'eval "mkdir -p \"\${$#}\""'
stub apt-get "case \"\$*\" in
    *--print-uris*) echo \"'http://archive/libjpeg-turbo_2.1.5-4.dsc' libjpeg-turbo_2.1.5-4.dsc 2000 SHA256:00\" ;;
    *--download-only*) touch libjpeg-turbo_2.1.5-4.dsc ;;
esac"
stub dpkg-query "exec $(command -v dpkg-query) --admindir='$work/dpkg' \"\$@\""
declare -A sources=([ffmpeg]=7:7.1.1-1 [lame]=3.100-6 [dav1d]=1.5.1-1 [zlib]=1:1.3.dfsg+really1.3.1-1)
stub apt-cache "case \"\$3\" in $(for p in "${!sources[@]}"; do printf '%s) echo "Version: %s" ;; ' "$p" "${sources[$p]}"; done) esac"
mkdir -p "$work/store"
for p in "${!sources[@]}"; do touch "$work/store/${p}_${sources[$p]#*:}.dsc"; done
PATH="$bin:$PATH"

declare -A installed=(
    [gcc-mingw-w64-base]=14.2.0-17+27 [mingw-w64-common]=12.0.0-5 [googletest]=1.16.0-1
    [gcc-mingw-w64-i686-posix]=14.2.0-17+27 [gcc-mingw-w64-i686-posix-runtime]=14.2.0-17+27
    [g++-mingw-w64-i686-posix]=14.2.0-17+27 [binutils-mingw-w64-i686]=2.44-3+12 [mingw-w64-i686-dev]=12.0.0-5
    [gcc-mingw-w64-x86-64-posix]=14.2.0-17+27 [gcc-mingw-w64-x86-64-posix-runtime]=14.2.0-17+27
    [g++-mingw-w64-x86-64-posix]=14.2.0-17+27 [binutils-mingw-w64-x86-64]=2.44-3+12 [mingw-w64-x86-64-dev]=12.0.0-5
)
write_status() {
    local p
    mkdir -p "$work/dpkg"
    {
        for p in "${!installed[@]}"; do
            printf 'Package: %s\nStatus: install ok installed\nVersion: %s\nArchitecture: all\nMaintainer: m\nDescription: d\n\n' "$p" "${installed[$p]}"
        done
        # removed, its configuration files left: not part of the toolchain
        printf 'Package: gcc-mingw-w64-x86-64-win32\nStatus: deinstall ok config-files\nVersion: 13.0\nArchitecture: all\nMaintainer: m\nDescription: d\n\n'
    } >"$work/dpkg/status"
}
write_status

key_of() {  # key_of <libjpeg|googletest|converter> <i686|x86_64>
    case $1 in
    converter) bash "$here/tools/build_converter.sh" --arch "$2" --sources "$work/store" key ;;
    *) "$1_key" "$2" ;;
    esac
}
deps=(libjpeg googletest converter)

tool_key=$(toolchain_key x86_64)
expect "toolchain_key holds each toolchain package of its architecture with the version dpkg has" \
    eval '[[ $tool_key == *"binutils-mingw-w64-x86-64 2.44-3+12, g++-mingw-w64-x86-64-posix 14.2.0-17+27, gcc-mingw-w64-base 14.2.0-17+27, gcc-mingw-w64-x86-64-posix 14.2.0-17+27, gcc-mingw-w64-x86-64-posix-runtime 14.2.0-17+27, mingw-w64-common 12.0.0-5, mingw-w64-x86-64-dev 12.0.0-5"* ]]'
expect "and none of the other architecture, nor a removed one" eval '[[ $tool_key != *i686* && $tool_key != *win32* ]]'

# toolchain_key changes with each toolchain package of its architecture, and
# only then; every key holds its toolchain packages, the converter's too
# (build_converter.sh lists them itself).
declare -A tool_keys=([i686]=$(toolchain_key i686) [x86_64]=$(toolchain_key x86_64))
for package in gcc-mingw-w64-ARCH-posix g++-mingw-w64-ARCH-posix binutils-mingw-w64-ARCH mingw-w64-ARCH-dev; do
    for arch in i686 x86_64; do
        other=$([ "$arch" = i686 ] && echo x86_64 || echo i686)
        pkg=${package/ARCH/${arch//_/-}}
        was=${installed[$pkg]}
        installed[$pkg]="$was+1"
        write_status
        expect "toolchain_key for $arch changes with $pkg, and not for $other" \
            eval '[ "$(toolchain_key "$arch")" != "${tool_keys[$arch]}" ] && same "$(toolchain_key "$other")" "${tool_keys[$other]}"'
        installed[$pkg]=$was
        write_status
    done
done
declare -A before_keys
for dep in "${deps[@]}"; do
    for arch in i686 x86_64; do
        before_keys[$dep-$arch]=$(key_of "$dep" "$arch")
        expect "$dep's key for $arch holds its toolchain packages" \
            same "$(grep '^toolchain packages:' <<<"${before_keys[$dep-$arch]}")" "$(toolchain_key "$arch" | grep '^toolchain packages:')"
    done
done

# libjpeg-turbo's and GoogleTest's keys hold the lines their builds run.
# The configure options after the install prefix, and the build and install
# lines with the build folder as the key names it, of cmake lines.
options_after_prefix() { grep -e ' -S ' | sed -E 's/.* -DCMAKE_INSTALL_PREFIX=[^ ]* //'; }
build_lines() { grep -e '^cmake --build ' -e '^cmake --install ' | sed -E 's/ [^ ]+$/ <build>/'; }
for dep in libjpeg googletest; do
    for extra in "" -DEXTRA=ON; do
        declare -n options="${dep}_options"
        [ -z "$extra" ] || options+=("$extra")
        : >"$work/cmake.log"
        "build_$dep" "$work/prefix-$dep" x86_64
        key=$(key_of "$dep" x86_64)
        expect "$dep${extra:+ with $extra}: its build runs the configure options its key names" \
            same "$(options_after_prefix <"$work/cmake.log")" "$(options_after_prefix <<<"$key")"
        expect "  and its build and install lines" \
            same "$(build_lines <"$work/cmake.log")" "$(build_lines <<<"$key")"
        expect "  and the same toolchain file" \
            eval 'grep -q -- "-DCMAKE_TOOLCHAIN_FILE=$here/cmake/mingw-x86_64.cmake " "$work/cmake.log" && [[ $key == *"-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake "* ]]'
        if [ -n "$extra" ]; then
            expect "  and an added option changes it" test "$key" != "${before_keys[$dep-x86_64]}"
            unset 'options[-1]'
        fi
        unset -n options
    done
done
expect "the key names neither the clone's folders nor the build's" \
    eval '! grep -q -e "$work" -e "$here" <<<"$(key_of libjpeg x86_64; key_of googletest x86_64)"'

finish
