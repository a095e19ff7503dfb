// Benchmark of the conversion engine (run by tools/bench_conversion.sh).
//
// Worker path: one clip converted, round after round, by the bare tool
// (started and waited for, its console on NUL) and through the worker path
// (hand-over, the worker's start-up wait, progress polls every 1000 ms as the
// batch timer does, the worker's report). Prints the wall times, their ratio,
// and the CPU time this process spent per second of conversion.
//
// Batches: for each set of clips, the bare tool on the command lines the
// worker would use, one after another; then the whole batch through the
// progress window with the program's real windows, as the Start command
// hands it over, from setting the globals to the final box (answered here);
// then the bare runs again. Prints the wall times and their ratio, this
// process's CPU time (it plays the program) against the tool's, the longest
// stall of the UI thread seen by a 10 ms heartbeat timer, and where the
// batch's time went; then a Markdown table of all sets.
//
// Tools: when the script names an older tool's folder, the older and the
// shipped tool bare on the same clips and command lines, in turns (older,
// shipped, shipped, older), for every set; and the first start's install
// step (the converter written from the program's resources into a fresh
// tool folder) from the older payload and from the shipped one. A Markdown
// table of both.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "support/Clock.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"
#include "toolkit/Shell.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

using testing_support::Seconds;

// User and kernel time of this process, in seconds (in 10 ms steps under
// Wine). Wine does not give the times of other processes reliably; the
// tools' are taken from a CPU accounting group below.
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

// ---- Batches through the progress window ------------------------------------------

// The whole content of a file (Linux's /proc and /sys files too, through
// drive Z:).
std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The Wine server that serves this process, found by its prefix among the
// Linux processes: its process id, or empty. The server does part of every
// process's window and timer work, so a batch's share of it counts too.
const std::string& ServerPid() {
    static const std::string found = [] {
        const std::string prefix = Environment("WINEPREFIX");
        WIN32_FIND_DATAA entry;
        HANDLE find = ::FindFirstFileA("Z:\\proc\\*", &entry);
        if (prefix.empty() || find == INVALID_HANDLE_VALUE) return std::string();
        std::string pid;
        do {
            const std::string name = entry.cFileName;
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string dir = "Z:\\proc\\" + name + "\\";
            if (ReadText(dir + "comm").rfind("wineserver", 0) != 0) continue;
            const std::string variables = ReadText(dir + "environ");
            if (variables.find(std::string("WINEPREFIX=") + prefix + '\0') != std::string::npos) {
                pid = name;
                break;
            }
        } while (::FindNextFileA(find, &entry));
        ::FindClose(find);
        return pid;
    }();
    return found;
}

// CPU seconds of the Wine server; -1 when it cannot be read.
double ServerCpu() {
    if (ServerPid().empty()) return -1;
    const std::string text = ReadText("Z:\\proc\\" + ServerPid() + "\\stat");
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    // After the name: the state, fields 4 to 13, then utime and stime.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 13; ++i) fields >> field;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / 100.0;  // clock ticks of 10 ms
}

// The CPU accounting group that the script started this process in: every
// process it starts (the tools) is in it too, whoever waits for them. Its
// folder in Windows form, or empty.
const std::string& Group() {
    static const std::string folder = Environment("QUENDRIX_BENCH_CPUACCT");
    return folder;
}

// CPU seconds of everything in the group so far; -1 without a group.
double GroupCpu() {
    if (Group().empty()) return -1;
    const std::string text = ReadText(Group() + "cpuacct.usage");
    return text.empty() ? -1 : std::atof(text.c_str()) / 1e9;
}

bool ServerInGroup() {
    if (Group().empty() || ServerPid().empty()) return false;
    std::istringstream pids(ReadText(Group() + "cgroup.procs"));
    for (std::string pid; pids >> pid;)
        if (pid == ServerPid()) return true;
    return false;
}

// The CPU clocks at one moment.
struct CpuSample {
    double own = 0, server = -1, group = -1;
};

CpuSample SampleCpu() { return {ProcessCpu(), ServerCpu(), GroupCpu()}; }

