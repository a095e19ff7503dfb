# Shell helpers shared by the scripts that convert clips under Wine (sourced).

# make_clip <seconds> <path>: an H.264/AAC clip as the sources are, made with
# the native ffmpeg.
make_clip() {
    ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc=duration=$1:size=640x360:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$1:sample_rate=48000" \
        -c:v libx264 -pix_fmt yuv420p -c:a aac -ac 2 -shortest "$2"
}

# winpath <unix path>: the path as Windows programs under Wine see it (the
# Unix root is drive Z:).
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }
