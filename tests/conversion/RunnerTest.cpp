// The converter process runner, driven with the scripted stand-in tool.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/mpegconverter.h"
#include "support/HandleCount.h"
#include "support/TestSupport.h"
#include "tests/conversion/ToolStandIn.h"

namespace {

using conversion_test::kSummaryLine;
using conversion_test::Now;
using conversion_test::StandInTool;
using conversion_test::StatusLine;
using testing_support::HandleCount;
using testing_support::ReadBytes;

class RunnerTest : public ::testing::Test {
protected:
    std::string CommandFor(const std::string& script) const {
        return ToolCommandLine(tool_.Folder(), script, tool_.Scratch() + "temp_2953.avi");
    }
    void Run(const std::vector<std::string>& lines) { runner_.RunTool(CommandFor(tool_.Script("job.mp4", lines))); }
    // Polls as the progress window does until the runner has seen the tool end.
    bool WaitForEnd(int timeoutMs = 15000) {
        const DWORD end = Now() + timeoutMs;
        while (!runner_.Finished() && Now() < end) {
            runner_.PollOutput();
            ::Sleep(50);
        }
        return runner_.Finished();
    }

    StandInTool tool_;
    Tmpegconverter runner_;
};

TEST_F(RunnerTest, StartupWaitEndsAtEachMarkerOrWhenTheToolEnds) {
    struct Case {
        const char* what;
        std::vector<std::string> script;
        bool toolEnded;  // when ReadOutput returns
        int duration;
        DWORD exitCode;
    };
    const Case cases[] = {
        {"duration line",
         {"out ffmpeg version 4.1\\r\\n", "sleep 300",
          "err Input #0, from 'x':\\r\\n  Duration: 00:00:05.00, start: 0.000000, bitrate: 1 kb/s\\r\\n", "sleep 1500"},
         false, 5, 0},
        {"duration line in pieces",
         {"err Input #0, from 'x':\\r\\n  Duration: ", "sleep 400", "err 00:00:05.00", "sleep 300",
          "err , start: 0.000000\\r\\n", "sleep 1500"},
         false, 5, 0},
        {"unknown duration", {"err   Duration: N/A, start: 0.000000, bitrate: N/A\\r\\n", "sleep 1500"}, false, 0, 0},
        {"older tool: not media", {"err X.MP4: Unknown format\\n", "sleep 1500", "exit 1"}, false, 0, 1},
        {"current tool: not media",
         {"err X.MP4: Invalid data found when processing input\\r\\n", "sleep 1500", "exit 1"}, false, 0, 1},
        {"ends without a marker", {"out something else\\r\\n", "sleep 300", "exit 3"}, true, 0, 3},
        {"never prints", {"sleep 800"}, true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Run(c.script);
        EXPECT_FALSE(runner_.Finished());
        runner_.ReadOutput();
        EXPECT_EQ(runner_.Finished(), c.toolEnded);
        if (!c.toolEnded) {
            EXPECT_TRUE(HasStartupMarker(runner_.Output())) << runner_.Output();
        }
        EXPECT_EQ(runner_.TimeToSeconds(runner_.GetDuration()), c.duration) << runner_.Output();
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(runner_.ExitCode(), c.exitCode);
    }
}

TEST_F(RunnerTest, BothStreamsArriveWithNulBytesAsSpaces) {
    Run({"out a\\0b|", "err c\\0\\0d|", "exit 0"});
    ASSERT_TRUE(WaitForEnd());
    const std::string output = runner_.Output();
    EXPECT_NE(output.find("a b|"), std::string::npos) << output;
    EXPECT_NE(output.find("c  d|"), std::string::npos) << output;
    EXPECT_EQ(output.find('\0'), std::string::npos);
}

TEST_F(RunnerTest, PositionFollowsTheToolUpToItsLastStatusLine) {
    std::vector<std::string> script = {"err   Duration: 00:00:06.00, start: 0.000000\\r\\n"};
    for (const char* time : {"00:00:01.00", "00:00:02.00", "00:00:03.00", "00:00:04.00", "00:00:05.00"}) {
        script.push_back(StatusLine(time));
        script.push_back("sleep 250");
    }
    // The final status line and the closing summary come right before the
    // end: the drain that notices the end still takes them.
    script.push_back(StatusLine("00:00:06.00", "    \\r\\n"));
    script.push_back(kSummaryLine);
    script.push_back("exit 0");
    Run(script);
    runner_.ReadOutput();
    std::vector<int> seen;
    const DWORD end = Now() + 15000;
    while (!runner_.Finished() && Now() < end) {
        runner_.PollOutput();
        seen.push_back(runner_.GetTime());
        ::Sleep(100);
    }
    ASSERT_TRUE(runner_.Finished());
    EXPECT_EQ(runner_.GetTime(), 6) << runner_.Output();
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]) << "at poll " << i;
    int between = 0;
    for (const int time : seen) between += time > 0 && time < 6;
    EXPECT_GE(between, 2) << "positions seen while the tool ran";
}

