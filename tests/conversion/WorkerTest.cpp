// The conversion worker, driven as the progress window drives it: a job is
// handed over through the worker's fields, and the UI thread polls its
// progress while the job runs. The tool is the scripted stand-in.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "conversion/Unit2.h"
#include "skin/ImageButton3.h"
#include "support/TestSupport.h"
#include "tests/conversion/ToolStandIn.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"

namespace {

using conversion_test::kSummaryLine;
using conversion_test::Now;
using conversion_test::StandInTool;
using conversion_test::StatusLine;
using testing_support::Exists;
using testing_support::FlushEvents;
using testing_support::WaitFor;

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ToolFolder = tool_.Folder();
        worker_ = new TMyThread(converter_);
        worker_->Start();
    }
    void TearDown() override {
        worker_->Terminate();
        // It may be waiting for a step of ours.
        EXPECT_TRUE(WaitFor([&] { return worker_->WaitFor(0); }, 10000)) << "the worker ended";
        delete worker_;
        SetFatalEndForTesting(nullptr);
        ToolFolder.clear();
    }

    void HandOver(const std::string& source, const std::string& tempPath) {
        ASSERT_TRUE(worker_->Idle);
        worker_->SourcePath = source;
        worker_->TempPath = tempPath;
        worker_->JobRequested = true;
        worker_->JobHandedOver();
    }
    // Hands a job over and polls its progress, as the batch timer does (but
    // more often), until the worker reports it done. The percentages seen.
    std::vector<int> RunJob(const std::string& source, const std::string& tempPath, bool poll = true) {
        HandOver(source, tempPath);
        std::vector<int> seen;
        const DWORD end = Now() + 20000;
        while (worker_->JobRequested && Now() < end) {
            FlushEvents(200);
            if (poll && !worker_->Idle) {
                worker_->SyncProgress();
                seen.push_back(worker_->Percent);
            }
        }
        EXPECT_FALSE(worker_->JobRequested) << "the job was reported done";
        seen.push_back(worker_->Percent);  // as the job ended
        return seen;
    }
    std::string TempPath(const char* folder) {
        const std::string path = tool_.Scratch() + folder + "\\";
        ::CreateDirectoryA(path.c_str(), nullptr);
        return path + "temp_2953.avi";
    }

    StandInTool tool_;
    std::shared_ptr<Tmpegconverter> converter_ = std::make_shared<Tmpegconverter>();
    TMyThread* worker_ = nullptr;
};

TEST_F(WorkerTest, JobRunsTheToolAndPercentFollowsItsProgress) {
    std::vector<std::string> script = {"err Input #0, from 'x':\\r\\n  Duration: 00:00:10.00, start: 0.000000\\r\\n",
                                       "sleep 300"};
    for (const char* time : {"00:00:02.00", "00:00:04.00", "00:00:06.00", "00:00:08.00"}) {
        script.push_back(StatusLine(time));
        script.push_back("sleep 300");
    }
    script.push_back(StatusLine("00:00:10.00", "    \\r\\n"));
    script.push_back(kSummaryLine);
    script.push_back("touch");
    const std::string source = tool_.Script("holiday clip.mp4", script);
    const std::string temp = TempPath("out folder");

    const std::vector<int> seen = RunJob(source, temp);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    int between = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        between += seen[i] > 0 && seen[i] < 100;
        if (i > 0) {
            EXPECT_LE(seen[i - 1], seen[i]) << "at poll " << i;
        }
    }
    EXPECT_GE(between, 1) << "progress seen while the tool ran";
    EXPECT_EQ(DurationSeconds, 10);
    EXPECT_TRUE(Exists(temp)) << "the tool ran with the job's output path";

    EXPECT_EQ(converter_->CommandLine(), ToolCommandLine(tk::ShortPathName(ToolFolder), tk::ShortPathName(source),
                                                         temp));
    EXPECT_TRUE(worker_->Idle);
    EXPECT_FALSE(worker_->RunNow);
    EXPECT_EQ(worker_->SourcePath, "");
    EXPECT_EQ(worker_->TempPath, "");
}

