// Benchmark of the built program from outside (run by
// tools/bench_conversion.sh): the program is started as a returning user
// starts it, its batches are filled through the Open dialog and started with
// its Start button, and the final box is answered, as ConversionTest does.
//
// For each set of clips, in turns: the bare tool on the command lines the
// program gives it, one after another (its console on NUL); the batch through
// the program; the batch again with a probe that asks the program's window
// for a reply over and over (how long its UI thread keeps a message waiting);
// the bare tool again. Measured from outside:
//  - wall times: the bare runs from the first start to the last end; a batch
//    from the click on Start to the final box;
//  - CPU times from Linux: the program's as its threads' run times (the
//    scheduler's count in nanoseconds, where a process's times come in steps
//    of 10 ms that hide a few milliseconds per file); the
//    tools' as what a CPU accounting group that the script starts this
//    process in (whatever it starts stays in it) spent beyond the program
//    and this process; the Wine server's, for information;
//  - the program's peak working set during a batch (its peak reset at the
//    click) against notepad's, started in the same prefix and left idle;
//  - the idle program's CPU time and wake-ups per second.
// Then the same batches through the floor (batch_floor.exe beside this
// program): the least any program does for a batch (a window, each tool
// started with its output on a pipe and read to its end, the final box),
// measured as the program is, so that the program's CPU can be weighed
// against what no program can spare under this Wine.
// Prints each run, then the tables in Markdown, and one line per set
// ("bare per file;<set>;<seconds>") for the script.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/BatchNames.h"
#include "conversion/mpegconverter.h"
#include "e2e/BatchFloor.h"
#include "e2e/Driver.h"
#include "support/Clock.h"
#include "support/StallProbe.h"
#include "support/TestSupport.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"

