#!/usr/bin/env bash
# Converts clips with the shipped tool under Wine (through the runner, the
# worker, and whole batches driven by the progress window), then checks what
# came out with the native ffprobe. One batch is a table of the sources users
# have: each kind converts; a ".mp4" that is really a playlist or a
# concatenation list naming another local file is refused, and nothing of
# that file reaches the output folder. The tool also reads and writes
# nothing but files and pipes.
#   real_tool_test.sh <build folder> <test program> <ffmpeg.exe>
set -euo pipefail
build=$1 program=$2 tool=$3

work="$build/tests/conversion/real_tool"
seconds=60
# The batch: two short clips of their own lengths, one of them in a folder
# with blanks and brackets, into an output folder of its own.
batch_seconds=(5 8)
batch_clips=("short.mp4" "dir with blanks [2] (b)/my short [c].mp4")
batch_outputs=("short.AVI" "my short [c].AVI")
# The table of the sources users have, made by the native ffmpeg from a
# test picture and a tone of 4 s: "file name|its encoding and format
# arguments|a step after it|what ffprobe sees in it|what the converter
# makes". The steps: "rotate 90" stores a display matrix that turns the
# picture by 90 degrees (the AVI comes out upright, its width and height
# swapped); "amr-nb" and "amr-wb" put in phone sound made by GStreamer's
# AMR encoders (the native ffmpeg has none) in place of the tone; "cover
# jpeg" and "cover png" add a cover picture to a file of sound alone, as
# music shops sell them. What it makes: "<width>x<height>" for video,
# "sound" for MP3 at 44.1 kHz stereo, or "fails: <reason>": not converted,
# and the final box names it with that reason. The files from the wild that
# the program must name and not convert (an initialisation segment, timed
# text alone, a download cut short, encrypted media) are made by
# make_wild_file (tools/media.sh); what ffprobe makes of scrambled sound
# varies, so "*" checks nothing. WebM, Matroska and 3GP files
# keep a ".mp4" name, as users rename files. No Debian package here encodes
# VVC (H.266), so no VVC clip is made: the tool's list of decoders is
# checked for it instead.
table_seconds=4
table=(
    "h264 aac.mp4|-c:v libx264 -pix_fmt yuv420p -c:a aac -f mp4||h264 yuv420p, aac 1 ch|320x240 sound"
    "mpeg4 mp3.mp4|-c:v mpeg4 -c:a libmp3lame -f mp4||mpeg4 yuv420p, mp3 1 ch|320x240 sound"
    "hevc aac.mp4|-c:v libx265 -x265-params log-level=error -pix_fmt yuv420p -tag:v hvc1 -c:a aac -f mp4||hevc yuv420p, aac 1 ch|320x240 sound"
    "hevc 10-bit aac.mp4|-c:v libx265 -x265-params log-level=error -pix_fmt yuv420p10le -tag:v hvc1 -c:a aac -f mp4||hevc yuv420p10le, aac 1 ch|320x240 sound"
    "vp9 opus webm.mp4|-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -pix_fmt yuv420p -c:a libopus -f webm||vp9 yuv420p, opus 1 ch|320x240 sound"
    "av1 aac.mp4|-c:v libsvtav1 -preset 12 -pix_fmt yuv420p -c:a aac -f mp4||av1 yuv420p, aac 1 ch|320x240 sound"
    "av1 10-bit aac.mp4|-c:v libsvtav1 -preset 12 -pix_fmt yuv420p10le -c:a aac -f mp4||av1 yuv420p10le, aac 1 ch|320x240 sound"
    "av1 opus webm.mp4|-c:v libsvtav1 -preset 12 -pix_fmt yuv420p -c:a libopus -f webm||av1 yuv420p, opus 1 ch|320x240 sound"
    "av1 10-bit opus webm.mp4|-c:v libsvtav1 -preset 12 -pix_fmt yuv420p10le -c:a libopus -f webm||av1 yuv420p10le, opus 1 ch|320x240 sound"
    "rotated.mp4|-c:v libx264 -pix_fmt yuv420p -c:a aac -f mp4|rotate 90|h264 yuv420p rotated 90, aac 1 ch|240x320 sound"
    "5.1 sound.mp4|-c:v libx264 -pix_fmt yuv420p -c:a aac -ac 6 -f mp4||h264 yuv420p, aac 6 ch|320x240 sound"
    "variable rate.mp4|-c:v libx264 -pix_fmt yuv420p -vf select=not(eq(mod(n\,5)\,2)) -vsync vfr -c:a aac -f mp4||h264 yuv420p vfr, aac 1 ch|320x240 sound"
    "no sound.mp4|-c:v libx264 -pix_fmt yuv420p -an -f mp4||h264 yuv420p|320x240"
    "sound only.mp4|-vn -c:a aac -f mp4||aac 1 ch|sound"
    "mjpeg.mp4|-c:v mjpeg -c:a aac -f mp4||mjpeg yuvj444p, aac 1 ch|320x240 sound"
    "phone amr-nb 3gp.mp4|-s 176x144 -r 15 -c:v h263 -an -f 3gp|amr-nb|h263 yuv420p, amr_nb 1 ch|176x144 sound"
    "amr-wb.mp4|-c:v libx264 -pix_fmt yuv420p -an -f 3gp -brand mp42|amr-wb|h264 yuv420p, amr_wb 1 ch|320x240 sound"
    "e-ac-3.mp4|-c:v libx264 -pix_fmt yuv420p -c:a eac3 -ac 2 -f mp4||h264 yuv420p, eac3 2 ch|320x240 sound"
    "alac.mp4|-c:v libx264 -pix_fmt yuv420p -c:a alac -f mp4||h264 yuv420p, alac 1 ch|320x240 sound"
    "dts.mp4|-c:v libx264 -pix_fmt yuv420p -c:a dca -strict -2 -ac 2 -f mp4||h264 yuv420p, dts 2 ch|320x240 sound"
    "cover jpeg.mp4|-vn -c:a aac -f mp4|cover jpeg|aac 1 ch, mjpeg yuvj444p vfr|320x240 sound"
    "cover png.mp4|-vn -c:a aac -f mp4|cover png|aac 1 ch, png rgb24 vfr|320x240 sound"
    "prores.mp4|-c:v prores_ks -c:a aac -f mov||prores yuv444p12le, aac 1 ch|fails: the video format is not supported (prores)"
    "wma mkv.mp4|-c:v libx264 -pix_fmt yuv420p -c:a wmav2 -f matroska||h264 yuv420p, wmav2 1 ch|fails: the sound format is not supported (wmav2)"
    "init segment.mp4|-vn -c:a aac -f mp4|init segment|h264 ? vfr, aac 2 ch|fails: the file holds no video or sound"
    "dash init.mp4|-vn -c:a aac -f mp4|dash init|h264 ? vfr|fails: the file holds no video or sound"
    "timed text.mp4|-vn -c:a aac -f mp4|timed text|mov_text 0 ch|fails: the file holds no video or sound"
    "cut short.mp4|-vn -c:a aac -f mp4|cut short|h264 yuv420p, aac 2 ch|fails: the video is damaged or incomplete"
    "encrypted.mp4|-vn -c:a aac -f mp4|encrypted|*|fails: the file is copy-protected (encrypted)"
    "encrypted sound.mp4|-vn -c:a aac -f mp4|encrypted sound|*|fails: the file is copy-protected (encrypted)"
    "fairplay.mp4|-vn -c:a aac -f mp4|fairplay|drmi ?, aac 2 ch|fails: the file is copy-protected (encrypted)"
)
# SVT-AV1 tells only of errors.
export SVT_LOG=1
# Files that name another file beside them, which must not be read: an HLS
# playlist and an FFmpeg concatenation list, each under a ".mp4" name (a
# full FFmpeg follows them and converts the other file).
refused=("playlist hls.mp4" "playlist concat.mp4")
[ -d "$work/closed" ] && chmod 755 "$work/closed"
rm -rf "$work"
mkdir -p "$work/tool folder [1]" "$work/clips/dir with blanks [x]" "$work/out" \
         "$work/batch/dir with blanks [2] (b)" "$work/batch out [z]" \
         "$work/table" "$work/table out"
