// Reading the converter tool's console text (both generations of the tool),
// the per-file percentage, and the quoting of the tool's command line.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "conversion/Unit2.h"
#include "conversion/mpegconverter.h"

namespace {

// What the tools print before their first status line, as the current tool
// prints it under Windows (CR LF line ends).
const std::string kHeader =
    "ffmpeg version 4.1 Copyright (c) 2000-2018 the FFmpeg developers\r\n"
    "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'C:\\VIDEOS\\TRIP~1.MP4':\r\n"
    "  Metadata:\r\n"
    "    major_brand     : isom\r\n"
    "    title           : Duration: 99:00:00, a title\r\n"
    "  Duration: 00:01:23.20, start: 0.000000, bitrate: 437 kb/s\r\n"
    "    Stream #0:0(und): Video: h264 (High) (avc1 / 0x31637661), yuv420p, 640x360, 25 fps\r\n"
    "Press [q] to stop, [?] for help\r\n";

// A status line of the older tool ("time=%0.1f").
std::string OldStatus(const std::string& time) {
    return "frame= 2080 fps= 25 q=6.0 size=    4062kB time=" + time + " bitrate= 400.1kbits/s    \r";
}
// A status line of the current tool.
std::string NewStatus(const std::string& time) {
    return "frame= 2080 fps= 62 q=6.0 size=    4062kB time=" + time + " bitrate= 400.1kbits/s speed=2.48x    \r";
}
const std::string kNewFinalStatus =
    "frame=   75 fps=0.0 q=6.0 Lsize=     150kB time=00:00:03.03 bitrate= 405.2kbits/s speed=23.6x    \r\n";
const std::string kNewSummary =
    "video:81kB audio:48kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 11.094142%\r\n";
const std::string kOldSummary = "video:4030kB audio:1300kB global headers:0kB muxing overhead 0.512000%\n";

struct PositionCase {
    const char* what;
    std::string output;
    int seconds;
};

TEST(ToolOutput, PositionIsTheLastWholeSecondTheToolPrinted) {
    const PositionCase cases[] = {
        {"older tool", kHeader + OldStatus("83.2"), 83},
        {"older tool, tenths dropped", kHeader + OldStatus("59.9"), 59},
        {"current tool", kHeader + NewStatus("00:01:23.20"), 83},
        {"current tool, hours", kHeader + NewStatus("01:02:03.40"), 3723},
        {"current tool, tenths dropped", kHeader + NewStatus("00:00:59.99"), 59},
        {"current tool, final status line", kHeader + kNewFinalStatus, 3},
        {"no status line yet", kHeader, 0},
        {"nothing printed yet", "", 0},
        {"later status lines count", kHeader + NewStatus("00:00:01.00") + NewStatus("00:00:02.50"), 2},
        {"closing summary after the last status line (current tool)",
         kHeader + NewStatus("00:00:02.00") + kNewFinalStatus + kNewSummary, 3},
        {"closing summary after the last status line (older tool)",
         kHeader + OldStatus("82.8") + OldStatus("83.2") + kOldSummary, 83},
        {"short output is searched whole", "time=5.0 ", 5},
        {"cut inside the clock: the position before counts",
         kHeader + NewStatus("00:00:02.00") + "frame=   80 fps= 20 q=6.0 size=  5kB time=00:00:0", 2},
        {"cut inside the number (older tool)", kHeader + OldStatus("7.5") + "frame=  250 q=6.0 size= 12kB time=8", 7},
        {"cut right after the field name", kHeader + NewStatus("00:00:04.00") + "frame=  1 size=  5kB time=", 4},
        {"cut in the tenths: the whole seconds are complete",
         kHeader + NewStatus("00:00:02.00") + "frame= 1 size= 5kB time=00:00:05.", 5},
        {"cut in the tenths (older tool)", kHeader + OldStatus("2.0") + "frame= 1 size= 5kB time=83.", 83},
        {"only a cut status line", kHeader + "frame=    1 fps=0.0 q=0.0 size=  0kB time=00:0", 0},
        {"position not known yet", kHeader + "frame=    0 fps=0.0 q=0.0 size=  0kB time=N/A bitrate=N/A speed=N/A    \r",
         0},
        {"negative position", kHeader + NewStatus("-00:00:00.04"), 0},
        {"a word ending in time= is not the field", kHeader + "    runtime=7.5 \r\n", 0},
    };
    for (const auto& c : cases) {
        const std::string text = TimeText(c.output);
        EXPECT_EQ(PositionSeconds(text), c.seconds) << c.what << ": time text \"" << text << "\"";
    }
}

struct DurationCase {
    const char* what;
    std::string output;
    std::string text;
    int seconds;
};

TEST(ToolOutput, DurationIsTheFirstDurationLine) {
    const DurationCase cases[] = {
        {"older tool, tenths", "  Duration: 01:02:03.4, start: 0.000000, bitrate: 64 kb/s\n", "01:02:03", 3723},
        {"current tool", kHeader, "00:01:23", 83},
        {"the first of two counts", "  Duration: 00:00:10.00, start: 0\r\n  Duration: 00:00:20.00, start: 0\r\n",
         "00:00:10", 10},
        {"unknown duration", "Input #0, avi, from 'x':\r\n  Duration: N/A, start: 0.000000, bitrate: N/A\r\n", "N/A", 0},
        {"no duration line", "x.mp4: Invalid data found when processing input\r\n", "00:00:00", 0},
        {"nothing printed", "", "00:00:00", 0},
        {"cut inside the value", "Input #0:\r\n  Duration: 00:0", "00:0", 0},
        {"marker without its value yet", "Input #0:\r\n  Duration: ", "", 0},
        {"not a clock", "  Duration: ab:cd:ef.00, start: 0\r\n", "ab:cd:ef", 0},
        {"a title holding the marker does not count",
         "    title           : Duration: 99:00:00, x\r\n  Duration: 00:00:05.00, start: 0\r\n", "00:00:05", 5},
        {"at the very start of the output", "  Duration: 00:00:01.00, start: 0\n", "00:00:01", 1},
        {"a hundred hours and more", "  Duration: 100:00:01.00, start: 0\n", "100:00:01", 360001},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DurationText(c.output), c.text) << c.what;
        EXPECT_EQ(ClockSeconds(DurationText(c.output)), c.seconds) << c.what;
    }
}