TEST_F(RunnerTest, NothingIsReadOnceTheEndHasBeenSeen) {
    // The tool leaves a process behind that holds the pipe and prints later.
    const std::string late = tool_.Script("late.txt", {"sleep 1000", "out late text\\r\\n"});
    Run({"err   Duration: 00:00:01.00, start: 0\\r\\n", "spawn " + late, "exit 0"});
    ASSERT_TRUE(WaitForEnd());
    const std::string atEnd = runner_.Output();
    ::Sleep(1500);
    runner_.PollOutput();
    runner_.ReadOutput();
    EXPECT_EQ(runner_.Output(), atEnd);
    EXPECT_EQ(runner_.Output().find("late text"), std::string::npos);
    EXPECT_TRUE(runner_.Finished());
}

TEST_F(RunnerTest, SecondRunStartsEmpty) {
    Run({"err first run\\r\\n  Duration: 00:00:10.00, start: 0\\r\\n", "err time=00:00:09.00 bitrate=1\\r\\n"});
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(runner_.GetTime(), 9);

    Run({"sleep 500", "err   Duration: 00:00:20.00, start: 0\\r\\n", "sleep 1000"});
    EXPECT_FALSE(runner_.Finished());
    EXPECT_EQ(runner_.Output(), "");
    EXPECT_EQ(runner_.GetDuration(), "00:00:00");
    EXPECT_EQ(runner_.GetTime(), 0);
    runner_.ReadOutput();
    EXPECT_FALSE(runner_.Finished());
    EXPECT_EQ(runner_.TimeToSeconds(runner_.GetDuration()), 20);
    EXPECT_EQ(runner_.Output().find("first run"), std::string::npos);
    ASSERT_TRUE(WaitForEnd());
}

TEST_F(RunnerTest, EveryRunReleasesItsHandles) {
    const std::string script = tool_.Script("quick.mp4", {"err   Duration: 00:00:01.00, start: 0\\r\\n", "exit 0"});
    auto runOnce = [&] {
        runner_.RunTool(CommandFor(script));
        runner_.ReadOutput();
        ASSERT_TRUE(WaitForEnd());
    };
    for (int i = 0; i < 3; ++i) runOnce();  // whatever the system makes once
    const DWORD before = HandleCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 50; ++i) runOnce();
    EXPECT_LE(HandleCount(), before);
}

TEST_F(RunnerTest, ToolThatCannotStartGivesTheFatalMessage) {
    const DWORD before = HandleCount();
    try {
        runner_.RunTool(QuoteArgument(tool_.Scratch() + "no such tool.exe") + " -i x.mp4");
        FAIL() << "the tool started";
    } catch (const ToolStartFailure& failure) {
        EXPECT_STREQ(failure.what(), "CreateProcess error!");
    }
    EXPECT_TRUE(runner_.Finished());
    runner_.ReadOutput();  // returns at once: nothing runs
    EXPECT_LE(HandleCount(), before);
}

// A start that fails now and then (Wine, a scanner holding the fresh tool)
// is tried again after a short pause; only a tool that still cannot be
// started after three tries within about a second is a failure.
TEST_F(RunnerTest, AStartThatFailsIsTriedAgain) {
    const struct {
        int failures;  // starts that fail before one succeeds
        bool started;
        int tries;
    } cases[] = {{0, true, 1}, {1, true, 2}, {2, true, 3}, {3, false, 3}, {10, false, 3}};
    const std::string script = tool_.Script("job.mp4", {"err   Duration: 00:00:02.00, start: 0\\r\\n", "exit 0"});
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.failures << " failing starts");
        int tries = 0;
        runner_.SetProcessStartForTesting(
            [&](std::string& line, DWORD flags, STARTUPINFOA& startup, PROCESS_INFORMATION& started) {
                if (++tries <= c.failures) {
                    ::SetLastError(ERROR_ACCESS_DENIED);
                    return false;
                }
                return ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                        &startup, &started) != FALSE;
            });
        const DWORD before = HandleCount();
        const DWORD start = Now();
        bool threw = false;
        try {
            runner_.RunTool(CommandFor(script));
        } catch (const ToolStartFailure& failure) {
            threw = true;
            EXPECT_STREQ(failure.what(), "CreateProcess error!");
        }
        const DWORD took = Now() - start;
        EXPECT_EQ(threw, !c.started);
        EXPECT_EQ(tries, c.tries);
        EXPECT_LT(took, 1500u) << "three tries within about a second";
        if (c.failures >= 2) {
            EXPECT_GE(took, 800u) << "with pauses between the tries";
        }
        if (c.started) {
            runner_.ReadOutput();
            EXPECT_EQ(runner_.TimeToSeconds(runner_.GetDuration()), 2) << runner_.Output();
            ASSERT_TRUE(WaitForEnd());
            EXPECT_EQ(runner_.ExitCode(), 0u);
        } else {
            EXPECT_TRUE(runner_.Finished());
            EXPECT_LE(HandleCount(), before) << "a start given up holds nothing";
        }
    }
}

