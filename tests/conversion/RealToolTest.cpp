// Conversion with the shipped tool (FFmpeg 5.1 with LAME and dav1d, built
// for Windows by tools/build_converter.sh) under Wine.
// Started by real_tool_test.sh, which makes the clips with the native ffmpeg,
// names the folders in the environment, and afterwards checks the AVI files
// left in the output folders with ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/BatchNames.h"
#include "conversion/FailureReasons.h"
#include "conversion/Unit2.h"
#include "support/BatchDriver.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"
#include "toolkit/Text.h"

namespace {

using testing_support::ErrorRecorder;
using testing_support::Exists;
using testing_support::FolderEntries;
using testing_support::FlushEvents;
using testing_support::MessageBoxAnswerer;
using testing_support::ScratchFolder;
using testing_support::ShellRecorder;
using testing_support::WaitFor;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

class RealToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        toolFolder_ = Environment("QUENDRIX_REAL_TOOL_FOLDER");
        clips_ = Environment("QUENDRIX_REAL_CLIPS");
        out_ = Environment("QUENDRIX_REAL_OUT");
        seconds_ = std::atoi(Environment("QUENDRIX_REAL_CLIP_SECONDS").c_str());
        if (toolFolder_.empty() || clips_.empty() || out_.empty() || seconds_ <= 0)
            GTEST_SKIP() << "run by real_tool_test.sh";
        ASSERT_TRUE(Exists(toolFolder_ + "nnn.exe")) << toolFolder_;
    }

    // Runs the shipped tool on a source to its end; its output and exit code.
    std::pair<std::string, DWORD> RunToEnd(const std::string& source, const std::string& output) {
        Tmpegconverter runner;
        runner.RunTool(ToolCommandLine(toolFolder_, tk::ShortPathName(source), output));
        runner.ReadOutput();
        const DWORD end = ::GetTickCount() + 120000;
        while (!runner.Finished() && ::GetTickCount() < end) {
            ::Sleep(100);
            runner.PollOutput();
        }
        EXPECT_TRUE(runner.Finished()) << source;
        return {runner.Output(), runner.ExitCode()};
    }

    std::string toolFolder_, clips_, out_;
    int seconds_ = 0;
};

// The final box as the program words it on this screen for these files and
// reasons: the paths lie in the checkout, and a long one loses the middle of
// its folders, so the text depends on where the tests run.
std::string DoneBox(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<NotConvertedFile> notConverted;
    for (const auto& [path, reason] : files) notConverted.push_back({tk::Widen(path), tk::Widen(reason)});
    return tk::Narrow(DoneMessage(notConverted, MessageLineBudget()));
}

// The bad inputs real_tool_test.sh makes, and the reason each gives.
struct BadInput {
    const char* name;
    FailureKind kind;
};
const BadInput kBadInputs[] = {
    {"notes", FailureKind::NotVideo},          // a text file renamed
    {"empty", FailureKind::NotVideo},          // zero bytes (the batch itself never runs the tool on one)
    {"truncated", FailureKind::Damaged},       // its index was at its end
    {"no index", FailureKind::Damaged},        // an MP4 without its "moov"
};

// What the native ffmpeg printed for each bad input, for a full output disk
// and for an output folder it may not write (when the script could run it so).
TEST_F(RealToolTest, NativeToolOutputsGiveTheirReasons) {
    const std::string said = Environment("QUENDRIX_REAL_SAID");
    ASSERT_FALSE(said.empty()) << "named by real_tool_test.sh";
    std::vector<BadInput> cases(std::begin(kBadInputs), std::end(kBadInputs));
    cases.push_back({"disk full", FailureKind::DiskFull});
    cases.push_back({"denied", FailureKind::OutputFolderNotWritable});
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.name);
        const auto output = tk::ReadWholeFile(said + c.name + ".txt");
        const auto code = tk::ReadWholeFile(said + c.name + ".code");
        if (!output && std::string(c.name) == "denied") {
            std::printf("no output of ffmpeg run by another user: not checked\n");
            continue;
        }
        ASSERT_TRUE(output && code);
        // A tool that could not write its end may still report success (the
        // native one does, now and then, on a full disk).
        if (c.kind != FailureKind::DiskFull) {
            EXPECT_NE(std::atoi(code->c_str()), 0) << *output;
        }
        const Failure failure = ToolFailure(*output, std::strtoul(code->c_str(), nullptr, 10), "temp_2953.avi");
        EXPECT_EQ(failure.kind, c.kind) << *output;
        EXPECT_EQ(failure.detail, "");
    }
}