TEST(ToolOutput, ClockSecondsTakesHoursMinutesSecondsOnly) {
    const std::pair<const char*, int> cases[] = {
        {"01:02:03", 3723}, {"00:00:00", 0}, {"00:59:59", 3599}, {"N/A", 0},     {"", 0},
        {"1:02:03", 0},     {"00:60:00", 0}, {"00:00:60", 0},    {"00:00:0", 0}, {"00:00:00x", 0},
        {" 01:02:03", 0},   {"-1:02:03", 0}, {"01-02-03", 0},    {"01:02", 0},   {"00:00:03.03", 0},
    };
    for (const auto& [text, seconds] : cases) EXPECT_EQ(ClockSeconds(text), seconds) << '"' << text << '"';
}

TEST(ToolOutput, StartupMarkerNeedsACompleteDurationOrTheNotMediaMessage) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},
        {"ffmpeg version 4.1\r\nInput #0, mov,mp4,m4a,3gp,3g2,mj2, from 'x.mp4':\r\n", false},
        {"Input #0:\r\n  Duration: ", false},
        {"Input #0:\r\n  Duration: 00:00:03.03", false},
        {"Input #0:\r\n  Duration: 00:00:03.03, start: 0.000000", true},
        {"Input #0:\r\n  Duration: N/A, start: 0.000000", true},
        {"  Duration: 00:00:03.0\n", true},
        {"    title           : Duration: 1, x\r\n", false},
        {"C:\\CLIPS\\NOTES~1.MP4: Unknown format\n", true},
        {"C:\\CLIPS\\NOTES~1.MP4: Invalid data found when processing input\r\n", true},
    };
    for (const auto& [output, marker] : cases) EXPECT_EQ(HasStartupMarker(output), marker) << output;
}