namespace {

using e2e::RunningProgram;
using testing_support::Seconds;
using testing_support::StallProbe;

constexpr char kMain[] = "Quendrix Ombrelo 1.0";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ---- Linux's view, through drive Z: ---------------------------------------------

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string ProcFolder(const std::string& pid) { return "Z:\\proc\\" + pid + "\\"; }

// Calls `each` with the number of each numbered entry of a /proc folder (the
// processes, or a process's threads), until it returns false.
void ForEachNumbered(const std::string& folder, const std::function<bool(const std::string& number)>& each) {
    testing_support::ForEachEntry(folder + "*", [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        return name.find_first_not_of("0123456789") != std::string::npos || each(name);
    });
}

// The Linux process whose command line holds `needle` (any case); empty when
// there is none.
std::string LinuxPidOf(const std::string& needle) {
    const std::string wanted = Lower(needle);
    std::string found;
    ForEachNumbered("Z:\\proc\\", [&](const std::string& pid) {
        std::string line = ReadText(ProcFolder(pid) + "cmdline");
        std::replace(line.begin(), line.end(), '\0', ' ');
        if (Lower(line).find(wanted) == std::string::npos) return true;
        found = pid;
        return false;
    });
    return found;
}

// The Wine server of this prefix; empty when it cannot be found.
const std::string& ServerPid() {
    static const std::string found = [] {
        const std::string prefix = Environment("WINEPREFIX");
        std::string server;
        if (prefix.empty()) return server;
        ForEachNumbered("Z:\\proc\\", [&](const std::string& pid) {
            if (ReadText(ProcFolder(pid) + "comm").rfind("wineserver", 0) != 0) return true;
            if (ReadText(ProcFolder(pid) + "environ").find("WINEPREFIX=" + prefix + '\0') == std::string::npos)
                return true;
            server = pid;
            return false;
        });
        return server;
    }();
    return found;
}

// User and system CPU seconds of a Linux process (all its threads, ended
// ones too); -1 when it cannot be read.
double LinuxCpu(const std::string& pid) {
    if (pid.empty()) return -1;
    const std::string text = ReadText(ProcFolder(pid) + "stat");
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

// The seconds each thread of a Linux process has spent on a processor so
// far, by thread id, in nanosecond steps (the scheduler's own count, where
// the process's times come in steps of 10 ms).
std::map<std::string, double> ThreadCpu(const std::string& pid) {
    std::map<std::string, double> threads;
    ForEachNumbered(ProcFolder(pid) + "task\\", [&](const std::string& tid) {
        threads[tid] = std::atof(ReadText(ProcFolder(pid) + "task\\" + tid + "\\schedstat").c_str()) / 1e9;
        return true;
    });
    return threads;
}

// The same, all threads now alive together; -1 when none can be read.
double RunTime(const std::string& pid) {
    const std::map<std::string, double> threads = ThreadCpu(pid);
    if (threads.empty()) return -1;
    double total = 0;
    for (const auto& [tid, seconds] : threads) total += seconds;
    return total;
}

// A "Name:  value kB" line of the process's status, in kB; -1 without one.
long StatusKb(const std::string& pid, const std::string& name) {
    const std::string text = ReadText(ProcFolder(pid) + "status");
    const size_t at = text.find(name + ":");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size() + 1);
}

// The times the process's threads gave up the processor so far: how often
// it woke up.
long long ContextSwitches(const std::string& pid) {
    long long total = 0;
    ForEachNumbered(ProcFolder(pid) + "task\\", [&](const std::string& tid) {
        const std::string text = ReadText(ProcFolder(pid) + "task\\" + tid + "\\status");
        for (const char* field : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
            size_t at = text.find(field);
            // "nonvoluntary" also holds "voluntary": take the line's own.
            while (at != std::string::npos && at > 0 && text[at - 1] != '\n') at = text.find(field, at + 1);
            if (at != std::string::npos) total += std::atoll(text.c_str() + at + std::strlen(field));
        }
        return true;
    });
    return total;
}

// Starts the process's peak working set anew from what it holds now.
bool ResetPeak(const std::string& pid) {
    tk::FileHandle file(::CreateFileA((ProcFolder(pid) + "clear_refs").c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), "5", 1, &written, nullptr) && written == 1;
}

// The CPU accounting group the script started this process in; its folder
// in Windows form, or empty.
double GroupCpu() {
    static const std::string group = Environment("QUENDRIX_BENCH_CPUACCT");
    if (group.empty()) return -1;
    const std::string text = ReadText(group + "cpuacct.usage");
    return text.empty() ? -1 : std::atof(text.c_str()) / 1e9;
}

double OwnCpu() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The CPU clocks at one moment.
struct CpuSample {
    double program = -1, group = -1, own = 0, server = -1;
};

CpuSample SampleCpu(const std::string& programPid) {
    return {RunTime(programPid), GroupCpu(), OwnCpu(), LinuxCpu(ServerPid())};
}

struct CpuSpent {
    double program = -1, tools = -1, server = -1;
};

CpuSpent Between(const CpuSample& from, const CpuSample& to) {
    CpuSpent spent;
    const double program = from.program >= 0 && to.program >= 0 ? to.program - from.program : 0;
    if (from.program >= 0 && to.program >= 0) spent.program = program;
    if (from.group >= 0 && to.group >= 0) spent.tools = to.group - from.group - program - (to.own - from.own);
    if (from.server >= 0 && to.server >= 0) spent.server = to.server - from.server;
    return spent;
}

// A program started as a user starts it; its process, or none when it could
// not start.
struct Started {
    tk::Handle process;
    DWORD id = 0;
};

Started Start(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started))
        return {};
    tk::Handle thread(started.hThread);
    return {tk::Handle(started.hProcess), started.dwProcessId};
}

// ---- Operating the program ---------------------------------------------------------

using e2e::ChildAt;
using e2e::Click;
using e2e::ListRows;
using e2e::TypeIntoOpenDialog;
using e2e::WaitUntil;