// CPU seconds between two samples.
struct CpuSpent {
    double own = 0;
    double server = -1;  // the Wine server; -1 unknown
    double tools = -1;   // the tools (the group less this process and the server); -1 unknown
};

CpuSpent Between(const CpuSample& from, const CpuSample& to) {
    CpuSpent spent;
    spent.own = to.own - from.own;
    if (from.server >= 0 && to.server >= 0) spent.server = to.server - from.server;
    if (from.group >= 0 && to.group >= 0) {
        spent.tools = to.group - from.group - spent.own;
        if (ServerInGroup() && spent.server >= 0) spent.tools -= spent.server;
    }
    return spent;
}

// What the heartbeat and the batch's own report saw, in Seconds().
struct BatchTrace {
    double start = 0;
    std::vector<double> handed, taken, done;  // per file, in order
    int lastIndex = 0;
    // The heartbeat: 10 ms ticks on a timer of the main window.
    double lastTick = 0, worstLate = 0, worstAt = 0;
    int ticks = 0;
    std::vector<std::pair<double, double>> stalls;  // lateness, time since the last hand-over
    // The final box.
    double boxAt = 0;
    CpuSample boxCpu;
    std::vector<std::string> boxTexts;
};
BatchTrace Trace;

constexpr UINT_PTR kHeartbeatId = 0x4B42;
constexpr UINT kHeartbeatMs = 10;

void CALLBACK HeartbeatTick(HWND, UINT, UINT_PTR, DWORD) {
    const double now = Seconds();
    if (Trace.lastTick > 0 && Trace.boxAt == 0) {
        const double late = now - Trace.lastTick - kHeartbeatMs / 1000.0;
        if (late > Trace.worstLate) {
            Trace.worstLate = late;
            Trace.worstAt = now;
        }
        // The stalls over 20 ms, each with the time since the last hand-over.
        if (late > 0.020) Trace.stalls.push_back({late, Trace.handed.empty() ? -1 : now - Trace.handed.back()});
    }
    Trace.lastTick = now;
    ++Trace.ticks;
    if (Trace.start == 0 || Trace.boxAt > 0) return;
    // The batch's steps as the UI thread sees them between two ticks.
    if (CurrentIndex != Trace.lastIndex && CurrentIndex <= SourceCount) {
        Trace.lastIndex = CurrentIndex;
        Trace.handed.push_back(now);
    }
    if (Worker && !Worker->Idle && Trace.taken.size() < Trace.handed.size()) Trace.taken.push_back(now);
}

