// Benchmark of the conversion engine (run by tools/bench_conversion.sh):
// one clip converted, round after round, by the bare tool (started and
// waited for, its console on NUL) and through the worker path (hand-over,
// the worker's start-up wait, progress polls every 1000 ms as the batch
// timer does, the worker's report). Prints the wall times, their ratio, and
// the CPU time this process spent per second of conversion.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "conversion/Unit2.h"
#include "support/Clock.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

using testing_support::Seconds;

// User and kernel time of this process, in seconds.
double ProcessCpu() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the command line with its console on NUL and waits for its end.
double RunBare(const std::string& commandLine) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    tk::FileHandle nul(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
    std::string writable = commandLine;
    PROCESS_INFORMATION started{};
    const double start = Seconds();
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return -1;
    tk::Handle process(started.hProcess), thread(started.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    return Seconds() - start;
}

// Waits for a message or for `until` (a Seconds() value), then handles
// whatever messages have come.
void WaitAndPump(double until) {
    const double now = Seconds();
    if (now < until)
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>((until - now) * 1000) + 1, QS_ALLINPUT);
    tk::Application::Get().ProcessMessages();
}

struct WorkerRun {
    double done;       // hand-over to the worker's report
    double seenByTick; // hand-over to the first timer tick that finds the worker idle
    double cpu;        // CPU seconds of this process over `done`
    int lastPolled;    // Percent at the last timer poll
    int final;         // Percent as the job ended
};

WorkerRun RunThroughWorker(TMyThread& worker, const std::string& source, const std::string& temp) {
    WorkerRun run{};
    const double cpuStart = ProcessCpu();
    const double start = Seconds();
    worker.SourcePath = source;
    worker.TempPath = temp;
    worker.JobRequested = true;
    double tick = start + 1.0;
    for (;;) {
        // The worker's report arrives as a message, which ends the wait.
        WaitAndPump(tick);
        if (!worker.JobRequested && run.done == 0) {
            run.done = Seconds() - start;
            run.cpu = ProcessCpu() - cpuStart;
            run.final = worker.Percent;
        }
        if (Seconds() < tick) continue;
        tick += 1.0;
        if (!worker.Idle) {
            worker.SyncProgress();
            run.lastPolled = worker.Percent;
        } else if (run.done > 0) {
            run.seenByTick = Seconds() - start;
            return run;
        }
    }
}

}  // namespace

int main() {
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Quendrix Ombrelo 1.0");

    const std::string toolFolder = Environment("QUENDRIX_BENCH_TOOL_FOLDER");
    const std::string clip = Environment("QUENDRIX_BENCH_CLIP");
    const std::string out = Environment("QUENDRIX_BENCH_OUT");
    const int rounds = std::max(1, std::atoi(Environment("QUENDRIX_BENCH_ROUNDS").c_str()));
    if (toolFolder.empty() || clip.empty() || out.empty()) {
        std::fprintf(stderr, "run by tools/bench_conversion.sh\n");
        return 2;
    }
    ToolFolder = tk::ShortPathName(toolFolder);
    const std::string temp = out + "temp_2953.avi";
    const std::string commandLine = TMyThread::BuildCommandLine(clip, temp);
    std::printf("command line: %s\n", commandLine.c_str());

    auto converter = std::make_shared<Tmpegconverter>();
    auto* worker = new TMyThread(converter);
    worker->Start();

    std::vector<double> bare, done, seen;
    double cpuTotal = 0, doneTotal = 0;
    for (int round = 1; round <= rounds; ++round) {
        ::DeleteFileA(temp.c_str());
        const double bareCpuStart = ProcessCpu();
        const double bareSeconds = RunBare(commandLine);
        const double bareCpu = ProcessCpu() - bareCpuStart;
        ::DeleteFileA(temp.c_str());
        const WorkerRun run = RunThroughWorker(*worker, clip, temp);
        std::printf("round %d: bare tool %.2f s (own CPU %.0f ms); worker path %.2f s to its report, "
                    "%.2f s to the tick that sees it, percent %d at the last poll and %d at the end, own CPU %.0f ms\n",
                    round, bareSeconds, std::max(0.0, bareCpu) * 1000, run.done, run.seenByTick, run.lastPolled,
                    run.final, std::max(0.0, run.cpu) * 1000);
        bare.push_back(bareSeconds);
        done.push_back(run.done);
        seen.push_back(run.seenByTick);
        cpuTotal += run.cpu;
        doneTotal += run.done;
    }
    std::printf("median: bare tool %.2f s, worker path %.2f s (ratio %.2f), to the batch tick %.2f s (ratio %.2f)\n",
                Median(bare), Median(done), Median(done) / Median(bare), Median(seen), Median(seen) / Median(bare));
    std::printf("own CPU over all worker-path rounds: %.0f ms in %.1f s = %.1f ms per second of conversion\n",
                cpuTotal * 1000, doneTotal, cpuTotal * 1000 / doneTotal);
    std::fflush(stdout);

    worker->Terminate();
    while (!worker->WaitFor(10)) app.ProcessMessages();
    delete worker;
    return 0;
}