// A visible message box or dialog of the process; nullptr when none shows.
HWND DialogOf(DWORD pid) {
    for (HWND box = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
         box = ::FindWindowExA(nullptr, box, "#32770", nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(box, &owner);
        if (owner == pid && ::IsWindowVisible(box)) return box;
    }
    return nullptr;
}

// Adds the files through the Open dialog, as a user does: the folder typed
// into the name field, Enter, then the names in quotes, Enter.
bool AddByOpenDialog(HWND main, DWORD pid, const std::string& folder, const std::vector<std::string>& names) {
    const int rows = ListRows(main);
    HWND add = ChildAt(main, RECT{496, 104, 566, 129});
    if (!add) return false;
    Click(add);
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = DialogOf(pid)) != nullptr; }, 15000)) return false;
    ::Sleep(500);
    HWND nameEdit = e2e::FileNameField(dialog);
    if (!nameEdit) return false;
    TypeIntoOpenDialog(dialog, nameEdit, folder, names);
    const int wanted = rows + static_cast<int>(names.size());
    if (!WaitUntil([&] { return ListRows(main) == wanted; }, 15000)) return false;
    WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 5000);
    ::Sleep(500);
    return true;
}

std::vector<std::string> NamesIn(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    testing_support::ForEachEntry(folder + pattern, [&](const WIN32_FIND_DATAA& entry) {
        names.push_back(entry.cFileName);
        return true;
    });
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyFolder(const std::string& folder) {
    for (const std::string& name : testing_support::FolderEntries(folder)) ::DeleteFileA((folder + name).c_str());
}

// ---- The runs --------------------------------------------------------------------

struct Set {
    std::string name;
    double goal = 0;
    std::string clips, out;  // folders, with a backslash at the end
    std::vector<std::string> names;
    int clipSeconds = 0;
};

// "name;goal;clip seconds;clip folder;output folder", sets separated by "|".
std::vector<Set> ParseSets(const std::string& text) {
    std::vector<Set> sets;
    std::istringstream all(text);
    std::string one;
    while (std::getline(all, one, '|')) {
        std::istringstream parts(one);
        Set set;
        std::string goal, seconds;
        std::getline(parts, set.name, ';');
        std::getline(parts, goal, ';');
        std::getline(parts, seconds, ';');
        std::getline(parts, set.clips, ';');
        std::getline(parts, set.out, ';');
        set.goal = std::atof(goal.c_str());
        set.clipSeconds = std::atoi(seconds.c_str());
        set.names = NamesIn(set.clips, "*.mp4");
        if (!set.names.empty() && !set.out.empty()) sets.push_back(set);
    }
    return sets;
}

struct Bare {
    double seconds = 0;
    CpuSpent cpu;
};

// The tool on each command line in turn, its console on NUL; its output is
// reserved first, as the batch reserves it.
Bare RunBare(const std::vector<std::string>& commandLines, const std::string& temp) {
    const tk::FileHandle nul = testing_support::InheritableNul();
    Bare bare;
    const CpuSample from = SampleCpu({});
    const double start = Seconds();
    for (const std::string& commandLine : commandLines) {
        ::DeleteFileA(temp.c_str());
        tk::FileHandle(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        if (!testing_support::RunToEnd(commandLine, nul.Get())) {
            ADD_FAILURE() << "cannot start " << commandLine;
            return bare;
        }
    }
    bare.seconds = Seconds() - start;
    bare.cpu = Between(from, SampleCpu({}));
    ::DeleteFileA(temp.c_str());
    return bare;
}

struct Batch {
    double seconds = 0;
    CpuSpent cpu;
    double stallMs = -1;  // -1: no probe
    double stallAt = 0;   // when it began, in seconds from the click
    int replies = 0;
    std::map<std::string, double> threadCpu;  // the program's threads: CPU seconds by thread id
    long peakKb = -1;
    bool peakReset = false;
    std::string box;
    size_t outputs = 0;
};

// The whole batch: the files listed through the Open dialog, Start clicked,
// timed to the final box, which is then answered.
Batch RunBatch(const RunningProgram& program, const std::string& pid, HWND main, const Set& set, bool probe) {
    Batch batch;
    EmptyFolder(set.out);
    if (!AddByOpenDialog(main, program.ProcessId(), set.clips, set.names)) {
        ADD_FAILURE() << "the files could not be listed";
        return batch;
    }
    HWND start = ChildAt(main, RECT{16, 32, 81, 89});
    if (!start) {
        ADD_FAILURE() << "the Start button";
        return batch;
    }
    batch.peakReset = ResetPeak(pid);
    const std::map<std::string, double> threadsBefore = ThreadCpu(pid);
    const CpuSample from = SampleCpu(pid);
    const double begin = Seconds();
    Click(start);
    std::unique_ptr<StallProbe> stalls;
    if (probe) stalls = std::make_unique<StallProbe>(main);
    HWND box = nullptr;
    const int timeoutMs = static_cast<int>(set.names.size()) * (set.clipSeconds * 1000 + 30000);
    const bool came = WaitUntil([&] { return (box = DialogOf(program.ProcessId())) != nullptr; }, timeoutMs, 10);
    batch.seconds = Seconds() - begin;
    batch.cpu = Between(from, SampleCpu(pid));
    batch.peakKb = StatusKb(pid, "VmHWM");
    for (const auto& [tid, cpu] : ThreadCpu(pid)) {
        const auto before = threadsBefore.find(tid);
        batch.threadCpu[tid] = cpu - (before == threadsBefore.end() ? 0 : before->second);
    }
    if (stalls) {
        stalls->Stop();
        batch.stallMs = stalls->WorstMs();
        batch.stallAt = stalls->WorstAt();
        batch.replies = stalls->Replies();
    }
    if (!came) {
        ADD_FAILURE() << set.name << ": no final box";
        return batch;
    }
    char text[4096] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    batch.box = text;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    if (!program.WaitForVisible(kMain, 15000)) ADD_FAILURE() << "the main window did not come back";
    batch.outputs = NamesIn(set.out, "*.AVI").size();
    EXPECT_EQ(batch.box, "Done.") << set.name;
    EXPECT_EQ(batch.outputs, set.names.size()) << set.name;
    ::Sleep(1000);
    return batch;
}

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (const double v : values) sum += v;
    return sum;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Goal(bool met, const std::string& missedBy) { return met ? "met" : "**missed** by " + missedBy; }

// The floor's batches: its CPU and the tools' over all rounds.
struct Floor {
    double cpu = -1, toolCpu = -1;
};

// Runs the set's command lines through the floor program: one batch to warm
// it up (as the program is warm from the batches before), then `rounds`
// measured ones, each from the request to the visible box.
Floor RunFloor(const std::string& work, const std::vector<std::string>& commandLines, const std::string& temp,
               int rounds) {
    Floor floor;
    const std::string exe = tk::ProgramFolder() + "batch_floor.exe";
    const std::string list = work + "floor_lines.txt";
    std::string lines;
    for (const std::string& line : commandLines) lines += line + "\r\n";
    testing_support::WriteBytes(list, lines);
    const Started started = Start("\"" + exe + "\" \"" + list + "\" \"" + temp + "\"");
    if (!started.process) {
        ADD_FAILURE() << "cannot start " << exe;
        return floor;
    }
    HWND window = nullptr;
    if (!WaitUntil([&] { return (window = ::FindWindowW(kBatchFloorClass, nullptr)) != nullptr; }, 15000)) {
        ADD_FAILURE() << "the floor's window";
        ::TerminateProcess(started.process.Get(), 1);
        return floor;
    }
    ::Sleep(1000);
    const std::string pid = LinuxPidOf("batch_floor.exe");
    floor.cpu = floor.toolCpu = 0;
    for (int round = 0; round <= rounds; ++round) {
        const CpuSample from = SampleCpu(pid);
        ::PostMessageA(window, kRunFloorBatch, 0, 0);
        HWND box = nullptr;
        const int timeoutMs = static_cast<int>(commandLines.size()) * 330000;
        const bool came = WaitUntil([&] { return (box = DialogOf(started.id)) != nullptr; }, timeoutMs, 10);
        const CpuSpent spent = Between(from, SampleCpu(pid));
        if (!came) {
            ADD_FAILURE() << "no box from the floor";
            break;
        }
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        WaitUntil([&] { return !::IsWindowVisible(window); }, 15000);
        if (round == 0) continue;  // the warm-up
        std::printf("floor (%d): program's CPU %.3f s, tools' %.2f s\n", round, spent.program, spent.tools);
        floor.cpu += spent.program;
        floor.toolCpu += spent.tools;
        ::Sleep(1000);
    }
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(started.process.Get(), 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(started.process.Get(), 1);
    ::DeleteFileA(temp.c_str());
    return floor;
}

struct SetResult {
    std::string name;
    double goal = 0;
    int files = 0;
    double bare = 0, program = 0;     // wall seconds of all rounds
    double toolCpu = -1, programCpu = -1, serverCpu = -1;  // the batches without the probe
    Floor floor;
    double stallMs = -1;
    long peakKb = -1;
};

}  // namespace

TEST(Benchmark, BatchesOfTheProgramAgainstTheBareTool) {
    const std::vector<Set> sets = ParseSets(Environment("QUENDRIX_BENCH_SETS"));
    const std::string work = Environment("QUENDRIX_BENCH_WORK");
    if (sets.empty() || work.empty()) GTEST_SKIP() << "run by tools/bench_conversion.sh";
    const int rounds = std::max(1, std::atoi(Environment("QUENDRIX_BENCH_ROUNDS").c_str()));

    // Notepad left idle in the same prefix: what a bare Wine window holds.
    long notepadKb = -1;
    {
        const std::string text = work + "notepad.txt";
        testing_support::WriteBytes(text, "");
        if (const Started notepad = Start("notepad.exe " + text); notepad.process) {
            const HANDLE process = notepad.process.Get();
            ::WaitForInputIdle(process, 10000);
            ::Sleep(3000);
            const std::string pid = LinuxPidOf(text);
            notepadKb = pid.empty() ? -1 : StatusKb(pid, "VmHWM");
            ::TerminateProcess(process, 0);
            ::WaitForSingleObject(process, 5000);
        }
    }

    // A returning user's program folder: the codec prompt was seen, and the
    // output folder (all sets share it) is set.
    const std::string folder = e2e::FreshFolder("bench_" + std::to_string(::GetTickCount()));
    testing_support::WriteBytes(folder + "done.txt", "Done\r\n");
    testing_support::WriteBytes(folder + "set.txt", sets.front().out + "\r\n");
    // The program measured is the one named by the script (the release
    // build, as users get it), copied in as a user unpacks it.
    const std::string exe = folder + "QuendrixOmbrelo.exe";
    const std::string shipped = Environment("QUENDRIX_BENCH_PROGRAM");
    ASSERT_TRUE(::CopyFileA(shipped.empty() ? QUENDRIX_EXE : shipped.c_str(), exe.c_str(), FALSE))
        << "cannot copy the program " << shipped;
    // The program's first start on this machine: it installs its converter
    // before the batches, and what the install touched would count in their
    // working set.
    char windows[MAX_PATH] = "";
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string toolFolder = std::string(windows) + "\\quendrix_yt_1\\";
    e2e::RemoveTree(toolFolder);
    RunningProgram program(e2e::InstalledCopy{exe});
    HWND main = program.WaitForVisible(kMain);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return tk::FileExists(toolFolder + "nnn.exe"); }, 30000)) << "the tool installed";
    ::Sleep(2000);
    const std::string pid = LinuxPidOf(folder + "QuendrixOmbrelo.exe");
    std::printf("program: Linux process %s; Wine server %s; CPU accounting group: %s; peak reset: %s\n",
                pid.empty() ? "not found" : pid.c_str(), ServerPid().empty() ? "not found" : ServerPid().c_str(),
                GroupCpu() >= 0 ? "yes" : "no", ResetPeak(pid) ? "yes" : "no");

    // The idle program, before any batch: CPU and wake-ups over 10 s.
    const double idleSeconds = 10;
    const double idleCpu0 = RunTime(pid);
    const long long idleSwitches0 = ContextSwitches(pid);
    ::Sleep(static_cast<DWORD>(idleSeconds * 1000));
    const double idleCpu = (RunTime(pid) - idleCpu0) / idleSeconds;
    const double idleWakeups = static_cast<double>(ContextSwitches(pid) - idleSwitches0) / idleSeconds;
    std::printf("idle program: %.2f ms CPU per second, %.1f wake-ups per second\n", idleCpu * 1000, idleWakeups);

    std::vector<SetResult> results;
    for (const Set& set : sets) {
        std::vector<std::string> commandLines;
        const std::string temp = set.out + kTempFileName;
        for (const std::string& name : set.names)
            commandLines.push_back(
                ToolCommandLine(tk::ShortPathName(toolFolder), tk::ShortPathName(set.clips + name), temp));
        EmptyFolder(set.out);

        SetResult result;
        result.name = set.name;
        result.goal = set.goal;
        result.files = static_cast<int>(set.names.size());
        std::vector<double> bareSeconds, programSeconds, toolCpu;
        auto bare = [&](int round) {
            const Bare run = RunBare(commandLines, temp);
            bareSeconds.push_back(run.seconds);
            if (run.cpu.tools >= 0) toolCpu.push_back(run.cpu.tools);
            std::printf("%s, bare tool (%d): %.2f s; tools' CPU %.2f s; Wine server %.3f s\n", set.name.c_str(),
                        round, run.seconds, run.cpu.tools, run.cpu.server);
        };
        // Rounds of the bare tool and the batch in turns, so that the load
        // of the machine weighs on both alike; then one batch with the probe.
        std::map<std::string, double> threadCpu;
        double programCpu = 0, toolsCpu = 0, serverCpu = 0;
        for (int round = 1; round <= rounds; ++round) {
            bare(round);
            const Batch run = RunBatch(program, pid, main, set, false);
            programSeconds.push_back(run.seconds);
            std::printf("%s, program (%d): %.2f s; program's CPU %.3f s, tools' %.2f s, Wine server %.3f s; "
                        "peak working set %.1f MB%s\n",
                        set.name.c_str(), round, run.seconds, run.cpu.program, run.cpu.tools, run.cpu.server,
                        run.peakKb / 1024.0, run.peakReset ? "" : " (peak not reset)");
            programCpu += run.cpu.program;
            toolsCpu += run.cpu.tools;
            serverCpu += run.cpu.server;
            for (const auto& [tid, cpu] : run.threadCpu) threadCpu[tid] += cpu;
            result.peakKb = std::max(result.peakKb, run.peakKb);
        }
        {
            const Batch run = RunBatch(program, pid, main, set, true);
            std::printf("%s, program with the probe: %.2f s; program's CPU %.3f s; peak working set %.1f MB; "
                        "longest stall %.1f ms at %.2f s over %d replies\n",
                        set.name.c_str(), run.seconds, run.cpu.program, run.peakKb / 1024.0, run.stallMs,
                        run.stallAt, run.replies);
            result.stallMs = run.stallMs;
            result.peakKb = std::max(result.peakKb, run.peakKb);
        }
        result.floor = RunFloor(work, commandLines, temp, rounds);
        result.programCpu = programCpu;
        result.toolCpu = toolsCpu;
        result.serverCpu = serverCpu;
        std::printf("%s, the program's CPU by thread over the batches without the probe:", set.name.c_str());
        for (const auto& [tid, cpu] : threadCpu)
            if (cpu > 0) std::printf(" %s%s %.1f ms;", tid == pid ? "UI thread " : "thread ", tid.c_str(), cpu * 1000);
        std::printf("\n");
        result.bare = Sum(bareSeconds);
        result.program = Sum(programSeconds);
        // The tools' CPU: the batches' own where the group gave it, else the bare runs'.
        if (result.toolCpu <= 0 && !toolCpu.empty()) result.toolCpu = Sum(toolCpu);
        results.push_back(result);
        std::printf("bare per file;%s;%.3f\n", set.name.c_str(), result.bare / (result.files * rounds));
        std::fflush(stdout);
    }

    std::printf("\n| batch (%d rounds) | bare tool | program | program / bare | per file |\n|---|---|---|---|---|\n",
                rounds);
    for (const SetResult& r : results) {
        const double ratio = r.program / r.bare;
        std::printf("| %s | %.2f s | %.2f s | %.3f (goal <= %.2f: %s) | %+.0f ms |\n", r.name.c_str(), r.bare,
                    r.program, ratio, r.goal, Goal(ratio <= r.goal, Format("%.3f", ratio - r.goal)).c_str(),
                    (r.program - r.bare) / (r.files * rounds) * 1000);
    }
    std::printf("\n| batch | program's CPU | tools' CPU | program / tools (goal <= 1 %%) | Wine server's CPU |\n"
                "|---|---|---|---|---|\n");
    for (const SetResult& r : results) {
        const double share = r.toolCpu > 0 ? r.programCpu / r.toolCpu * 100 : -1;
        std::printf("| %s | %.1f ms | %.2f s | %s | %.0f ms |\n", r.name.c_str(), r.programCpu * 1000, r.toolCpu,
                    share < 0 ? "unknown" : (Format("%.2f %%", share) + " " + Goal(share <= 1, Format("%.2f points", share - 1))).c_str(),
                    r.serverCpu * 1000);
    }
    std::printf("\n| batch | the floor's CPU | tools' CPU in its runs | floor / tools | the program's CPU beyond "
                "the floor |\n|---|---|---|---|---|\n");
    for (const SetResult& r : results) {
        const Floor& f = r.floor;
        if (f.cpu < 0 || f.toolCpu <= 0 || r.toolCpu <= 0) {
            std::printf("| %s | unknown | | | |\n", r.name.c_str());
            continue;
        }
        const double beyond = (r.programCpu - f.cpu) / rounds;  // a batch's
        std::printf("| %s | %.1f ms | %.2f s | %.2f %% | %.1f ms a batch, %.1f ms a file |\n", r.name.c_str(),
                    f.cpu * 1000, f.toolCpu, f.cpu / f.toolCpu * 100, beyond * 1000, beyond / r.files * 1000);
    }
    std::printf("\n| batch | UI thread's longest stall (goal <= 50 ms) | peak working set | notepad | ratio (goal <= 1.5) |\n"
                "|---|---|---|---|---|\n");
    for (const SetResult& r : results) {
        const double ratio = notepadKb > 0 ? static_cast<double>(r.peakKb) / static_cast<double>(notepadKb) : -1;
        std::printf("| %s | %.1f ms %s | %.1f MB | %.1f MB | %s |\n", r.name.c_str(), r.stallMs,
                    Goal(r.stallMs <= 50, Format("%.1f ms", r.stallMs - 50)).c_str(), r.peakKb / 1024.0,
                    notepadKb / 1024.0,
                    ratio < 0 ? "unknown" : (Format("%.2f", ratio) + " " + Goal(ratio <= 1.5, Format("%.2f", ratio - 1.5))).c_str());
    }
    std::printf("\nidle program: %.2f ms CPU per second, %.1f wake-ups per second (over %.0f s)\n", idleCpu * 1000,
                idleWakeups, idleSeconds);
    std::fflush(stdout);
}
