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

# make_wild_file <kind> <path>: a 4 s source from the wild that the program
# must name with its reason, not convert, made with the native ffmpeg:
#   "init segment"     a fragmented MP4 cut after its "moov": the first file
#                      of a stream whose samples live in the files after it;
#   "dash init"        the initialisation segment of the DASH muxer, video alone;
#   "timed text"       subtitles alone: no picture, no sound;
#   "cut short"        its index first, then half of its data: a download cut off;
#   "encrypted"        video and sound under Common Encryption, as shops and
#                      streams use it; "encrypted sound": sound alone so;
#   "fairplay"         a plain clip whose video sample entry is FairPlay's
#                      "drmi", as in videos bought in Apple's store.
make_wild_file() {
    local kind=$1 out=$2 tmp
    local picture=(-f lavfi -i "testsrc=duration=4:size=320x240:rate=25")
    local tone=(-f lavfi -i "sine=frequency=440:duration=4:sample_rate=48000")
    local h264=(-c:v libx264 -pix_fmt yuv420p) aac=(-c:a aac -ac 2)
    local cenc=(-encryption_scheme cenc-aes-ctr -encryption_key 76a6c65c5ea762046bd749a2e632ccbb
                -encryption_kid a7e61c373e219033c21091fa607bf3b8)
    local ff=(ffmpeg -nostdin -y -hide_banner -loglevel error)
    tmp=$(mktemp -d)
    case "$kind" in
    "init segment")
        "${ff[@]}" "${picture[@]}" "${tone[@]}" "${h264[@]}" "${aac[@]}" -shortest \
            -movflags frag_keyframe+empty_moov -f mp4 "$tmp/frag.mp4"
        python3 - "$tmp/frag.mp4" "$out" <<'PY'
import sys
data, at = open(sys.argv[1], "rb").read(), 0
while at < len(data):
    size, kind = int.from_bytes(data[at:at + 4], "big"), data[at + 4:at + 8]
    at += size
    if kind == b"moov":
        break
open(sys.argv[2], "wb").write(data[:at])
PY
        ;;
    "dash init")
        "${ff[@]}" "${picture[@]}" "${h264[@]}" -f dash "$tmp/manifest.mpd"
        cp "$tmp/init-stream0.m4s" "$out"
        ;;
    "timed text")
        printf '1\n00:00:00,000 --> 00:00:04,000\nHello\n' >"$tmp/text.srt"
        "${ff[@]}" -i "$tmp/text.srt" -c:s mov_text -f mp4 "$out"
        ;;
    "cut short")
        "${ff[@]}" "${picture[@]}" "${tone[@]}" "${h264[@]}" "${aac[@]}" -shortest -movflags +faststart \
            -f mp4 "$tmp/whole.mp4"
        head -c $(( $(stat -c %s "$tmp/whole.mp4") / 2 )) "$tmp/whole.mp4" >"$out"
        ;;
    "encrypted")
        "${ff[@]}" "${picture[@]}" "${tone[@]}" "${h264[@]}" "${aac[@]}" -shortest "${cenc[@]}" -f mp4 "$out"
        ;;
    "encrypted sound")
        "${ff[@]}" "${tone[@]}" "${aac[@]}" "${cenc[@]}" -f mp4 "$out"
        ;;
    "fairplay")
        "${ff[@]}" "${picture[@]}" "${tone[@]}" "${h264[@]}" "${aac[@]}" -shortest -f mp4 "$out"
        python3 - "$out" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
stsd = data.find(b"stsd")
entry = data.find(b"avc1", stsd)
assert 0 < stsd < entry < stsd + 40
data[entry:entry + 4] = b"drmi"
open(sys.argv[1], "wb").write(data)
PY
        ;;
    *) echo "make_wild_file: no kind $kind" >&2; rm -rf "$tmp"; return 1 ;;
    esac
    rm -rf "$tmp"
}