// The same bad inputs with the shipped tool, and an output disk that is full.
TEST_F(RealToolTest, ShippedToolOutputsGiveTheirReasons) {
    const std::string bad = Environment("QUENDRIX_REAL_BAD");
    ASSERT_FALSE(bad.empty()) << "named by real_tool_test.sh";
    for (const BadInput& c : kBadInputs) {
        SCOPED_TRACE(c.name);
        const std::string temp = out_ + "temp_2953.avi";
        const auto [output, code] = RunToEnd(bad + c.name + ".mp4", temp);
        EXPECT_NE(code, 0u) << output;
        const Failure failure = ToolFailure(output, code, temp);
        EXPECT_EQ(failure.kind, c.kind) << output;
        ::DeleteFileA(temp.c_str());
    }
    // The exit code of a full disk is not telling: FFmpeg 5.1 may end with 0.
    const auto [output, code] = RunToEnd(bad + "whole.mp4", "Z:\\dev\\full");
    EXPECT_EQ(ToolFailure(output, code, "Z:\\dev\\full").kind, FailureKind::DiskFull) << output;
}

TEST_F(RealToolTest, WorkerConvertsClipsAndPercentFollowsTheTool) {
    ToolFolder = tk::ShortPathName(toolFolder_);
    SetFatalEndForTesting([](const std::string& message) { ADD_FAILURE() << message; });
    auto converter = std::make_shared<Tmpegconverter>();
    auto* worker = new TMyThread(converter);
    worker->Start();

    const std::pair<std::string, std::string> jobs[] = {
        {clips_ + "clip.mp4", "clip.AVI"},
        {clips_ + "dir with blanks [x]\\my clip (1) [b].mp4", "blanks.AVI"},
    };
    for (const auto& [source, name] : jobs) {
        SCOPED_TRACE(source);
        ASSERT_TRUE(Exists(source));
        const std::string temp = out_ + "temp_2953.avi";
        worker->SourcePath = source;
        worker->TempPath = temp;
        worker->JobRequested = true;
        worker->JobHandedOver();
        std::vector<int> seen;
        const DWORD end = ::GetTickCount() + 300000;
        while (worker->JobRequested && ::GetTickCount() < end) {
            FlushEvents(250);
            if (!worker->Idle) {
                worker->SyncProgress();
                seen.push_back(worker->Percent);
            }
        }
        ASSERT_FALSE(worker->JobRequested) << "the job was reported done";
        seen.push_back(worker->Percent);  // as the job ended
        EXPECT_EQ(converter->CommandLine(), TMyThread::BuildCommandLine(source, temp));
        EXPECT_EQ(converter->ExitCode(), 0u) << converter->Output();
        EXPECT_EQ(DurationSeconds, seconds_) << converter->Output();
        ASSERT_FALSE(seen.empty());
        EXPECT_GE(seen.back(), 98) << "the last percentage seen";
        EXPECT_LE(seen.back(), 101) << "the last percentage seen";
        int between = 0;
        for (size_t i = 0; i < seen.size(); ++i) {
            between += seen[i] > 0 && seen[i] < 98;
            if (i > 0) {
                EXPECT_LE(seen[i - 1], seen[i]) << "at poll " << i;
            }
        }
        EXPECT_GE(between, 1) << "progress seen while the tool ran";
        std::string percents;
        for (const int p : seen) percents += std::to_string(p) + " ";
        std::printf("%s: percentages seen: %s\n", name.c_str(), percents.c_str());
        ASSERT_TRUE(::MoveFileA(temp.c_str(), (out_ + name).c_str())) << "the tool wrote " << temp;
    }

    worker->Terminate();
    EXPECT_TRUE(WaitFor([&] { return worker->WaitFor(0); }, 5000));
    delete worker;
    SetFatalEndForTesting(nullptr);
    ToolFolder.clear();
}