// Answers the final box the moment it is activated (a hook on the UI thread),
// noting when it came and what it said.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        char cls[16] = "";
        ::GetClassNameA(box, cls, sizeof cls);
        if (std::string(cls) == "#32770" && Trace.boxAt == 0 && Trace.start > 0) {
            Trace.boxAt = Seconds();
            Trace.boxCpu = SampleCpu();
            char text[4096] = "";
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            Trace.boxTexts.push_back(text);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

struct BareSet {
    double seconds = 0;
    CpuSpent cpu;
    std::vector<double> each;
};

BareSet RunBareSet(const std::vector<std::string>& commandLines, const std::string& temp) {
    BareSet set;
    const CpuSample from = SampleCpu();
    for (const std::string& commandLine : commandLines) {
        ::DeleteFileA(temp.c_str());
        const double seconds = RunBare(commandLine);
        set.each.push_back(seconds);
        set.seconds += seconds;
    }
    set.cpu = Between(from, SampleCpu());
    ::DeleteFileA(temp.c_str());
    return set;
}

void SetHeartbeat(bool on);

// The bare runs on a thread of their own while the UI thread, idle, keeps
// the heartbeat: how late the heartbeat comes when nothing of the program
// runs (the tools' start and end under Wine on this machine). Returns the
// worst lateness.
struct BareJob {
    const std::vector<std::string>* commandLines;
    const std::string* temp;
    BareSet* set;
};

DWORD WINAPI RunBareJob(void* parameter) {
    auto* job = static_cast<BareJob*>(parameter);
    *job->set = RunBareSet(*job->commandLines, *job->temp);
    return 0;
}

double RunBareSetWithHeartbeat(const std::vector<std::string>& commandLines, const std::string& temp, BareSet& set) {
    BareJob job{&commandLines, &temp, &set};
    Trace = BatchTrace();
    SetHeartbeat(true);
    tk::Handle thread(::CreateThread(nullptr, 0, &RunBareJob, &job, 0, nullptr));
    const HANDLE handle = thread.Get();
    while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        tk::Application::Get().ProcessMessages();
    SetHeartbeat(false);
    return Trace.worstLate;
}

struct BatchResult {
    double seconds = 0;
    CpuSpent cpu;
    double worstLate = -1;  // -1: no heartbeat
    int ticks = 0;
    BatchTrace trace;
};

void SetHeartbeat(bool on) {
    if (on)
        ::SetTimer(Form1->Handle(), kHeartbeatId, kHeartbeatMs, &HeartbeatTick);
    else
        ::KillTimer(Form1->Handle(), kHeartbeatId);
}

// The whole batch through the progress window, as the Start command hands
// it over; returns when the main window is back.
BatchResult RunBatch(const std::vector<std::string>& clips, const std::string& out, bool heartbeat) {
    tk::Application& app = tk::Application::Get();
    Trace = BatchTrace();
    SetHeartbeat(heartbeat);
    const CpuSample from = SampleCpu();
    Trace.start = Seconds();
    OutputFolder = out;
    SourceFiles = clips;
    SourceCount = static_cast<int>(clips.size());
    CurrentIndex = 0;
    Form2->Timer1->SetEnabled(true);
    Form1->Hide();
    Form2->Show();
    Converting = true;
    while (Converting && app.HandleMessage()) {
    }
    SetHeartbeat(false);
    BatchResult result;
    result.seconds = Trace.boxAt - Trace.start;
    result.cpu = Between(from, Trace.boxCpu);
    if (heartbeat) result.worstLate = Trace.worstLate;
    result.ticks = Trace.ticks;
    result.trace = Trace;
    return result;
}

struct BatchSet {
    std::string name;
    double goal = 0;
    std::string clips, out;
};

// "name;goal;clip folder;output folder", sets separated by "|".
std::vector<BatchSet> ParseSets(const std::string& text) {
    std::vector<BatchSet> sets;
    std::istringstream all(text);
    std::string one;
    while (std::getline(all, one, '|')) {
        std::istringstream parts(one);
        BatchSet set;
        std::string goal;
        std::getline(parts, set.name, ';');
        std::getline(parts, goal, ';');
        std::getline(parts, set.clips, ';');
        std::getline(parts, set.out, ';');
        set.goal = std::atof(goal.c_str());
        if (!set.clips.empty() && !set.out.empty()) sets.push_back(set);
    }
    return sets;
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((folder + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return files;
    do files.push_back(folder + entry.cFileName);
    while (::FindNextFileA(find, &entry));
    ::FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

void DeleteFiles(const std::vector<std::string>& files) {
    for (const std::string& file : files) ::DeleteFileA(file.c_str());
}

// Milliseconds, or "n/a" for an unknown (negative) value.
std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 0 ? "n/a" : "%.0f", seconds * 1000);
    return text;
}

// The idle program for a few seconds: its CPU per second.
CpuSpent Idle(double seconds, bool heartbeat) {
    Trace = BatchTrace();
    SetHeartbeat(heartbeat);
    const CpuSample from = SampleCpu();
    const double start = Seconds();
    while (Seconds() < start + seconds) WaitAndPump(start + seconds);
    CpuSpent spent = Between(from, SampleCpu());
    SetHeartbeat(false);
    spent.own /= seconds;
    if (spent.server >= 0) spent.server /= seconds;
    return spent;
}

// ---- The older tool against the shipped one ----------------------------------

// The set's command lines with the tool of `toolFolder` (ToolFolder is set
// to it, as the program sets it after installing).
std::vector<std::string> CommandLinesWith(const std::string& toolFolder, const std::vector<std::string>& clips,
                                          const std::string& temp) {
    ToolFolder = tk::ShortPathName(toolFolder);
    std::vector<std::string> lines;
    for (const std::string& clip : clips) lines.push_back(TMyThread::BuildCommandLine(clip, temp));
    return lines;
}

// Seconds that InstallConverterToolInto takes to write the converter of
// `payload` (a module holding resource 1, and 2 for the older tool) into a
// fresh tool folder; the median of `rounds`, -1 when it failed.
double InstallSeconds(const std::string& payload, const std::string& scratch, int rounds) {
    const HMODULE module = ::LoadLibraryExA(payload.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return -1;
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        const std::string windows = scratch + "windows " + std::to_string(round);
        ::CreateDirectoryA(windows.c_str(), nullptr);
        const double start = Seconds();
        const bool installed = InstallConverterToolInto(windows, module);
        const double seconds = Seconds() - start;
        DeleteFiles(FilesIn(windows + "\\quendrix_yt_1\\", "*"));
        ::RemoveDirectoryA((windows + "\\quendrix_yt_1").c_str());
        ::RemoveDirectoryA(windows.c_str());
        if (!installed) {
            ::FreeLibrary(module);
            return -1;
        }
        times.push_back(seconds);
    }
    ::FreeLibrary(module);
    return Median(times);
}

int CompareTools(const std::vector<BatchSet>& sets, const std::string& oldTool, const std::string& newTool,
                 const std::string& oldPayload, const std::string& newPayload, const std::string& scratch) {
    struct Row {
        std::string name;
        double oldSeconds, newSeconds;
        size_t files;
    };
    std::vector<Row> rows;
    bool allGood = true;
    const std::string keep = ToolFolder;
    for (const BatchSet& set : sets) {
        const std::vector<std::string> clips = FilesIn(set.clips, "*.mp4");
        if (clips.empty()) return 2;
        ::CreateDirectoryA(set.out.c_str(), nullptr);
        const std::string temp = set.out + "temp_2953.avi";
        const std::vector<std::string> oldLines = CommandLinesWith(oldTool, clips, temp);
        const std::vector<std::string> newLines = CommandLinesWith(newTool, clips, temp);
        std::printf("\ntools, %s: older %s\n  shipped %s\n", set.name.c_str(), oldLines.front().c_str(),
                    newLines.front().c_str());
        double oldSeconds = 0, newSeconds = 0;
        for (int turn = 0; turn < 4; ++turn) {
            const bool older = turn == 0 || turn == 3;
            const BareSet run = RunBareSet(older ? oldLines : newLines, temp);
            std::printf("  %s tool: %.2f s (", older ? "older" : "shipped", run.seconds);
            for (const double each : run.each) std::printf(" %.2f", each);
            std::printf(" )\n");
            (older ? oldSeconds : newSeconds) += run.seconds / 2;
        }
        // Both tools must have converted: one more run of each, checked.
        for (const auto* lines : {&oldLines, &newLines}) {
            ::DeleteFileA(temp.c_str());
            RunBare(lines->back());
            const bool made = tk::EntrySize(temp) > 0;
            if (!made) std::printf("  NO OUTPUT from %s\n", lines->back().c_str());
            allGood = allGood && made;
        }
        ::DeleteFileA(temp.c_str());
        rows.push_back({set.name, oldSeconds, newSeconds, clips.size()});
        allGood = allGood && newSeconds <= oldSeconds;
        std::fflush(stdout);
    }
    ToolFolder = keep;

    const double oldInstall = InstallSeconds(oldPayload, scratch, 3);
    const double newInstall = InstallSeconds(newPayload, scratch, 3);
    const bool faster = oldInstall > 0 && newInstall > 0 && oldInstall >= 3 * newInstall;
    ToolFolder = keep;  // the install set it to the scratch folders
    allGood = allGood && faster;

    auto verdict = [](bool met) { return met ? "met" : "**missed**"; };
    std::printf("\n| tools | older tool | shipped tool | shipped / older (goal <= 1.00) |\n|---|---|---|---|\n");
    for (const Row& r : rows)
        std::printf("| %s, bare, total | %.2f s | %.2f s | %.3f %s |\n", r.name.c_str(), r.oldSeconds, r.newSeconds,
                    r.newSeconds / r.oldSeconds, verdict(r.newSeconds <= r.oldSeconds));
    std::printf("| first start: converter written into a fresh tool folder (median of 3) | %s ms | %s ms | %.3f "
                "(goal <= 0.33, 3x faster) %s |\n",
                Ms(oldInstall).c_str(), Ms(newInstall).c_str(), oldInstall > 0 ? newInstall / oldInstall : -1.0,
                verdict(faster));
    std::printf("\nBare: each tool run twice over the set on the same command lines, in turns older, shipped, "
                "shipped, older; the mean of its two runs.\n");
    std::fflush(stdout);
    return allGood ? 0 : 1;
}

int RunBatchSets(const std::vector<BatchSet>& sets, const std::string& programFolder) {
    tk::Application& app = tk::Application::Get();
    tk::SetProgramFolderForTesting(programFolder);
    tk::SetShellLauncher([](const tk::ShellRequest&) {});  // the output folder is never opened here
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);  // no start-up step: ToolFolder is set already
    Form1->CheckBox1->SetChecked(false);
    Form1->Show();
    // The worker's report, noted exactly before the progress window's step.
    const auto report = Worker->OnJobDone;
    Worker->OnJobDone = [report] {
        if (Trace.start > 0 && Trace.boxAt == 0) Trace.done.push_back(Seconds());
        if (report) report();
    };
    struct Hook {
        HHOOK hook = ::SetWindowsHookExA(WH_CBT, &BoxHook, nullptr, ::GetCurrentThreadId());
        ~Hook() {
            if (hook) ::UnhookWindowsHookEx(hook);
        }
    } hook;

    std::printf("Wine server: %s; CPU accounting group: %s\n",
                ServerPid().empty() ? "not found" : ("process " + ServerPid()).c_str(),
                Group().empty() ? "none (tool CPU unknown)" : (ServerInGroup() ? "with the server" : "without the server"));
    // What the idle program costs, and what the heartbeat adds.
    const CpuSpent idle = Idle(3, false);
    const CpuSpent idleBeat = Idle(3, true);
    std::printf("idle program: own CPU %.1f ms/s, Wine server %s ms/s; with the heartbeat: %.1f ms/s, %s ms/s, "
                "%d ticks in 3 s, worst lateness %.1f ms\n",
                idle.own * 1000, Ms(idle.server).c_str(), idleBeat.own * 1000, Ms(idleBeat.server).c_str(),
                Trace.ticks, Trace.worstLate * 1000);

    struct Row {
        std::string name;
        double goal, bare, batch, beatBatch;
        CpuSpent own, bareCpu;
        double late, bareLate;
    };
    std::vector<Row> rows;
    bool allGood = true;
    for (const BatchSet& set : sets) {
        const std::vector<std::string> clips = FilesIn(set.clips, "*.mp4");
        if (clips.empty()) {
            std::fprintf(stderr, "no clips in %s\n", set.clips.c_str());
            return 2;
        }
        ::CreateDirectoryA(set.out.c_str(), nullptr);
        const std::string temp = set.out + "temp_2953.avi";  // as the worker names it in a free folder
        std::vector<std::string> commandLines;
        for (const std::string& clip : clips) commandLines.push_back(TMyThread::BuildCommandLine(clip, temp));
        const size_t n = clips.size();
        std::printf("\n%s: %zu files; first command line: %s\n", set.name.c_str(), n, commandLines.front().c_str());

        // Bare runs; the batch as the program runs it; the batch again with
        // the heartbeat (its own cost stays out of the CPU figures); bare
        // runs again.
        const BareSet before = RunBareSet(commandLines, temp);
        const BatchResult batch = RunBatch(clips, set.out, false);
        const size_t outputs = FilesIn(set.out, "*.AVI").size();
        const bool sameLine = Converter->CommandLine() == commandLines.back();
        DeleteFiles(FilesIn(set.out, "*.AVI"));
        const BatchResult beat = RunBatch(clips, set.out, true);
        DeleteFiles(FilesIn(set.out, "*.AVI"));
        BareSet after;
        const double bareLate = RunBareSetWithHeartbeat(commandLines, temp, after);
        const double bare = (before.seconds + after.seconds) / 2;

        std::printf("bare tool: %.2f s before, %.2f s after the batches; tool CPU %s, %s ms; Wine server %s, %s ms\n",
                    before.seconds, after.seconds, Ms(before.cpu.tools).c_str(), Ms(after.cpu.tools).c_str(),
                    Ms(before.cpu.server).c_str(), Ms(after.cpu.server).c_str());
        std::printf("batch: %.2f s to the final box %s (with the heartbeat %.2f s); ratio %.3f (goal <= %.2f); "
                    "%zu of %zu outputs; last command line %s\n",
                    batch.seconds,
                    batch.trace.boxTexts.empty() ? "(none)" : ("\"" + batch.trace.boxTexts.front() + "\"").c_str(),
                    beat.seconds, batch.seconds / bare, set.goal, outputs, n, sameLine ? "as the bare one" : "DIFFERS");
        std::printf("CPU in the batch: own %.0f ms, tools %s ms (%.2f %%, goal <= 1 %%), Wine server %s ms\n",
                    batch.cpu.own * 1000, Ms(batch.cpu.tools).c_str(),
                    batch.cpu.tools > 0 ? 100 * batch.cpu.own / batch.cpu.tools : -1.0, Ms(batch.cpu.server).c_str());
        std::printf("heartbeat: %d ticks, worst lateness %.1f ms at %.2f s (goal <= 50 ms); during the bare runs "
                    "after the batches, with nothing of the program running: %.1f ms\n",
                    beat.ticks, beat.worstLate * 1000, beat.trace.worstAt - beat.trace.start, bareLate * 1000);
        std::printf("  stalls over 20 ms (lateness @ time since the last hand-over):");
        for (const auto& [late, since] : beat.trace.stalls) std::printf(" %.0f ms @ %.2f s;", late * 1000, since);
        std::printf("%s\n", beat.trace.stalls.empty() ? " none" : "");
        // Where the time went, as the UI thread saw it (to within a tick).
        const BatchTrace& trace = beat.trace;
        if (trace.handed.size() == n && trace.taken.size() == n && trace.done.size() == n) {
            std::printf("  first hand-over %.0f ms after the start\n", (trace.handed[0] - trace.start) * 1000);
            for (size_t i = 0; i < n; ++i) {
                const double job = trace.done[i] - trace.taken[i];
                const double bareEach = (before.each[i] + after.each[i]) / 2;
                std::printf("  file %zu: handed over -> taken %.0f ms; taken -> reported done %.0f ms (bare %.0f ms, "
                            "%+.0f ms); done -> %s %.0f ms\n",
                            i + 1, (trace.taken[i] - trace.handed[i]) * 1000, job * 1000, bareEach * 1000,
                            (job - bareEach) * 1000, i + 1 < n ? "next handed over" : "final box",
                            ((i + 1 < n ? trace.handed[i + 1] : trace.boxAt) - trace.done[i]) * 1000);
            }
        } else {
            std::printf("  trace incomplete: %zu handed over, %zu taken, %zu done\n", trace.handed.size(),
                        trace.taken.size(), trace.done.size());
        }
        const Row row{set.name, set.goal, bare, batch.seconds, beat.seconds, batch.cpu, before.cpu, beat.worstLate,
                      bareLate};
        allGood = allGood && outputs == n && row.batch / row.bare <= row.goal && row.own.tools > 0 &&
                  row.own.own <= 0.01 * row.own.tools && row.late <= 0.050;
        rows.push_back(row);
        std::fflush(stdout);
    }

    auto verdict = [](bool met) { return met ? "met" : "**missed**"; };
    std::printf("\n| set | bare tool, total | batch to \"Done.\" | ratio (goal) | program CPU / tool CPU (goal <= 1 %%) "
                "| Wine server CPU, batch / bare | longest UI stall (goal <= 50 ms) | idle UI thread's, bare runs |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        const double ratio = r.batch / r.bare;
        const double share = r.own.tools > 0 ? r.own.own / r.own.tools : -1;
        std::printf("| %s | %.2f s | %.2f s | %.3f (<= %.2f) %s | %.0f ms / %.1f s = %.2f %% %s | %s / %s ms | %.1f ms %s "
                    "| %.1f ms |\n",
                    r.name.c_str(), r.bare, r.batch, ratio, r.goal, verdict(ratio <= r.goal), r.own.own * 1000,
                    r.own.tools, 100 * share, verdict(share >= 0 && share <= 0.01), Ms(r.own.server).c_str(),
                    Ms(r.bareCpu.server).c_str(), r.late * 1000, verdict(r.late <= 0.050), r.bareLate * 1000);
    }
    std::printf("\nBare tool: the mean of the runs before and after the batches. Batch: from setting the globals to "
                "the final box, without the heartbeat; the stall from a second batch with a 10 ms heartbeat timer "
                "(idle, the heartbeat costs %.1f ms/s of own CPU); for comparison, the same heartbeat on the idle UI thread "
                "during the bare runs after the batches (which run on a second thread). Tool CPU: the tool processes of the batch itself "
                "(a CPU accounting group less this process and the Wine server).\n",
                (idleBeat.own - idle.own) * 1000);
    std::fflush(stdout);

    Worker->OnJobDone = report;
    Converting = false;
    app.ResetForTesting();
    tk::SetProgramFolderForTesting("");
    tk::SetShellLauncher(nullptr);
    return allGood ? 0 : 1;
}

// The worker path on one clip, round after round.
void RunWorkerRounds(const std::string& clip, const std::string& out, int rounds) {
    tk::Application& app = tk::Application::Get();
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
    ::DeleteFileA(temp.c_str());
    std::printf("median: bare tool %.2f s, worker path %.2f s (ratio %.2f), to the batch tick %.2f s (ratio %.2f)\n",
                Median(bare), Median(done), Median(done) / Median(bare), Median(seen), Median(seen) / Median(bare));
    std::printf("own CPU over all worker-path rounds: %.0f ms in %.1f s = %.1f ms per second of conversion\n",
                cpuTotal * 1000, doneTotal, cpuTotal * 1000 / doneTotal);
    std::fflush(stdout);

    worker->Terminate();
    while (!worker->WaitFor(10)) app.ProcessMessages();
    delete worker;
}

}  // namespace

