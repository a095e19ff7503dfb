#!/usr/bin/env bash
# The machine-wide cache of cross-built dependencies (tools/cache.sh), with a
# stand-in build that counts its runs, in a cache and two "clones" of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cache_root="$work/cache"
log() { :; }
source "$here/tools/cache.sh"

source "$here/tests/support/expect.sh"

runs=0
fake_build() {  # fake_build <folder> <content>
    runs=$((runs + 1))
    mkdir -p "$1/lib" "$1/include"
    printf '%s\n' "$2" >"$1/lib/libthing.a"
    printf 'header\n' >"$1/include/thing.h"
}
# get <clone> <key>: what set-up does in that clone for that key.
get() { provide thing "$2" "$work/$1/deps/thing" "$work/$1/deps/stamps/thing" fake_build "$work/$1/deps/thing" "built for $2"; }
content() { cat "$work/$1/deps/thing/lib/libthing.a" 2>/dev/null; }
entry=$(cache_entry thing "key A")

get one "key A"
expect "a first set-up builds" same "$runs" 1
expect "and keeps the result in the cache with its key" same "$(cat "$entry/key")" "key A"
get one "key A"
expect "a second set-up in the same clone does not build again" same "$runs" 1

get two "key A"
expect "a fresh clone takes it from the cache without building" same "$runs" 1
expect "with the same files" diff -r "$work/one/deps/thing" "$work/two/deps/thing"
expect "and its stamp" same "$(cat "$work/two/deps/stamps/thing")" "key A"

get two "key B"
expect "a changed key builds again" same "$runs" 2
expect "what the new key makes" same "$(content two)" "built for key B"
get one "key B"
expect "which another clone then takes from the cache" same "$runs:$(content one)" "2:built for key B"

damage() {  # damage <clone> <how>: a cache entry spoiled, then a fresh clone's set-up
    local before=$runs
    rm -rf "$work/$1"
    eval "$2"
    get "$1" "key A"
    [ "$runs" = $((before + 1)) ] && [ "$(content "$1")" = "built for key A" ] \
        && (cd "$entry/files" && sha256sum --quiet --strict -c ../SHA256SUMS)
}
expect "an entry with a changed file is built again, and the cache mended" \
    damage three 'printf "zeros" >"$entry/files/lib/libthing.a"'
expect "an entry with a file missing is built again" damage four 'rm "$entry/files/include/thing.h"'
expect "an entry with a file too many is built again" damage five 'touch "$entry/files/lib/extra.a"'
expect "an entry without its checksums is built again" damage six 'rm "$entry/SHA256SUMS"'
expect "an entry of another key under this digest is built again" damage seven 'echo "key C" >"$entry/key"'
expect "an entry without its files is built again" damage eight 'rm -rf "$entry/files"'

# A build that fails leaves neither a stamp nor an entry.
failing_build() { runs=$((runs + 1)); mkdir -p "$1"; echo half >"$1/half"; return 1; }
set +e
(set -e; provide thing "key D" "$work/nine/deps/thing" "$work/nine/deps/stamps/thing" failing_build "$work/nine/deps/thing")
status=$?
set -e
expect "a failed build fails the set-up" test "$status" != 0
expect "and leaves no stamp behind" test ! -e "$work/nine/deps/stamps/thing"
expect "and no cache entry" test ! -e "$(cache_entry thing "key D")"
expect "no half-written entry is ever left" bash -c '! ls -d "$1"/*.part.* 2>/dev/null' _ "$cache_root"

exit "$failed"
