# The machine-wide cache of cross-built dependencies, sourced by tools/setup.sh
# (and its test), which sets cache_root and defines log.
#
# An entry is a copy of what one build made, named by a digest of its key
# (the source versions, the compiler and the build lines: what decides a
# rebuild), with the key and a checksum of every file beside it:
#   <cache_root>/<name>-<digest>/files/...   /key   /SHA256SUMS
# An entry whose key or checksums do not match is removed and built anew,
# never used.

cache_entry() {  # cache_entry <name> <key>
    printf '%s/%s-%s' "$cache_root" "$1" "$(printf '%s\n' "$2" | sha256sum | cut -c1-16)"
}

# cache_restore <entry> <key> <dest>: copies a sound entry to <dest>.
cache_restore() {
    [ -d "$1" ] || return 1
    if [ ! -d "$1/files" ] || [ "$(cat "$1/key" 2>/dev/null)" != "$2" ] \
        || ! (cd "$1/files" && sha256sum --quiet --strict -c ../SHA256SUMS >/dev/null 2>&1) \
        || [ "$(cd "$1/files" && find . -type f | wc -l)" != "$(wc -l <"$1/SHA256SUMS")" ]; then
        log "the machine's cache entry $1 is damaged: building it again"
        rm -rf "$1"
        return 1
    fi
    rm -rf "$3" && mkdir -p "$3" && cp -a "$1/files/." "$3/"
}

# cache_store <entry> <key> <built folder>: keeps a copy, written aside and
# then renamed into place, so that a half-written entry is never found.
cache_store() {
    [ -d "$1" ] && return 0
    { mkdir -p "$cache_root" && [ -w "$cache_root" ]; } 2>/dev/null || return 0
    local tmp="$1.part.$$"
    rm -rf "$tmp" && mkdir -p "$tmp"
    cp -a "$3" "$tmp/files"
    (cd "$tmp/files" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum) >"$tmp/SHA256SUMS"
    printf '%s\n' "$2" >"$tmp/key"
    mv -T "$tmp" "$1" 2>/dev/null || rm -rf "$tmp"
}

# provide <name> <key> <folder> <stamp> <build command...>: makes sure that
# <folder> holds what the build command makes for this key: as it is when
# its stamp holds the key, else from the machine's cache, else built (and
# then kept in the cache).
provide() {
    local name=$1 key=$2 dest=$3 stamp=$4 entry started
    shift 4
    entry=$(cache_entry "$name" "$key")
    if [ -d "$dest" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$key" ]; then
        cache_store "$entry" "$key" "$dest"
        return
    fi
    mkdir -p "$(dirname "$stamp")"
    rm -f "$stamp"
    if cache_restore "$entry" "$key" "$dest"; then
        log "$name: taken from the machine's cache"
    else
        rm -rf "$dest"
        started=$SECONDS
        "$@"
        log "$name took $((SECONDS - started)) s"
        cache_store "$entry" "$key" "$dest"
    fi
    printf '%s\n' "$key" >"$stamp"
}
