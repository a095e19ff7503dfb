// Benchmark of the progress window on a slow disk (run by
// tools/bench_finish.sh): batches of the scripted stand-in tool through the
// progress window with the program's real windows, as the Start command
// hands them over; first on the disk as it is, then with each flush and each
// rename of a finished file taking longer (2 s unless told), as on a slow
// USB stick or a network share. A probe asks the progress window for a reply
// over and over from a thread of its own; its longest wait is the UI
// thread's longest stall, whatever the disk takes. The goal: 50 ms. As the
// end-to-end benchmark (tests/e2e/Bench.cpp) measures it, the probe asks
// from the hand-over of the batch until its final box is made: the box and
// the swap of the windows after it end the batch, they are not its work.
//   conversion_finish_bench.exe [files] [delay ms] [rounds]
// Prints each batch, then a Markdown table; the exit code is 1 when a batch
// did not convert every file.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "support/BatchDriver.h"
#include "support/Clock.h"
#include "support/StallProbe.h"
#include "support/TestSupport.h"
#include "tests/conversion/ToolStandIn.h"
#include "toolkit/Application.h"
#include "toolkit/Com.h"
#include "toolkit/Files.h"

namespace {

using testing_support::Seconds;

// The probe of the batch in work, stopped by the hook the moment the final
// box is made (on the UI thread, which the hook runs on).
testing_support::StallProbe* ProbeOfTheBatch = nullptr;

LRESULT CALLBACK StopAtTheBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && ProbeOfTheBatch) {
        char windowClass[16] = "";
        ::GetClassNameA(reinterpret_cast<HWND>(wParam), windowClass, sizeof windowClass);
        if (std::string(windowClass) == "#32770") {
            ProbeOfTheBatch->Stop();
            ProbeOfTheBatch = nullptr;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Run {
    int delayMs = 0;
    double seconds = 0;
    double stallMs = 0, stallAt = 0;
    int replies = 0, unanswered = 0;
    bool allConverted = false;
};

// A batch as the Start command hands it over, to its final box (answered by
// the caller's answerer), with the probe on the progress window throughout.
Run RunBatch(const std::vector<std::string>& sources, const std::string& out, int delayMs) {
    testing_support::RemoveTree(out);
    ::CreateDirectoryA(out.c_str(), nullptr);
    SetFinishDelayForTesting(std::chrono::milliseconds(delayMs));
    Run run;
    run.delayMs = delayMs;
    const double start = Seconds();
    testing_support::StallProbe probe(Form2->Handle());
    ProbeOfTheBatch = &probe;
    testing_support::RunBatchToItsEnd(sources, out);
    ProbeOfTheBatch = nullptr;
    probe.Stop();  // stopped already, unless no box came
    run.seconds = Seconds() - start;
    SetFinishDelayForTesting(std::chrono::milliseconds(0));
    run.stallMs = probe.WorstMs();
    run.stallAt = probe.WorstAt();
    run.replies = probe.Replies();
    run.unanswered = probe.Unanswered();
    run.allConverted = NotConverted.empty() && testing_support::FolderEntries(out).size() == sources.size();
    return run;
}

int Argument(int argc, char** argv, int at, int otherwise) {
    return argc > at ? std::max(1, std::atoi(argv[at])) : otherwise;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = Argument(argc, argv, 1, 3);
    const int delayMs = Argument(argc, argv, 2, 2000);
    const int rounds = Argument(argc, argv, 3, 2);

    const tk::OleApartment ole;
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle(kApplicationTitle);
    const conversion_test::StandInTool tool;
    const std::string program = tool.Scratch() + "program\\";
    ::CreateDirectoryA(program.c_str(), nullptr);
    tk::SetProgramFolderForTesting(program);
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);  // no start-up step: the tool folder is set here
    ToolFolder = tool.Folder();
    Form1->CheckBox1->SetChecked(false);
    Form1->Show();
    app.ProcessMessages();
    const testing_support::MessageBoxAnswerer boxes(kApplicationTitle);
    const HHOOK hook = ::SetWindowsHookExA(WH_CBT, StopAtTheBox, nullptr, ::GetCurrentThreadId());

    // Clips of 4 s that the stand-in converts in about a second each.
    std::vector<std::string> sources;
    for (int i = 1; i <= files; ++i)
        sources.push_back(tool.Script(
            "clip" + std::to_string(i) + ".mp4",
            {"err Input #0, mov,mp4, from 'x':\\r\\n  Duration: 00:00:04.00, start: 0.000000\\r\\n", "sleep 300",
             conversion_test::StatusLine("00:00:01.00"), "sleep 300", conversion_test::StatusLine("00:00:02.00"),
             "sleep 300", conversion_test::StatusLine("00:00:04.00", "    \\r\\n"), conversion_test::kSummaryLine,
             "avi", "exit 0"}));
    const std::string out = tool.Scratch() + "out\\";

    // A warm-up batch: whatever the windows make once, on their first show.
    RunBatch({sources.front()}, out, 0);

    std::vector<Run> runs;
    for (int round = 0; round < rounds; ++round)
        for (const int delay : {0, delayMs}) {
            runs.push_back(RunBatch(sources, out, delay));
            const Run& r = runs.back();
            std::printf("flush and rename %d ms longer: %d files in %.2f s; longest stall %.1f ms at %.2f s over %d "
                        "replies, %d unanswered; all converted: %s\n",
                        r.delayMs, files, r.seconds, r.stallMs, r.stallAt, r.replies, r.unanswered,
                        r.allConverted ? "yes" : "NO");
        }
    const std::vector<std::string> texts = boxes.Texts();
    std::printf("final boxes: %zu, the last: %s\n", texts.size(), texts.empty() ? "(none)" : texts.back().c_str());

    std::printf("\n| disk | batch of %d | UI thread's longest stall (goal <= 50 ms) | replies |\n|---|---|---|---|\n",
                files);
    bool converted = true;
    for (const Run& r : runs) {
        const std::string disk =
            r.delayMs == 0 ? "as it is" : "flush and rename each " + std::to_string(r.delayMs) + " ms longer";
        std::printf("| %s | %.2f s | %.1f ms %s | %d |\n", disk.c_str(), r.seconds, r.stallMs,
                    r.stallMs <= 50 && r.unanswered == 0 ? "(met)" : "(MISSED)", r.replies);
        converted = converted && r.allConverted;
    }
    if (hook) ::UnhookWindowsHookEx(hook);
    app.ResetForTesting();
    tk::SetProgramFolderForTesting("");
    return converted ? 0 : 1;
}