// An idle worker sleeps until a job is handed over: a job put in its fields
// without the hand-over's wake is not even looked at, however long it waits
// (the idle program wakes for nothing); the wake starts it at once.
TEST_F(WorkerTest, AnIdleWorkerLooksForAJobOnlyWhenHandedOne) {
    FlushEvents(1000);  // the worker's first look, at its start
    const std::string temp = TempPath("out");
    worker_->SourcePath = tool_.Script("job.mp4", {"err   Duration: 00:00:01.00, start: 0\\r\\n", "touch"});
    worker_->TempPath = temp;
    worker_->JobRequested = true;
    FlushEvents(2000);
    EXPECT_TRUE(worker_->Idle) << "the worker took a job nobody handed over";
    EXPECT_FALSE(Exists(temp));

    worker_->JobHandedOver();
    const DWORD end = Now() + 15000;
    while (worker_->JobRequested && Now() < end) FlushEvents(50);
    EXPECT_FALSE(worker_->JobRequested) << "the job was reported done";
    EXPECT_TRUE(Exists(temp)) << "the tool ran";
}

TEST_F(WorkerTest, SecondJobCarriesOnlyItsOwnPaths) {
    const std::string first = tool_.Script("first clip.mp4", {"err   Duration: 00:00:01.00, start: 0\\r\\n"});
    const std::string firstTemp = TempPath("first out");
    RunJob(first, firstTemp);

    const std::string log = tool_.Scratch() + "second args.txt";
    const std::string second =
        tool_.Script("second clip.mp4", {"err   Duration: 00:00:01.00, start: 0\\r\\n", "args " + log});
    const std::string secondTemp = TempPath("second out");
    RunJob(second, secondTemp);

    const std::string commandLine = converter_->CommandLine();
    EXPECT_EQ(commandLine, TMyThread::BuildCommandLine(second, secondTemp));
    EXPECT_EQ(commandLine.find(tk::ShortPathName(first)), std::string::npos) << commandLine;
    EXPECT_EQ(commandLine.find("first out"), std::string::npos) << commandLine;
    const std::string args = testing_support::ReadBytes(log);
    EXPECT_NE(args.find("\n" + tk::ShortPathName(second) + "\n"), std::string::npos) << args;
    EXPECT_NE(args.find("\n" + secondTemp + "\n"), std::string::npos) << args;
}