// A program that runs inside a job lets the tool out of it where that job
// allows, so that the tool can join the program's own job.
TEST(ToolCreationFlags, BreakAwayWhereTheOuterJobAllows) {
    const struct {
        bool inJob;
        DWORD limits;
        DWORD expected;
    } cases[] = {
        {false, 0, CREATE_SUSPENDED},
        {false, JOB_OBJECT_LIMIT_BREAKAWAY_OK, CREATE_SUSPENDED},
        {true, 0, CREATE_SUSPENDED},  // no way out: a plain start
        {true, JOB_OBJECT_LIMIT_BREAKAWAY_OK, CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB},
        {true, JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE,
         CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB},
        // Out without asking.
        {true, JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK, CREATE_SUSPENDED},
        {true, JOB_OBJECT_LIMIT_BREAKAWAY_OK | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK, CREATE_SUSPENDED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToolCreationFlags(c.inJob, c.limits), c.expected) << c.inJob << " " << std::hex << c.limits;
}

// A start out of the program's job that the system refuses after all is
// made again at once as a plain one.
TEST(ToolCreationFlags, ARefusedBreakAwayFallsBackToThePlainStart) {
    const DWORD out = CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB, plain = CREATE_SUSPENDED;
    const struct {
        const char* what;
        DWORD flags;
        bool refusesBreakaway, failsAll, started;
        std::vector<DWORD> tried;
    } cases[] = {
        {"out of the job", out, false, false, true, {out}},
        {"refused: plain", out, true, false, true, {out, plain}},
        {"neither starts", out, true, true, false, {out, plain}},
        {"plain from the start", plain, false, false, true, {plain}},
        {"plain fails: no second start", plain, false, true, false, {plain}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<DWORD> tried;
        const bool started = StartOnce(c.flags, [&](DWORD flags) {
            tried.push_back(flags);
            if (c.failsAll) return false;
            return !(c.refusesBreakaway && (flags & CREATE_BREAKAWAY_FROM_JOB));
        });
        EXPECT_EQ(started, c.started);
        EXPECT_EQ(tried, c.tried);
    }
}

TEST_F(RunnerTest, PathsWithBlanksAndQuotesReachTheToolAsGiven) {
    const std::string clips = tool_.Scratch() + "clips [2] (b)\\";
    ASSERT_TRUE(::CreateDirectoryA(clips.c_str(), nullptr));
    const std::string log = tool_.Scratch() + "args.txt";
    const std::string source = clips + "my clip (1).mp4";
    testing_support::WriteBytes(source, "args " + log + "\n");
    const std::string output = tool_.Scratch() + "out dir\\te\"mp 2953.avi";
    runner_.RunTool(ToolCommandLine(tool_.Folder(), source, output));
    ASSERT_TRUE(WaitForEnd());

    std::vector<std::string> lines;
    const std::string text = ReadBytes(log);
    for (size_t at = 0, next; (next = text.find('\n', at)) != std::string::npos; at = next + 1)
        lines.push_back(text.substr(at, next - at));
    ASSERT_EQ(lines.size(), 24u) << text;  // the raw command line, then 23 arguments
    EXPECT_EQ(lines[1], tool_.Folder() + "nnn.exe");
    EXPECT_EQ(lines[2], "-i");
    EXPECT_EQ(lines[3], source);
    EXPECT_EQ(lines[22], "-y");
    EXPECT_EQ(lines[23], output);
}

TEST_F(RunnerTest, ToolFindsNoKeysOnItsStandardInput) {
    // The tool looks at its standard input for key commands ("q" stops it)
    // while its own output waits unread in the pipe.
    Run({"out output waiting in the pipe\\r\\n", "peekin", "exit 0"});
    ::Sleep(1000);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_NE(runner_.Output().find("stdin reads nothing"), std::string::npos) << runner_.Output();
}

TEST_F(RunnerTest, ToolRunsBelowNormalPriority) {
    // It takes every core; the program's windows must still get their turn.
    Run({"priority", "exit 0"});
    ASSERT_TRUE(WaitForEnd());
    EXPECT_NE(runner_.Output().find("priority class 16384"), std::string::npos) << runner_.Output();
}

}  // namespace