cp "$tool" "$work/tool folder [1]/nnn.exe"

source "$(dirname "$0")/../../tools/media.sh"
make_clip "$seconds" "$work/clips/clip.mp4"
cp "$work/clips/clip.mp4" "$work/clips/dir with blanks [x]/my clip (1) [b].mp4"
for i in 0 1; do make_clip "${batch_seconds[$i]}" "$work/batch/${batch_clips[$i]}"; done

# What ffprobe sees in a file: each stream's codec (or, for one it does not
# know, its tag), and for video the pixel format, a rotation and "vfr" when
# its frames do not come at one rate; for sound the channels.
describe() {
    ffprobe -v error -of json -show_entries \
        stream=codec_type,codec_name,codec_tag_string,pix_fmt,channels,r_frame_rate,avg_frame_rate:stream_side_data=rotation \
        "$1" | python3 -c '
import json, sys
parts = []
for s in json.load(sys.stdin)["streams"]:
    if s["codec_type"] == "video":
        p = [s.get("codec_name") or s.get("codec_tag_string"), s.get("pix_fmt") or "?"]
        p += ["rotated %d" % d["rotation"] for d in s.get("side_data_list", []) if "rotation" in d]
        if s.get("r_frame_rate") != s.get("avg_frame_rate"): p.append("vfr")
    else:
        p = [s.get("codec_name"), "%d ch" % s.get("channels", 0)]
    parts.append(" ".join(p))
print(", ".join(parts))'
}
status=0
table_sources="" table_failing="" table_reasons=""
for row in "${table[@]}"; do
    IFS='|' read -r name encoding step seen makes <<<"$row"
    made="$work/table/$name"
    # shellcheck disable=SC2086
    ffmpeg -nostdin -y -hide_banner -loglevel error \
        -f lavfi -i "testsrc=duration=$table_seconds:size=320x240:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$table_seconds:sample_rate=48000" \
        $encoding -shortest "$made"
    case "$step" in
    "rotate 90")
        mv "$made" "$made.part"
        ffmpeg -nostdin -y -hide_banner -loglevel error -i "$made.part" -map 0 -c copy \
            -metadata:s:v:0 rotate=90 -f mp4 "$made"
        rm "$made.part"
        ;;
    amr-nb | amr-wb)
        # GStreamer's encoders write the frames alone; the storage format's
        # magic line in front makes them a file the native ffmpeg reads.
        if [ "$step" = amr-nb ]; then
            rate=8000 frame=160 encoder=amrnbenc magic='#!AMR\n'
        else
            rate=16000 frame=320 encoder=voamrwbenc magic='#!AMR-WB\n'
        fi
        { printf "$magic"
          gst-launch-1.0 -q audiotestsrc num-buffers=$((table_seconds * rate / frame)) samplesperbuffer=$frame \
              ! "audio/x-raw,rate=$rate,channels=1" ! audioconvert ! $encoder ! fdsink fd=1; } >"$made.amr"
        mv "$made" "$made.part"
        # shellcheck disable=SC2086
        ffmpeg -nostdin -y -hide_banner -loglevel error -i "$made.part" -i "$made.amr" -map 0:v -map 1:a -c copy \
            ${encoding#*-an } "$made"
        rm "$made.part" "$made.amr"
        ;;
    "init segment" | "dash init" | "timed text" | "cut short" | "encrypted" | "encrypted sound" | "fairplay")
        make_wild_file "$step" "$made"
        ;;
    "cover jpeg" | "cover png")
        codec=mjpeg; [ "$step" = "cover png" ] && codec=png
        mv "$made" "$made.part"
        ffmpeg -nostdin -y -hide_banner -loglevel error -i "$made.part" \
            -f lavfi -i "testsrc=duration=1:size=320x240" -frames:v 1 -map 0:a -map 1:v -c:a copy -c:v $codec \
            -disposition:v:0 attached_pic -f mp4 "$made"
        rm "$made.part"
        ;;
    esac
    [ "$seen" = "*" ] || check "$name" "the source" "$seen" "$(describe "$made")"
    if [[ $makes == fails:* ]]; then
        table_failing+="${table_failing:+|}$(winpath "$made")"
        table_reasons+="${table_reasons:+|}${makes#fails: }"
    else
        table_sources+="${table_sources:+|}$(winpath "$made")"
    fi
