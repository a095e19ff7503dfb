// Why a run of the tool failed, from what it printed: the cases the real
// tools cannot be made to print on this machine (the real outputs of bad
// inputs are checked by real_tool_test.sh), and the texts of the reasons.
#include <gtest/gtest.h>

#include <string>

#include "conversion/FailureReasons.h"
#include "toolkit/Files.h"
#include "toolkit/Text.h"

namespace {

constexpr char kTemp[] = "D:\\out\\temp_2953.avi";
// What the tool prints once it has opened a source and before it converts.
const std::string kOpened =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\v\\clip.mp4':\r\n"
    "  Duration: 00:00:05.00, start: 0.000000, bitrate: 194 kb/s\r\n"
    "Please use -q:a or -q:v, -qscale is ambiguous\r\n"
    "Stream mapping:\r\n"
    "  Stream #0:0 -> #0:0 (h264 (native) -> mpeg4 (native))\r\n"
    "Press [q] to stop, [?] for help\r\n"
    "Output #0, avi, to 'D:\\out\\temp_2953.avi':\r\n";
// The input's report of a source with a video and a sound stream, the given
// video line first, and the stream mapping the tool prints after it.
std::string OpenedWith(const std::string& videoStream,
                       const std::string& soundStream = "alac (alac / 0x63616C61), 44100 Hz, stereo, s16p, 1411 kb/s") {
    return "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\v\\clip.mp4':\r\n"
           "  Duration: 00:00:04.00, start: 0.000000, bitrate: 107 kb/s\r\n"
           "  Stream #0:0[0x1](und): Video: " + videoStream + "\r\n"
           "    Metadata:\r\n"
           "      handler_name    : VideoHandler\r\n"
           "  Stream #0:1[0x2](und): Audio: " + soundStream + " (default)\r\n"
           "Please use -q:a or -q:v, -qscale is ambiguous\r\n"
           "Stream mapping:\r\n"
           "  Stream #0:0 -> #0:0 (? (?) -> mpeg4 (native))\r\n"
           "  Stream #0:1 -> #0:1 (alac (native) -> mp3 (libmp3lame))\r\n";
}
const std::string kH264 = "h264 (High) (avc1 / 0x31637661), yuv420p(progressive), 320x240, 25 fps (default)";
// The input's report alone: a source the tool opened, with nothing in it to
// convert (timed text only).
const std::string kInputOnly =
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\v\\text.mp4':\r\n"
    "  Duration: 00:00:04.00, start: 0.000000, bitrate: 1 kb/s\r\n"
    "  Stream #0:0[0x1](und): Subtitle: mov_text (tx3g / 0x67337874), 0 kb/s (default)\r\n";
// The closing summary of 7.1.
const std::string kSummary =
    "[out#0/avi @ 0x5581] video:0KiB audio:0KiB subtitle:0KiB other streams:0KiB global headers:0KiB "
    "muxing overhead: unknown\r\n";
const std::string kStatus = "frame=   39 fps=0.0 q=6.0 size=     114kB time=00:00:01.56 bitrate= 596.1kbits/s speed=2.45x    \r";

TEST(FailureReasonsTest, ToolOutputsGiveTheirReasons) {
    const struct {
        const char* what;
        std::string output;
        unsigned long exitCode;
        FailureKind kind;
        std::string detail;
    } cases[] = {
        {"the output folder refused the file", kOpened + "D:\\out\\temp_2953.avi: Permission denied\r\n", 1,
         FailureKind::OutputFolderNotWritable, ""},
        {"the source cannot be opened", "C:\\v\\clip.mp4: Permission denied\r\n", 1, FailureKind::SourceUnreadable, ""},
        {"the source went away", "C:\\v\\clip.mp4: No such file or directory\r\n", 1, FailureKind::SourceMissing, ""},
        {"the older tool's word for data it does not know", "C:\\v\\clip.mp4: Unknown format\r\n", 1,
         FailureKind::NotVideo, ""},
        {"data it does not know", "[in#0 @ 0x5581] Error opening input: Invalid data found when processing input\r\n",
         1, FailureKind::NotVideo, ""},
        {"an MP4 without its index",
         "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] moov atom not found\r\n"
         "[in#0 @ 0x5581] Error opening input: Invalid data found when processing input\r\n",
         1, FailureKind::Damaged, ""},
        {"a file that only looks like an MP4",
         "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] Format mov,mp4,m4a,3gp,3g2,mj2 detected only with low score of 1, "
         "misdetection possible!\r\n[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] moov atom not found\r\n",
         1, FailureKind::NotVideo, ""},
        {"ended from outside while it converted", kOpened + kStatus, 1, FailureKind::Stopped, ""},
        {"ended from outside, reported as success", kOpened + kStatus + "[h264 @ 00d38ec0] Invalid NAL unit size\r\n",
         0, FailureKind::Stopped, ""},
        {"ended before it printed anything", "", 1, FailureKind::Stopped, ""},
        {"ended after opening the source", kOpened, 1, FailureKind::Stopped, ""},
        {"a data error ended the run",
         kOpened + kStatus + "Error while decoding stream #0:0: Invalid data found when processing input\r\n"
                             "Conversion failed!\r\n",
         1, FailureKind::Damaged, ""},
        // Anything else: the last error line, without the library's prefix,
        // and not the notes the tool prints after it.
        {"another failure",
         kOpened + "[avi @ 0000000000cf2700] Could not write header for output file #0 (incorrect codec parameters ?): "
                   "Invalid argument\r\nError initializing output stream 0:0 -- \r\n"
                   "[libmp3lame @ 0000000000cf2700] 3 frames left in the queue on closing\r\nConversion failed!\r\n",
         1, FailureKind::ToolError,
         "Could not write header for output file #0 (incorrect codec parameters ?): Invalid argument"},
        // A tool that says it succeeded, though it could not write its end.
        {"a write error with exit code 0",
         kOpened + kStatus + "Error writing trailer of D:\\out\\temp_2953.avi: Input/output error\r\n" +
             "video:171kB audio:48kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: unknown\r\n"
             "Error closing file D:\\out\\temp_2953.avi: Input/output error\r\n",
         0, FailureKind::ToolError, "Error closing file D:\\out\\temp_2953.avi: Input/output error"},
        // No decoder for the video: the format as the tool names it, or, for
        // one it does not know at all, the tag of its stream line.
        {"a video format the tool has no decoder for",
         OpenedWith("av1 (Main) (av01 / 0x31307661), yuv420p(tv, progressive), 320x240, 25 fps (default)") +
             "Decoder (codec av1) not found for input stream #0:0\r\n",
         1, FailureKind::UnsupportedVideo, "av1"},
        {"a video format the tool does not know",
         OpenedWith("none (vvc1 / 0x31637676), none(progressive), 320x240, 23 kb/s, 25 fps (default)") +
             "Decoder (codec none) not found for input stream #0:0\r\n",
         1, FailureKind::UnsupportedVideo, "vvc1"},
        {"an unknown video format without a tag",
         OpenedWith("none, none(progressive), 320x240, 25 fps (default)") +
             "Decoder (codec none) not found for input stream #0:0\r\n",
         1, FailureKind::UnsupportedVideo, ""},
        // No decoder for the sound is no video format's fault.
        {"a sound format the tool has no decoder for",
         OpenedWith(kH264) + "Decoder (codec alac) not found for input stream #0:1\r\n", 1,
         FailureKind::UnsupportedSound, "alac"},
        // FFmpeg 7.1 names the stream in the line's context instead.
        {"7.1: a video format the tool has no decoder for",
         OpenedWith("av1 (Main) (av01 / 0x31307661), yuv420p(tv, progressive), 320x240, 25 fps (default)") +
             "[vist#0:0/av1 @ 000001d0c4a2e440] Decoding requested, but no decoder found for: av1\r\n"
             "Error opening output files: Invalid argument\r\n",
         1, FailureKind::UnsupportedVideo, "av1"},
        {"7.1: a video format the tool does not know",
         OpenedWith("none (vvc1 / 0x31637676), none(progressive), 320x240, 23 kb/s, 25 fps (default)") +
             "[vist#0:0/none @ 0x5581] Decoding requested, but no decoder found for: none\r\n",
         1, FailureKind::UnsupportedVideo, "vvc1"},
        {"7.1: a sound format the tool has no decoder for",
         OpenedWith(kH264) + "[aist#0:1/alac @ 0x5581] Decoding requested, but no decoder found for: alac\r\n"
                             "Error opening output files: Invalid argument\r\n",
         1, FailureKind::UnsupportedSound, "alac"},
        // A sound decoder that will not open, and the AAC profile it names.
        {"an AAC profile the decoder does not know",
         OpenedWith(kH264, "aac (mp4a / 0x6134706D), 48000 Hz, stereo, fltp") +
             "[aac @ 0x5581] Audio object type 42 is not implemented. Update your FFmpeg version "
                             "to the newest one from Git. If the problem still occurs, it means that your file has "
                             "a feature which has not been implemented.\r\n"
                             "Error while opening decoder for input stream #0:1 : Function not implemented\r\n",
         1, FailureKind::UnsupportedSound, "aac, audio object type 42"},
        {"7.1: a sound decoder that will not open",
         OpenedWith(kH264) + "[aist#0:1/alac @ 0x5581] [dec:alac @ 0x5582] Error while opening decoder: "
                             "Function not implemented\r\n",
         1, FailureKind::UnsupportedSound, "alac"},
        // Nothing to convert: no stream, or streams without a sample (an
        // initialisation segment; a track whose samples are elsewhere).
        {"no stream at all (5.1)",
         kInputOnly + "Output file #0 does not contain any stream\r\n", 1, FailureKind::NoMedia, ""},
        {"no stream at all (7.1)",
         kInputOnly + "[out#0/avi @ 0x5581] Output file does not contain any stream\r\n"
                      "Error opening output file D:\\out\\temp_2953.avi.\r\n"
                      "Error opening output files: Invalid argument\r\n",
         1, FailureKind::NoMedia, ""},
        {"streams without a sample",
         kOpened + "[out#0/avi @ 0x5581] Output file is empty, nothing was encoded(check -ss / -t / -frames "
                   "parameters if used)\r\n" + kSummary,
         0, FailureKind::NoMedia, ""},
        {"7.1: a stream that got no sample at all",
         kOpened + "Cannot determine format of input 0:0 after EOF\r\n"
                   "[out#0/avi @ 0x5581] Nothing was written into output file, because at least one of its streams "
                   "received no packets.\r\nConversion failed!\r\n",
         1, FailureKind::NoMedia, ""},
        {"7.1: a source cut short, converted in part and reported as success",
         kOpened + "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] stream 1, offset 0x735f: partial file\r\n" + kSummary, 0,
         FailureKind::Damaged, ""},
        {"a stream whose format shows only at its end, which never came",
         kOpened + "[vf#0:0 @ 0x5581] Cannot determine format of input 0:0 after EOF\r\n"
                   "[vf#0:0 @ 0x5581] Error marking filters as finished\r\n"
                   "Conversion failed!\r\n",
         1, FailureKind::NoMedia, ""},
        // A sample table that points outside the file, or a bad time scale.
        {"samples past the end of the file",
         kOpened + "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] stream 0, offset 0x30: partial file\r\n"
                   "[vf#0:0 @ 0x5581] Cannot determine format of input 0:0 after EOF\r\n"
                   "[vf#0:0 @ 0x5581] Error marking filters as finished\r\n",
         1, FailureKind::Damaged, ""},
        {"an invalid time scale",
         "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x5581] Invalid mdhd time scale 0, defaulting to 1\r\n" + kOpened +
             "[vf#0:0 @ 0x5581] Error marking filters as finished\r\n",
         1, FailureKind::Damaged, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Failure failure = ToolFailure(c.output, c.exitCode, kTemp);
        EXPECT_EQ(failure.kind, c.kind);
        EXPECT_EQ(failure.detail, c.detail);
    }
}

// When a file fails, the output disk is asked: a disk that cannot hold what
// the tool had written plus a margin is full, whatever the tool printed last
// (under Wine a full disk reaches the tool as "Bad file descriptor").
TEST(FailureReasonsTest, TheDiskTellsWhetherItIsFull) {
    const Failure closing{FailureKind::ToolError, "Error closing file D:\\temp_2953.avi: Bad file descriptor"};
    constexpr unsigned long long kMb = 1024 * 1024;
    const struct {
        const char* what;
        Failure why;
        std::optional<unsigned long long> freeBytes;  // with the leftovers still there
        FailureKind kind;
    } cases[] = {
        {"4 KB free", closing, 4096, FailureKind::DiskFull},
        {"nothing free", closing, 0, FailureKind::DiskFull},
        {"stopped, the disk just short of the margin", {FailureKind::Stopped, {}}, kDiskFullMargin - 1,
         FailureKind::DiskFull},
        {"room enough", closing, kDiskFullMargin, FailureKind::ToolError},
        {"the disk cannot tell", closing, std::nullopt, FailureKind::ToolError},
        // A large output was deleted but its space not given back yet (held
        // open by a scanner): the free space read before the delete tells.
        {"a large disk", {FailureKind::Stopped, {}}, 500 * kMb, FailureKind::Stopped},
        // What the input was stays, whatever the disk.
        {"source missing", {FailureKind::SourceMissing, {}}, 0, FailureKind::SourceMissing},
        {"source unreadable", {FailureKind::SourceUnreadable, {}}, 0, FailureKind::SourceUnreadable},
        {"not a video", {FailureKind::NotVideo, {}}, 0, FailureKind::NotVideo},
        {"no video or sound", {FailureKind::NoMedia, {}}, 0, FailureKind::NoMedia},
        {"a video format it cannot decode", {FailureKind::UnsupportedVideo, "av1"}, 0, FailureKind::UnsupportedVideo},
        {"a sound format it cannot decode", {FailureKind::UnsupportedSound, "wmav2"}, 0, FailureKind::UnsupportedSound},
        {"a damaged file", {FailureKind::Damaged, {}}, 0, FailureKind::Damaged},
        {"the tool's own word", {FailureKind::DiskFull, {}}, 500 * kMb, FailureKind::DiskFull},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Failure checked = CheckedAgainstDisk(c.why, c.freeBytes);
        EXPECT_EQ(checked.kind, c.kind);
        if (c.kind == c.why.kind) {
            EXPECT_EQ(checked.detail, c.why.detail);
        }
    }
}

TEST(FailureReasonsTest, ReasonsInPlainWords) {
    EXPECT_EQ(ReasonText({FailureKind::NotRenamed, "[1]temp_2953.avi"}),
              L"the result could not be renamed; it is kept in the output folder as [1]temp_2953.avi");
    EXPECT_EQ(ReasonText({FailureKind::UnsupportedVideo, "vvc1"}), L"the video format is not supported (vvc1)");
    EXPECT_EQ(ReasonText({FailureKind::UnsupportedVideo, ""}), L"the video format is not supported");
    EXPECT_EQ(ReasonText({FailureKind::UnsupportedSound, "aac, audio object type 42"}),
              L"the sound format is not supported (aac, audio object type 42)");
    EXPECT_EQ(ReasonText({FailureKind::NotFlushed, "temp_2953.avi"}),
              L"the result could not be written to the disk; it is kept in the output folder as temp_2953.avi");
    EXPECT_EQ(ReasonText({FailureKind::ToolError, "Unknown encoder 'mp3'"}),
              L"the converter reported: Unknown encoder 'mp3'");
    // A long line is cut at its end.
    const std::wstring cut = ReasonText({FailureKind::ToolError, std::string(200, 'x')});
    EXPECT_EQ(cut, L"the converter reported: " + std::wstring(kToolLineChars - 3, L'x') + L"...");
    // Every kind has its words.
    for (int kind = 0; kind <= static_cast<int>(FailureKind::ToolError); ++kind)
        EXPECT_FALSE(ReasonText({static_cast<FailureKind>(kind), "x"}).empty()) << kind;
}

// The help page lists every reason, word for word (a kept file's name and a
// converter's line are shown there by example).
TEST(FailureReasonsTest, TheHelpPageExplainsEveryReason) {
    const auto page = tk::ReadWholeFile(QUENDRIX_HELP_PAGE);
    ASSERT_TRUE(page) << QUENDRIX_HELP_PAGE;
    for (int kind = 0; kind <= static_cast<int>(FailureKind::ToolError); ++kind) {
        std::string text = tk::Narrow(ReasonText({static_cast<FailureKind>(kind), ""}));
        if (static_cast<FailureKind>(kind) == FailureKind::NotRenamed ||
            static_cast<FailureKind>(kind) == FailureKind::NotFlushed)
            text += "<code>temp_2953.avi</code>";
        if (static_cast<FailureKind>(kind) == FailureKind::ToolError) text += "&hellip;";
        EXPECT_NE(page->find("<td>" + text + "</td>"), std::string::npos) << text;
    }
}

}  // namespace