TEST_F(RealToolTest, RunnerConvertsWithQuotedLongPaths) {
    const std::string source = clips_ + "dir with blanks [x]\\my clip (1) [b].mp4";
    const std::string outFolder = out_ + "out with blanks [y]\\";
    ASSERT_TRUE(::CreateDirectoryA(outFolder.c_str(), nullptr));
    const std::string temp = outFolder + "temp 2953.avi";
    const std::string commandLine = ToolCommandLine(toolFolder_, source, temp);
    ASSERT_NE(commandLine.find('"'), std::string::npos) << "the paths need quotes: " << commandLine;

    Tmpegconverter runner;
    runner.RunTool(commandLine);
    runner.ReadOutput();
    EXPECT_EQ(runner.TimeToSeconds(runner.GetDuration()), seconds_) << runner.Output();
    const DWORD end = ::GetTickCount() + 300000;
    while (!runner.Finished() && ::GetTickCount() < end) {
        ::Sleep(250);
        runner.PollOutput();
    }
    ASSERT_TRUE(runner.Finished());
    EXPECT_EQ(runner.ExitCode(), 0u) << runner.Output();
    EXPECT_GE(PercentOf(runner.GetTime(), seconds_), 98) << runner.Output();
    ASSERT_TRUE(::MoveFileA(temp.c_str(), (out_ + "quoted.AVI").c_str())) << runner.Output();
}

TEST_F(RealToolTest, InputThatIsNotMediaEndsTheWaitWithoutDuration) {
    const std::string source = out_ + "notes.mp4";
    testing_support::WriteBytes(source, std::string(4096, 'x'));
    Tmpegconverter runner;
    runner.RunTool(ToolCommandLine(toolFolder_, tk::ShortPathName(source), out_ + "never.avi"));
    runner.ReadOutput();
    EXPECT_NE(runner.Output().find("Invalid data found when processing input"), std::string::npos)
        << runner.Output();
    EXPECT_EQ(runner.TimeToSeconds(runner.GetDuration()), 0);
    EXPECT_TRUE(WaitFor(
        [&] {
            runner.PollOutput();
            return runner.Finished();
        },
        30000));
    EXPECT_FALSE(Exists(out_ + "never.avi"));
    ::DeleteFileA(source.c_str());
}

// Splits "a|b|c" as real_tool_test.sh joins paths.
std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t from = 0;
    while (!list.empty() && from <= list.size()) {
        const size_t bar = std::min(list.find('|', from), list.size());
        items.push_back(list.substr(from, bar - from));
        from = bar + 1;
    }
    return items;
}

// A whole batch as the Start command hands it over, driven by the progress
// window's timer and the worker's reports with the real windows: the
// program's forms for the test's time, the tool folder from the script.
class ProgressWindowBatch {
public:
    explicit ProgressWindowBatch(const std::string& toolFolder) {
        tk::SetProgramFolderForTesting(program_.Path());
        CreateApplicationForms();
        Form1->Timer1->SetEnabled(false);  // no start-up step: the tool folder is set here
        ToolFolder = tk::ShortPathName(toolFolder);
        Form1->Show();
        FlushEvents(100);
    }
    ~ProgressWindowBatch() {
        Converting = false;
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
        ToolFolder.clear();
    }

    // Runs the batch to its end; false when it did not end in time. The
    // captions the operation label showed and the texts of the boxes shown
    // are kept.
    bool Run(const std::vector<std::string>& sources, const std::string& out, int timeoutMs) {
        MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
        testing_support::HandOverBatch(sources, out);
        const bool ended = WaitFor(
            [&] {
                const std::string op = Form2->Label1->Caption();
                if (operations.empty() || operations.back() != op) operations.push_back(op);
                return !Converting;
            },
            timeoutMs);
        boxTexts = boxes.Texts();
        boxOwner = boxes.LastOwner();
        return ended;
    }

    std::vector<std::string> operations, boxTexts;
    HWND boxOwner = nullptr;
    ShellRecorder shell;
    ErrorRecorder errors;

private:
    ScratchFolder program_;
};