TEST(ToolOutput, NulBytesBecomeSpaces) {
    std::string bytes("a\0b\0\0c", 6);
    ReplaceNuls(bytes);
    EXPECT_EQ(bytes, "a b  c");
}

TEST(Percent, TruncatedShareOfTheDuration) {
    struct {
        int position, duration, percent;
    } const cases[] = {
        {83, 3723, 2}, {3723, 3723, 100}, {3724, 3723, 100}, {3760, 3723, 100}, {3761, 3723, 101},
        {0, 3723, 0},  {50, 0, 0},        {0, 0, 0},         {29, 100, 29},     {1, 3, 33},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PercentOf(c.position, c.duration), c.percent) << c.position << " of " << c.duration;
}

// The arguments the tool's runtime reads from a command line.
std::vector<std::string> SplitAsTheToolDoes(const std::string& commandLine) {
    const std::wstring wide(commandLine.begin(), commandLine.end());  // ASCII in these tests
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        const std::wstring one = split[i];
        arguments.emplace_back(one.begin(), one.end());
    }
    ::LocalFree(split);
    return arguments;
}

TEST(CommandLine, ShortPathsGoInUnchanged) {
    EXPECT_EQ(ToolCommandLine("C:\\WINDOWS\\QUENDR~1\\", "C:\\VIDEOS\\TRIP~1.MP4", "D:\\temp_2953.avi"),
              "C:\\WINDOWS\\QUENDR~1\\nnn.exe -i C:\\VIDEOS\\TRIP~1.MP4 -vcodec mpeg4 -vtag divx -qscale 6 "
              "-b 320000 -acodec mp3 -ac 2 -ar 44100 -ab 128000 -f avi -y D:\\temp_2953.avi");
}

TEST(CommandLine, EveryPathReachesTheToolAsOneArgument) {
    const std::pair<std::string, std::string> quoting[] = {
        {"C:\\VIDEOS\\TRIP~1.MP4", "C:\\VIDEOS\\TRIP~1.MP4"},
        {"C:\\My Videos\\trip.mp4", "\"C:\\My Videos\\trip.mp4\""},
        {"", "\"\""},
        {"a\"b", "\"a\\\"b\""},
        {"C:\\with blank\\", "\"C:\\with blank\\\\\""},
        {"x\\\"y z", "\"x\\\\\\\"y z\""},
        {"tab\there", "\"tab\there\""},
        {"\\\\srv\\my share\\temp_2953.avi", "\"\\\\srv\\my share\\temp_2953.avi\""},
    };
    for (const auto& [argument, quoted] : quoting) {
        EXPECT_EQ(QuoteArgument(argument), quoted) << argument;
        const auto split = SplitAsTheToolDoes("nnn.exe " + QuoteArgument(argument));
        ASSERT_EQ(split.size(), 2u) << argument;
        EXPECT_EQ(split[1], argument);
    }

    // A crafted source name that would otherwise add switches and a second
    // output file.
    const std::string tool = "C:\\Program Files\\Tool [1]\\";
    const std::string source = "C:\\clips\\x.mp4 -y -f avi C:\\Windows\\evil.avi \"";
    const std::string output = "\\\\srv\\my share\\temp_2953.avi";
    const auto split = SplitAsTheToolDoes(ToolCommandLine(tool, source, output));
    const std::vector<std::string> expected = {
        tool + "nnn.exe", "-i", source, "-vcodec", "mpeg4", "-vtag", "divx", "-qscale", "6", "-b", "320000",
        "-acodec", "mp3", "-ac", "2", "-ar", "44100", "-ab", "128000", "-f", "avi", "-y", output};
    EXPECT_EQ(split, expected);
}

}  // namespace