int main() {
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Quendrix Ombrelo 1.0");

    const std::string toolFolder = Environment("QUENDRIX_BENCH_TOOL_FOLDER");
    const std::string clip = Environment("QUENDRIX_BENCH_CLIP");
    const std::string out = Environment("QUENDRIX_BENCH_OUT");
    const int rounds = std::atoi(Environment("QUENDRIX_BENCH_ROUNDS").c_str());
    const std::vector<BatchSet> sets = ParseSets(Environment("QUENDRIX_BENCH_SETS"));
    const std::string programFolder = Environment("QUENDRIX_BENCH_PROGRAM");
    if (toolFolder.empty() || (rounds > 0 && (clip.empty() || out.empty())) ||
        (!sets.empty() && programFolder.empty())) {
        std::fprintf(stderr, "run by tools/bench_conversion.sh\n");
        return 2;
    }
    ToolFolder = tk::ShortPathName(toolFolder);
    int status = 0;
    const std::string oldTool = Environment("QUENDRIX_BENCH_OLD_TOOL_FOLDER");
    if (!oldTool.empty() && !sets.empty())
        status = CompareTools(sets, oldTool, toolFolder, Environment("QUENDRIX_BENCH_OLD_PAYLOAD"),
                              Environment("QUENDRIX_BENCH_NEW_PAYLOAD"), programFolder);
    if (rounds > 0) RunWorkerRounds(clip, out, rounds);
    const int batches = sets.empty() ? 0 : RunBatchSets(sets, programFolder);
    return status != 0 ? status : batches;
}