// Two clips; the script checks the two AVI files with ffprobe afterwards.
TEST_F(RealToolTest, BatchThroughTheProgressWindow) {
    const std::string first = Environment("QUENDRIX_REAL_BATCH_FIRST");
    const std::string second = Environment("QUENDRIX_REAL_BATCH_SECOND");
    const std::string out = Environment("QUENDRIX_REAL_BATCH_OUT");
    ASSERT_FALSE(first.empty() || second.empty() || out.empty()) << "named by real_tool_test.sh";
    ASSERT_TRUE(Exists(first));
    ASSERT_TRUE(Exists(second));

    ProgressWindowBatch batch(toolFolder_);
    ASSERT_TRUE(batch.Run({first, second}, out, 120000)) << "the batch ended";
    EXPECT_EQ(batch.operations, (std::vector<std::string>{"Current Operation:", "Convert file \"short.mp4\":",
                                                          "Convert file \"my short [c].mp4\":"}));
    EXPECT_EQ(batch.boxTexts, std::vector<std::string>{"Done."});
    EXPECT_EQ(batch.boxOwner, Form2->Handle());
    EXPECT_TRUE(Form1->Visible()) << "the main window is back";
    EXPECT_FALSE(Form2->Visible());
    EXPECT_FALSE(Form2->Timer1->Enabled());
    EXPECT_EQ(CurrentIndex, 3);
    EXPECT_EQ(Form2->Label4->Caption(), "100%");
    EXPECT_EQ(Converter->CommandLine(), TMyThread::BuildCommandLine(second, out + "temp_2953.avi"));
    EXPECT_EQ(Worker->ToolExitCode, 0u) << Converter->Output();
    // Both files under their final names; nothing left under a temporary one.
    EXPECT_EQ(FolderEntries(out), (std::vector<std::string>{"my short [c].AVI", "short.AVI"}));
    for (const std::string& name : FolderEntries(out))
        EXPECT_EQ(name.find("temp_2953"), std::string::npos) << name;
    EXPECT_EQ(batch.errors.Errors(), std::vector<std::string>{});
    EXPECT_EQ(batch.shell.Requests().size(), Form1->CheckBox1->Checked() ? 1u : 0u);
}

// An output volume of 4 MB that fills up in the middle of the long clip
// (real_tool_test.sh mounts it as drive Q:): the box says the disk is full,
// whatever the tool printed; the short clips before and after it convert,
// and nothing of the long one stays. The script checks the two AVI files.
TEST_F(RealToolTest, ASmallOutputVolumeThatFillsUp) {
    const std::vector<std::string> sources = SplitList(Environment("QUENDRIX_REAL_SMALL_SOURCES"));
    const std::string out = Environment("QUENDRIX_REAL_SMALL_OUT");
    if (sources.empty() || out.empty()) GTEST_SKIP() << "no small volume could be mounted";
    ASSERT_EQ(sources.size(), 3u);
    const std::optional<unsigned long long> free = tk::FreeSpace(out);
    ASSERT_TRUE(free);
    ASSERT_LE(*free, 4u * 1024 * 1024) << "the small volume";

    ProgressWindowBatch batch(toolFolder_);
    ASSERT_TRUE(batch.Run(sources, out, 300000)) << "the batch ended";
    EXPECT_EQ(batch.boxTexts, std::vector<std::string>{DoneBox({{sources[1], "the output disk is full"}})});
    EXPECT_EQ(FolderEntries(out), (std::vector<std::string>{"first.AVI", "third.AVI"}));
    EXPECT_EQ(batch.errors.Errors(), std::vector<std::string>{});
}

