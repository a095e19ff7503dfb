# The machine-wide cache of cross-built dependencies, sourced by tools/setup.sh
# (and its test), which sets cache_root and defines log.
#
# An entry is a copy of what one build made, named by a digest of its key
# (the source versions, the compiler and the build lines: what decides a
# rebuild), with the key and a checksum of every file beside it:
#   <cache_root>/<name>-<digest>/files/...   /key   /SHA256SUMS
# An entry whose key or checksums do not match is removed and built anew,
# never used.
#
# A clone's folder has a stamp: the key it was made for, and beside it
# <stamp>.SHA256SUMS, the checksums of the folder as it was built (or taken
# from the cache). An entry is made from a clone's folder only when the
# folder still matches them, and its checksums are those, never ones of the
# folder as it is now: a folder changed since it was made is made again,
# never passed on to other clones.
#
# Keeping an entry may fail (a full disk, a cache of another user): the
# set-up then goes on without it.

cache_entry() {  # cache_entry <name> <key>
    printf '%s/%s-%s' "$cache_root" "$1" "$(printf '%s\n' "$2" | sha256sum | cut -c1-16)"
}

# sums_of <folder>: the checksum of every file in <folder>, as sha256sum prints them.
sums_of() {
    (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

# sums_match <folder> <checksums>: every file of <folder> has its checksum in
# the list, and the list names no other file.
sums_match() {
    local list
    [ -d "$1" ] && [ -f "$2" ] || return 1
    list=$(realpath -- "$2") || return 1
    (cd "$1" && sha256sum --quiet --strict -c "$list" >/dev/null 2>&1) \
        && [ "$(cd "$1" && find . -type f | wc -l)" = "$(wc -l <"$list")" ]
}

cache_writable() {
    { mkdir -p "$cache_root" && [ -w "$cache_root" ]; } 2>/dev/null
}

# cache_restore <entry> <key> <dest>: copies a sound entry to <dest>.
cache_restore() {
    [ -d "$1" ] || return 1
    if [ "$(cat "$1/key" 2>/dev/null)" != "$2" ] || ! sums_match "$1/files" "$1/SHA256SUMS"; then
        log "the machine's cache entry $1 is damaged: building it again"
        rm -rf "$1" 2>/dev/null
        return 1
    fi
    rm -rf "$3" && mkdir -p "$3" && cp -a "$1/files/." "$3/"
}

# cache_store <entry> <key> <folder> <checksums>: keeps a copy of <folder>,
# which was made for <key> with these checksums. The copy is written aside,
# checked against them and then renamed into place, so that a half-written
# or spoilt entry is never found. Never fails: where the cache cannot take
# it, nothing is kept.
cache_store() {
    local tmp="$1.part.$$"
    [ -d "$1" ] && return 0
    cache_writable || return 0
    if { rm -rf "$tmp" && mkdir "$tmp" \
            && cp -a "$3" "$tmp/files" && cp "$4" "$tmp/SHA256SUMS" \
            && sums_match "$tmp/files" "$tmp/SHA256SUMS" \
            && printf '%s\n' "$2" >"$tmp/key" \
            && mv -T "$tmp" "$1"; } 2>/dev/null; then
        return 0
    fi
    rm -rf "$tmp" 2>/dev/null
    # Another set-up may have put the same entry in place first.
    [ -d "$1" ] || log "could not keep $(basename "$1") in the machine's cache: going on without it"
    return 0
}

# cache_clean: removes the half-written entries of set-ups that were stopped:
# those of a process that is gone, and any older than six hours (writing
# one takes seconds; its process number may have been given out again).
cache_clean() {
    local part pid
    for part in "$cache_root"/*.part.*; do
        [ -d "$part" ] || continue
        pid=${part##*.part.}
        if ! [[ $pid =~ ^[0-9]+$ ]] || [ ! -d "/proc/$pid" ] \
            || [ -n "$(find "$part" -maxdepth 0 -mmin +360 2>/dev/null)" ]; then
            rm -rf "$part" 2>/dev/null || true
        fi
    done
}

# provide [--built-key <file>] <name> <key> <folder> <stamp> <build command...>:
# makes sure that <folder> holds what the build command makes for this key:
# as it is when its stamp holds the key, else from the machine's cache, else
# built (and then kept in the cache).
#
# The key is computed before the build, but a build may take other sources
# than the key named (a retry that fetched newer ones). With --built-key the
# build writes the key of what it made into <folder>/<file>, and that key,
# not the one computed before, names the stamp and the cache entry.
provide() {
    local key_file="" name key dest stamp entry started
    if [ "$1" = --built-key ]; then key_file=$2; shift 2; fi
    name=$1 key=$2 dest=$3 stamp=$4
    shift 4
    entry=$(cache_entry "$name" "$key")
    if [ -d "$dest" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$key" ]; then
        # Only when the cache lacks it is the folder read through.
        if [ -d "$entry" ] || ! cache_writable; then
            return 0
        fi
        if sums_match "$dest" "$stamp.SHA256SUMS"; then
            cache_store "$entry" "$key" "$dest" "$stamp.SHA256SUMS"
            return 0
        fi
        log "$name: $dest is not as it was made: making it again"
    fi
    mkdir -p "$(dirname "$stamp")"
    rm -f "$stamp" "$stamp.SHA256SUMS"
    if cache_restore "$entry" "$key" "$dest"; then
        log "$name: taken from the machine's cache"
        cp "$entry/SHA256SUMS" "$stamp.SHA256SUMS"
    else
        rm -rf "$dest"
        started=$SECONDS
        "$@"
        log "$name took $((SECONDS - started)) s"
        if [ -n "$key_file" ]; then
            key=$(cat "$dest/$key_file" 2>/dev/null) || true
            if [ -z "$key" ]; then
                log "$name: the build wrote no key into $dest/$key_file"
                return 1
            fi
            entry=$(cache_entry "$name" "$key")
        fi
        sums_of "$dest" >"$stamp.SHA256SUMS"
        cache_store "$entry" "$key" "$dest" "$stamp.SHA256SUMS"
    fi
    printf '%s\n' "$key" >"$stamp"
}