done
# The other file: a clip of its own length, which no output may have, not
# itself a source of the batch.
secret_seconds=7
ffmpeg -nostdin -y -hide_banner -loglevel error \
    -f lavfi -i "testsrc=duration=$secret_seconds:size=320x240:rate=25" \
    -f lavfi -i "sine=frequency=880:duration=$secret_seconds:sample_rate=48000" \
    -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest -f mpegts "$work/table/secret.ts"
# The playlist names it by its Windows path (the older tool, FFmpeg 4.1,
# resolved no name relative to a Windows path, and converted this one); the
# list by its name beside it, which newer FFmpeg resolves against the list's
# own Windows path.
printf '#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:%s\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:%s.0,\n%s\n#EXT-X-ENDLIST\n' \
    "$secret_seconds" "$secret_seconds" "$(winpath "$work/table/secret.ts")" >"$work/table/${refused[0]}"
printf "ffconcat version 1.0\nfile 'secret.ts'\n" >"$work/table/${refused[1]}"
table_refused=""
for name in "${refused[@]}"; do table_refused+="${table_refused:+|}$(winpath "$work/table/$name")"; done

# Bad inputs: a text file renamed ".mp4", a zero-byte file, an MP4 cut in
# half (its index, written at its end, is gone), an MP4 without its index;
# and what the native ffmpeg says of each, with the converter's switches,
# in <case>.txt with its exit code in <case>.code. Two more of its outputs:
# an output disk that is full (/dev/full), and an output folder the tool may
# not write (ffmpeg run by another user, where the system allows it).
bad="$work/bad" said="$work/said"
mkdir -p "$bad" "$said"
make_clip 3 "$bad/whole.mp4"
for i in $(seq 100); do echo "My notes for the holiday, not a video."; done > "$bad/notes.mp4"
: > "$bad/empty.mp4"
head -c $(( $(stat -c %s "$bad/whole.mp4") / 2 )) "$bad/whole.mp4" > "$bad/truncated.mp4"
python3 - "$bad/whole.mp4" "$bad/no index.mp4" <<'PY'
import sys
data, out, at = open(sys.argv[1], "rb").read(), b"", 0
while at < len(data):  # every top-level box but "moov"
    size = int.from_bytes(data[at:at + 4], "big")
    if data[at + 4:at + 8] != b"moov":
        out += data[at:at + size]
    at += size
