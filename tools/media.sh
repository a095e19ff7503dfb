# Shell helpers shared by the scripts that convert clips under Wine (sourced).

# tool_switches: the switches the program gives the tool, one a line, as
# conversion/mpegconverter.h has them.
tool_switches() {
    sed -n '/kToolSwitches\[\] =/,/;/p' "$(dirname "${BASH_SOURCE[0]}")/../conversion/mpegconverter.h" \
        | sed -n 's/.*"\(.*\)".*/\1/p' | tr ' ' '\n' | sed '/^$/d'
}

# time_tool <wine loader> <tool> <clip> <output> <count>: seconds that <count>
# conversions of the clip take, one after another, with the program's
# switches (the tool's console on /dev/null); exits on a failed run.
time_tool() {
    local switches start i
    mapfile -t switches < <(tool_switches)
    start=$(date +%s.%N)
    for i in $(seq "$5"); do
        rm -f "$4"
        "$1" "$2" -i "$(winpath "$3")" "${switches[@]}" "$(winpath "$4")" >/dev/null 2>&1 </dev/null \
            || { echo "FAILED: $2 on $3" >&2; exit 1; }
    done
    awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }'
}

# make_clip <seconds> <path>: an H.264/AAC clip as the sources are, made with
# the native ffmpeg.
make_clip() {
    ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc=duration=$1:size=640x360:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$1:sample_rate=48000" \
        -c:v libx264 -pix_fmt yuv420p -c:a aac -ac 2 -shortest "$2"
}

# make_av1_clip <seconds> <path>: the same clip with AV1 video, as many
# current downloads are.
make_av1_clip() {
    SVT_LOG=1 ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc=duration=$1:size=640x360:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$1:sample_rate=48000" \
        -c:v libsvtav1 -preset 12 -pix_fmt yuv420p -c:a aac -ac 2 -shortest -f mp4 "$2"
}

# winpath <unix path>: the path as Windows programs under Wine see it (the
# Unix root is drive Z:).
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# Checks of what the tool made; a failed check prints why and sets status=1
# (the caller starts with status=0 and exits with it).
check() {  # check <file> <what> <expected> <actual>
    if [ "$3" != "$4" ]; then
        echo "FAIL $1: $2 is '$4', expected '$3'" >&2
        status=1
    fi
}
check_avi() {  # check_avi <file> <clip seconds>
    local file=$1 name=${1##*/} seconds=$2
    if [ ! -s "$file" ]; then echo "FAIL $name: missing" >&2; status=1; return; fi
    probe() { ffprobe -v error -of default=noprint_wrappers=1:nokey=1 "$@" "$file"; }
    check "$name" "container" "avi" "$(probe -show_entries format=format_name)"
    check "$name" "video codec" "mpeg4" "$(probe -select_streams v:0 -show_entries stream=codec_name)"
    check "$name" "video tag" "0x78766964" "$(probe -select_streams v:0 -show_entries stream=codec_tag)"
    local tag duration
    tag=$(probe -select_streams v:0 -show_entries stream=codec_tag_string)
    check "$name" "video tag text" "divx" "${tag,,}"
    check "$name" "audio codec" "mp3" "$(probe -select_streams a:0 -show_entries stream=codec_name)"
    check "$name" "audio channels" "2" "$(probe -select_streams a:0 -show_entries stream=channels)"
    check "$name" "audio rate" "44100" "$(probe -select_streams a:0 -show_entries stream=sample_rate)"
    duration=$(probe -show_entries format=duration)
    check "$name" "whole seconds" "$seconds" "${duration%%.*}"
    echo "$name: avi, mpeg4 '$tag', mp3 2 ch 44100 Hz, ${duration} s"
}