TEST_F(WorkerTest, JobsTheToolCannotReadEndWithPercentZero) {
    struct Case {
        const char* what;
        std::vector<std::string> script;
    };
    const Case cases[] = {
        {"ends without a marker", {"out nothing useful\\r\\n", "exit 1"}},
        {"not media", {"err X.MP4: Invalid data found when processing input\\r\\n", "sleep 300", "exit 1"}},
        {"unknown duration",
         {"err   Duration: N/A, start: 0\\r\\n", StatusLine("00:00:01.00"), "sleep 300", StatusLine("00:00:02.00"),
          "sleep 300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<int> seen = RunJob(tool_.Script("job.mp4", c.script), TempPath("out"));
        EXPECT_EQ(DurationSeconds, 0);
        for (const int percent : seen) EXPECT_EQ(percent, 0);
        EXPECT_TRUE(worker_->Idle);
    }
}

TEST_F(WorkerTest, ToolThatCannotStartEndsTheProgramFromTheUiThread) {
    ToolFolder = tool_.Scratch();  // no "nnn.exe" there
    std::vector<std::string> messages;
    DWORD shownOn = 0;
    // The batch has reserved the job's temporary file; the program ends
    // without leaving it behind.
    const std::string temp = TempPath("out");
    testing_support::WriteBytes(temp, "");
    bool tempLeft = true;
    SetFatalEndForTesting([&](const std::string& message) {
        messages.push_back(message);
        shownOn = ::GetCurrentThreadId();
        tempLeft = Exists(temp);
    });
    RunJob(tool_.Script("job.mp4", {}), temp);
    EXPECT_EQ(messages, std::vector<std::string>{"CreateProcess error!"});
    EXPECT_EQ(shownOn, tk::Application::Get().UiThreadId());
    EXPECT_FALSE(tempLeft) << "the reserved file went before the program ends";
    EXPECT_TRUE(worker_->Idle) << "the job was still reported done";

    // The worker goes on taking jobs.
    ToolFolder = tool_.Folder();
    RunJob(tool_.Script("next.mp4", {"err   Duration: 00:00:03.00, start: 0\\r\\n"}), TempPath("out"));
    EXPECT_EQ(DurationSeconds, 3);
}

TEST_F(WorkerTest, StopRequestDuringAJobLetsTheJobRunToTheToolsEnd) {
    for (const bool polls : {true, false}) {
        SCOPED_TRACE(polls ? "progress polls go on" : "no more progress polls");
        const std::string temp = TempPath(polls ? "with polls" : "without polls");
        HandOver(tool_.Script("long.mp4", {"err   Duration: 00:00:02.00, start: 0\\r\\n", "sleep 1500", "touch"}),
                 temp);
        ASSERT_TRUE(WaitFor([&] { return !worker_->Idle; }));
        worker_->Terminate();
        const DWORD end = Now() + 15000;
        while (worker_->JobRequested && Now() < end) {
            FlushEvents(200);
            if (polls && !worker_->Idle) worker_->SyncProgress();
        }
        EXPECT_FALSE(worker_->JobRequested) << "the job was reported done";
        EXPECT_TRUE(Exists(temp)) << "the tool ran to its end";
        EXPECT_TRUE(WaitFor([&] { return worker_->WaitFor(0); }, 2000)) << "then the thread ended";

        if (polls) {  // a fresh worker for the second round
            delete worker_;
            worker_ = new TMyThread(converter_);
            worker_->Start();
        }
    }
}

// The progress window owns the engine; at its end it gives the worker a
// moment and lets go of the engine either way.
TEST(ProgressWindowEngine, IdleWorkerEndsWithTheWindow) {
    RegisterImageButton();
    tk::Application& app = tk::Application::Get();
    app.CreateForm(Form2);
    ASSERT_NE(Worker, nullptr);
    ASSERT_NE(Converter, nullptr);
    std::weak_ptr<Tmpegconverter> runner = Converter;
    FlushEvents(600);  // the worker looks for a job at least once

    const DWORD start = Now();
    app.ResetForTesting();  // destroys the window
    EXPECT_LT(Now() - start, 900u) << "an idle worker ends at once";
    EXPECT_EQ(Worker, nullptr);
    EXPECT_EQ(Converter, nullptr);
    EXPECT_TRUE(runner.expired()) << "the engine was freed";
}

TEST(ProgressWindowEngine, WorkerInsideAJobAtTheEndKeepsItsOwnRunner) {
    RegisterImageButton();
    StandInTool tool;
    ToolFolder = tool.Folder();
    tk::Application& app = tk::Application::Get();
    app.CreateForm(Form2);
    std::weak_ptr<Tmpegconverter> runner = Converter;
    Worker->SourcePath = tool.Script("long.mp4", {"err   Duration: 00:00:02.00, start: 0\\r\\n", "sleep 2500"});
    Worker->TempPath = tool.Scratch() + "temp_2953.avi";
    Worker->JobRequested = true;
    Worker->JobHandedOver();
    ASSERT_TRUE(WaitFor([] { return !Worker->Idle; }));

    const DWORD start = Now();
    app.ResetForTesting();
    const DWORD waited = Now() - start;
    EXPECT_GE(waited, 900u);
    EXPECT_LT(waited, 2000u);
    EXPECT_EQ(Worker, nullptr);
    EXPECT_EQ(Converter, nullptr);
    EXPECT_FALSE(runner.expired()) << "the worker still holds the runner of its job";
    // Once its tool has ended the worker finishes the job, ends and frees
    // itself, and the runner with it.
    EXPECT_TRUE(WaitFor([&] { return runner.expired(); }, 15000));
    ToolFolder.clear();
}

}  // namespace