open(sys.argv[2], "wb").write(out)
PY
switches=(-vcodec mpeg4 -vtag divx -qscale 6 -b 320000 -acodec mp3 -ac 2 -ar 44100 -ab 128000 -f avi)
say() {  # say <case> <ffmpeg arguments...>: what the native ffmpeg prints
    local name=$1; shift
    set +e
    ffmpeg -nostdin -hide_banner "$@" > "$said/$name.txt" 2>&1
    echo $? > "$said/$name.code"
    set -e
}
for name in notes empty truncated "no index"; do
    say "$name" -i "$bad/$name.mp4" "${switches[@]}" -y "$work/out/temp_2953.avi"
done
say "disk full" -i "$bad/whole.mp4" "${switches[@]}" -y /dev/full
mkdir -p "$work/closed"
chmod 555 "$work/closed"
if runuser -u nobody -- true 2>/dev/null; then
    set +e
    runuser -u nobody -- ffmpeg -nostdin -hide_banner -f lavfi -i testsrc=duration=1 "${switches[@]}" \
        -y "$work/closed/temp_2953.avi" > "$said/denied.txt" 2>&1
    echo $? > "$said/denied.code"
    set -e
fi

export QUENDRIX_REAL_BAD="$(winpath "$bad/")"
export QUENDRIX_REAL_SAID="$(winpath "$said/")"
export QUENDRIX_REAL_TOOL_FOLDER="$(winpath "$work/tool folder [1]/")"
export QUENDRIX_REAL_CLIPS="$(winpath "$work/clips/")"
export QUENDRIX_REAL_OUT="$(winpath "$work/out/")"
export QUENDRIX_REAL_CLIP_SECONDS=$seconds
export QUENDRIX_REAL_BATCH_FIRST="$(winpath "$work/batch/${batch_clips[0]}")"
export QUENDRIX_REAL_BATCH_SECOND="$(winpath "$work/batch/${batch_clips[1]}")"
export QUENDRIX_REAL_BATCH_OUT="$(winpath "$work/batch out [z]/")"
export QUENDRIX_REAL_TABLE="$table_sources"
export QUENDRIX_REAL_TABLE_REFUSED="$table_refused"
export QUENDRIX_REAL_TABLE_FAILING="$table_failing"
export QUENDRIX_REAL_TABLE_REASONS="$table_reasons"
export QUENDRIX_REAL_TABLE_OUT="$(winpath "$work/table out/")"