// The sources users have (H.264, MPEG-4, HEVC of 8 and 10 bits, VP9 and AV1
// of 8 and 10 bits in MP4 and in WebM under a ".mp4" name, a rotated clip,
// 5.1 sound, a variable frame rate, video without sound, sound without
// video, Motion JPEG, the phones' H.263 with AMR sound, E-AC-3, ALAC and DTS
// sound, sound with a cover picture) each convert; files that name another
// local file (a playlist, a concatenation list) are refused, and files in a
// format the tool cannot decode are named with it; each is listed in the
// final box and leaves nothing in the output folder. The script checks the
// AVI files with ffprobe.
TEST_F(RealToolTest, SourceTableThroughTheProgressWindow) {
    const std::vector<std::string> sources = SplitList(Environment("QUENDRIX_REAL_TABLE"));
    const std::vector<std::string> refused = SplitList(Environment("QUENDRIX_REAL_TABLE_REFUSED"));
    const std::vector<std::string> failing = SplitList(Environment("QUENDRIX_REAL_TABLE_FAILING"));
    const std::vector<std::string> reasons = SplitList(Environment("QUENDRIX_REAL_TABLE_REASONS"));
    const std::string out = Environment("QUENDRIX_REAL_TABLE_OUT");
    ASSERT_FALSE(sources.empty() || refused.empty() || failing.empty() || out.empty())
        << "named by real_tool_test.sh";
    ASSERT_EQ(reasons.size(), failing.size());
    std::vector<std::string> all = sources;
    all.insert(all.end(), refused.begin(), refused.end());
    all.insert(all.end(), failing.begin(), failing.end());
    for (const std::string& source : all) ASSERT_TRUE(Exists(source)) << source;

    ProgressWindowBatch batch(toolFolder_);
    ASSERT_TRUE(batch.Run(all, out, 600000)) << "the batch ended";
    // The box as the program words it for this screen: a long path loses
    // the middle of its folders wherever the tests run.
    std::vector<std::pair<std::string, std::string>> notConverted;
    const std::string notVideo = tk::Narrow(ReasonText(Failure{FailureKind::NotVideo, ""}));
    for (const std::string& source : refused) notConverted.push_back({source, notVideo});
    for (size_t i = 0; i < failing.size(); ++i) notConverted.push_back({failing[i], reasons[i]});
    EXPECT_EQ(batch.boxTexts, std::vector<std::string>{DoneBox(notConverted)});
    std::vector<std::string> expectedFiles;
    for (const std::string& source : sources) expectedFiles.push_back(tk::Narrow(OutputBaseName(tk::Widen(source))));
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(FolderEntries(out), expectedFiles);
    EXPECT_EQ(batch.errors.Errors(), std::vector<std::string>{});
}

// A batch of the four classic bad inputs and one good file with the shipped
// tool: the final box names each bad one with its reason, and the good one
// converts.
TEST_F(RealToolTest, BatchNamesEachBadInputWithItsReason) {
    const std::string bad = Environment("QUENDRIX_REAL_BAD");
    ASSERT_FALSE(bad.empty()) << "named by real_tool_test.sh";
    const std::string out = out_ + "bad batch\\";
    ASSERT_TRUE(::CreateDirectoryA(out.c_str(), nullptr));
    const std::string missing = bad + "gone.mp4", empty = bad + "empty.mp4", notes = bad + "notes.mp4",
                      truncated = bad + "truncated.mp4", whole = bad + "whole.mp4";
    ASSERT_FALSE(Exists(missing));

    ScratchFolder program;
    tk::SetProgramFolderForTesting(program.Path());
    ShellRecorder shell;
    ErrorRecorder errors;
    struct Cleanup {
        ~Cleanup() {
            Converting = false;
            tk::Application::Get().ResetForTesting();
            tk::SetProgramFolderForTesting("");
            ToolFolder.clear();
        }
    } cleanup;
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);  // no start-up step: the tool folder is set here
    ToolFolder = tk::ShortPathName(toolFolder_);
    Form1->Show();
    FlushEvents(100);
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    OutputFolder = out;
    SourceFiles = {notes, missing, whole, empty, truncated};
    SourceNames.clear();
    SourceCount = 5;
    CurrentIndex = 0;
    Form2->Timer1->SetEnabled(true);
    Form1->Hide();
    Form2->Show();
    Converting = true;
    ASSERT_TRUE(WaitFor([] { return !Converting; }, 180000)) << "the batch ended";
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{DoneBox({{notes, "not a video file the converter can read"},
                                                               {missing, "the file is missing"},
                                                               {empty, "the file is empty"},
                                                               {truncated, "the video is damaged or incomplete"}})});
    EXPECT_EQ(FolderEntries(out), std::vector<std::string>{"whole.AVI"});
    EXPECT_EQ(errors.Errors(), std::vector<std::string>{});
}

}  // namespace