# A small output volume that fills up in the middle of a file, as a USB stick
# does: a 4 MB tmpfs as drive Q: of the tests' prefix (where the system lets
# this script mount one), with a 2 s clip, a 5 min clip and another 2 s clip.
small="$work/small volume" small_clips="$work/small clips" drive="$build/wineprefix/dosdevices/q:"
small_names=("first.mp4" "long.mp4" "third.mp4")
mkdir -p "$small" "$small_clips"
if [ ! -e "$drive" ] && mount -t tmpfs -o size=4m tmpfs "$small" 2>/dev/null; then
    trap 'rm -f "$drive"; umount "$small" 2>/dev/null || true' EXIT
    mkdir -p "$build/wineprefix/dosdevices"
    ln -s "$small" "$drive"
    make_clip 2 "$small_clips/first.mp4"
    make_clip 2 "$small_clips/third.mp4"
    # Small pictures, so that it is made in seconds; its sound alone fills
    # the volume.
    ffmpeg -nostdin -y -hide_banner -loglevel error -f lavfi -i "testsrc=duration=300:size=160x120:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=300:sample_rate=48000" \
        -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -ac 2 -shortest "$small_clips/long.mp4"
    small_sources=""
    for name in "${small_names[@]}"; do small_sources+="${small_sources:+|}$(winpath "$small_clips/$name")"; done
    export QUENDRIX_REAL_SMALL_SOURCES="$small_sources"
    export QUENDRIX_REAL_SMALL_OUT='Q:\'
fi
"$build/wine-run.sh" "$program" || status=$?

# The protocols the tool knows, for input and for output: files and pipes.
protocols=$("$build/wine-run.sh" "$work/tool folder [1]/nnn.exe" -hide_banner -protocols 2>/dev/null \
    | tr -d '\r' | sed -n 's/^  *//p' | sort -u | paste -sd ' ')
check "nnn.exe -protocols" "the protocols" "file pipe" "$protocols"
# The decoders of the formats that cameras, phones and shops put into MP4
# and 3GP files: AV1 by dav1d, VVC, AMR, E-AC-3, ALAC, DTS, Motion JPEG and
# PNG among them.
decoders=$("$build/wine-run.sh" "$work/tool folder [1]/nnn.exe" -hide_banner -decoders 2>/dev/null | tr -d '\r')
wanted="aac alac amrnb amrwb dca eac3 h263 h264 hevc libdav1d mjpeg mpeg4 png vvc"
check "nnn.exe -decoders" "the decoders" "$wanted" \
    "$(awk -v wanted="$wanted" 'BEGIN { split(wanted, w, " "); for (i in w) want[w[i]] = 1 }
        ($2 in want) { print $2 }' <<<"$decoders" | sort | paste -sd ' ')"
for name in clip.AVI blanks.AVI quoted.AVI; do
    check_avi "$work/out/$name" "$seconds"
done
# The batch's folder holds its two files under their final names, and
# nothing else.
expected=$(printf '%s\n' "${batch_outputs[@]}" | sort | paste -sd '|')
actual=$(ls -1 "$work/batch out [z]" | sort | paste -sd '|')
check "batch out [z]" "the files" "$expected" "$actual"
for i in 0 1; do
    check_avi "$work/batch out [z]/${batch_outputs[$i]}" "${batch_seconds[$i]}"
done

# The small volume: both short files whole, nothing else left.
if [ -n "${QUENDRIX_REAL_SMALL_OUT:-}" ]; then
    actual=$(ls -1 "$small" | sort | paste -sd '|')
    check "small volume" "the files" "first.AVI|third.AVI" "$actual"
    for name in first third; do check_avi "$small/$name.AVI" 2; done
fi

# The table's batch: one AVI for each source that converts and nothing else
# (the program checked the box's "Not converted:" list); each AVI is what
# the program makes, as long as its source (within half a second), and none
# is as long as the other file.
expected=""
for row in "${table[@]}"; do
    [[ ${row##*|} == fails:* ]] || expected+="${expected:+|}${row%%.mp4|*}.AVI"
done
expected=$(tr '|' '\n' <<<"$expected" | sort | paste -sd '|')
actual=$(ls -1 "$work/table out" | sort | paste -sd '|')
check "table out" "the files" "$expected" "$actual"
for row in "${table[@]}"; do
    IFS='|' read -r name encoding step seen makes <<<"$row"
    [[ $makes == fails:* ]] && continue
    file="$work/table out/${name%.mp4}.AVI" avi="${name%.mp4}.AVI"
    if [ ! -s "$file" ]; then echo "FAIL $avi: missing" >&2; status=1; continue; fi
    probe() { ffprobe -v error -of default=noprint_wrappers=1:nokey=1 "$@" "$file"; }
    check "$avi" "container" "avi" "$(probe -show_entries format=format_name)"
    if [[ $makes =~ ^([0-9]+x[0-9]+) ]]; then
        check "$avi" "video codec" "mpeg4" "$(probe -select_streams v:0 -show_entries stream=codec_name)"
        tag=$(probe -select_streams v:0 -show_entries stream=codec_tag_string)
        check "$avi" "video tag text" "divx" "${tag,,}"
        check "$avi" "picture size" "${BASH_REMATCH[1]}" \
            "$(probe -select_streams v:0 -show_entries stream=width,height | paste -sd x)"
    else
        check "$avi" "video streams" "" "$(probe -select_streams v -show_entries stream=index)"
    fi
    if [[ $makes == *sound ]]; then
        check "$avi" "audio codec" "mp3" "$(probe -select_streams a:0 -show_entries stream=codec_name)"
        check "$avi" "audio channels" "2" "$(probe -select_streams a:0 -show_entries stream=channels)"
        check "$avi" "audio rate" "44100" "$(probe -select_streams a:0 -show_entries stream=sample_rate)"
    else
        check "$avi" "audio streams" "" "$(probe -select_streams a -show_entries stream=index)"
    fi
    duration=$(probe -show_entries format=duration)
    source_duration=$(ffprobe -v error -of default=noprint_wrappers=1:nokey=1 -show_entries format=duration \
        "$work/table/$name")
    check "$avi" "length within 0.5 s of the source's $source_duration s" "yes" \
        "$(awk -v a="$duration" -v b="$source_duration" 'BEGIN { d = a - b; print (d <= 0.5 && d >= -0.5) ? "yes" : a " s" }')"
    echo "$avi ($seen): avi, $makes, ${duration} s"
done
for file in "$work/table out"/*; do
    [ -f "$file" ] || continue
    duration=$(ffprobe -v error -of default=noprint_wrappers=1:nokey=1 -show_entries format=duration "$file" || true)
    if [ "${duration%%.*}" = "$secret_seconds" ]; then
        echo "FAIL ${file##*/}: has the length of the file a playlist named" >&2
        status=1
    fi
done
exit $status
