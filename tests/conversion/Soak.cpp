// Soak of the conversion engine (run by tools/bench_soak.sh): one long batch
// of short clips through the progress window with the program's real
// windows, as the Start command hands it over.
//
// Prints: the bare tool's time per clip on the same command lines (a sample
// of the clips, before and after the batch); the batch's time per file; the
// program's memory (private bytes, working set) and its handles, GDI and USER
// objects after a warm-up batch and after the long one; the final box; and
// what making a finished file whole on disk costs before its rename (a flush
// and a write-through rename against a plain rename), for a file of the
// clips' output size and for one of a 5-minute clip's. A Markdown table at
// the end.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "support/BatchDriver.h"
#include "support/Clock.h"
#include "support/HandleCount.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Com.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace {

using testing_support::HandleCount;
using testing_support::Seconds;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct Resources {
    double privateMb = 0, workingSetMb = 0;
    DWORD handles = 0, gdi = 0, user = 0;
};

Resources Measure() {
    Resources r;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory)) {
        r.privateMb = memory.PrivateUsage / 1048576.0;
        r.workingSetMb = memory.WorkingSetSize / 1048576.0;
    }
    r.handles = HandleCount();
    r.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    r.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return r;
}

// Runs a command line with its console on NUL and waits for its end.
double RunBare(const std::string& commandLine) {
    const tk::FileHandle nul = testing_support::InheritableNul();
    const double start = Seconds();
    if (!testing_support::RunToEnd(commandLine, nul.Get())) return -1;
    return Seconds() - start;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Answers every message box the moment it is activated, keeping its text.
std::vector<std::string> BoxTexts;
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        char cls[16] = "";
        ::GetClassNameA(box, cls, sizeof cls);
        if (std::string(cls) == "#32770") {
            char text[4096] = "";
            ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            BoxTexts.push_back(text);
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A batch as the Start command hands it over, to its final box; its seconds.
double RunBatch(const std::vector<std::string>& sources, const std::string& out) {
    const double start = Seconds();
    testing_support::RunBatchToItsEnd(sources, out);
    return Seconds() - start;
}

void EmptyFolder(const std::string& folder) {
    testing_support::ForEachEntry(folder + "*", [&](const WIN32_FIND_DATAA& entry) {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ::DeleteFileA((folder + entry.cFileName).c_str());
        return true;
    });
}

int CountFiles(const std::string& folder) {
    int count = 0;
    testing_support::ForEachEntry(folder + "*", [&](const WIN32_FIND_DATAA& entry) {
        count += !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        return true;
    });
    return count;
}

// Milliseconds per file to write `bytes` fresh and give it its final name:
// plainly, or flushed to disk and renamed with write-through as a finished
// file is. Each round writes its own file, so nothing is flushed already.
struct RenameCost {
    double plainMs = 0, flushedMs = 0, flushOnlyMs = 0;
};

RenameCost MeasureRename(const std::string& folder, const std::string& bytes, int rounds) {
    RenameCost cost;
    std::vector<double> plain, flushed, flushOnly;
    for (int round = 0; round < rounds; ++round) {
        for (const bool flush : {false, true}) {
            const std::string temp = folder + "temp_2953.avi", final = folder + "final.AVI";
            ::DeleteFileA(final.c_str());
            {
                tk::FileHandle file(::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
                DWORD written = 0;
                ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            }
            const double start = Seconds();
            if (flush) {
                tk::FlushToDisk(tk::Widen(temp));
                flushOnly.push_back((Seconds() - start) * 1000);
            }
            ::MoveFileExA(temp.c_str(), final.c_str(), flush ? MOVEFILE_WRITE_THROUGH : 0);
            (flush ? flushed : plain).push_back((Seconds() - start) * 1000);
        }
    }
    ::DeleteFileA((folder + "final.AVI").c_str());
    cost.plainMs = Median(plain);
    cost.flushedMs = Median(flushed);
    cost.flushOnlyMs = Median(flushOnly);
    return cost;
}

}  // namespace

int main() {
    const tk::OleApartment ole;
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Quendrix Ombrelo 1.0");
    const std::string toolFolder = Environment("QUENDRIX_SOAK_TOOL_FOLDER");
    const std::string clips = Environment("QUENDRIX_SOAK_CLIPS");
    const std::string out = Environment("QUENDRIX_SOAK_OUT");
    const std::string program = Environment("QUENDRIX_SOAK_PROGRAM");
    const int count = std::atoi(Environment("QUENDRIX_SOAK_COUNT").c_str());
    // The bare runs take the first files of the batch: no more than it has.
    const int bareSample = std::clamp(std::atoi(Environment("QUENDRIX_SOAK_BARE").c_str()), 1, std::max(count, 1));
    if (toolFolder.empty() || clips.empty() || out.empty() || program.empty() || count <= 0) {
        std::fprintf(stderr, "run by tools/bench_soak.sh\n");
        return 2;
    }
    std::vector<std::string> sources;
    for (int i = 1; i <= count; ++i) sources.push_back(clips + "clip" + std::to_string(i) + ".mp4");

    tk::SetProgramFolderForTesting(program);
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);  // no start-up step: the tool folder is set here
    ToolFolder = tk::ShortPathName(toolFolder);
    Form1->CheckBox1->SetChecked(false);
    Form1->Show();
    tk::Application::Get().ProcessMessages();
    const HHOOK hook = ::SetWindowsHookExA(WH_CBT, BoxHook, nullptr, ::GetCurrentThreadId());

    // The bare tool on the command lines the worker uses.
    auto bare = [&] {
        std::vector<double> each;
        for (int i = 0; i < bareSample; ++i) {
            ::DeleteFileA((out + "temp_2953.avi").c_str());
            each.push_back(RunBare(TMyThread::BuildCommandLine(sources[i], out + "temp_2953.avi")));
        }
        ::DeleteFileA((out + "temp_2953.avi").c_str());
        return each;
    };
    std::vector<double> bareEach = bare();

    // A warm-up batch: whatever the system makes once.
    RunBatch({sources.begin(), sources.begin() + std::min(count, 3)}, out);
    EmptyFolder(out);
    BoxTexts.clear();
    const Resources before = Measure();
    const double batchSeconds = RunBatch(sources, out);
    tk::Application::Get().ProcessMessages();
    const Resources after = Measure();
    const int outputs = CountFiles(out);
    const std::vector<double> bareAfter = bare();
    bareEach.insert(bareEach.end(), bareAfter.begin(), bareAfter.end());

    // What the flush before the rename costs.
    std::string small;
    if (auto bytes = tk::ReadWholeFile(out + "clip1.AVI")) small = *bytes;
    std::string large(16 * 1024 * 1024, '\0');
    for (size_t i = 0; i < large.size(); i += 4096) large[i] = static_cast<char>(i >> 12);
    const std::string scratch = out + "rename\\";
    ::CreateDirectoryA(scratch.c_str(), nullptr);
    const RenameCost smallCost = MeasureRename(scratch, small, 40);
    const RenameCost largeCost = MeasureRename(scratch, large, 8);
    ::RemoveDirectoryA(scratch.c_str());
    if (hook) ::UnhookWindowsHookEx(hook);

    const double bareMedian = Median(bareEach);
    const double perFile = batchSeconds / count;
    std::printf("batch: %d files in %.1f s, %.3f s per file; bare tool (median of %zu runs): %.3f s; ratio %.2f\n",
                count, batchSeconds, perFile, bareEach.size(), bareMedian, bareMedian > 0 ? perFile / bareMedian : 0);
    std::printf("outputs: %d; final box: %s\n", outputs,
                BoxTexts.empty() ? "(none)" : BoxTexts.back().substr(0, 200).c_str());
    std::printf("\n| measure | after a 3-file warm-up | after %d files | change |\n|---|---|---|---|\n", count);
    std::printf("| private bytes | %.1f MB | %.1f MB | %+.1f MB |\n", before.privateMb, after.privateMb,
                after.privateMb - before.privateMb);
    std::printf("| working set | %.1f MB | %.1f MB | %+.1f MB |\n", before.workingSetMb, after.workingSetMb,
                after.workingSetMb - before.workingSetMb);
    std::printf("| handles | %lu | %lu | %+ld |\n", before.handles, after.handles,
                static_cast<long>(after.handles) - static_cast<long>(before.handles));
    std::printf("| GDI objects | %lu | %lu | %+ld |\n", before.gdi, after.gdi,
                static_cast<long>(after.gdi) - static_cast<long>(before.gdi));
    std::printf("| USER objects | %lu | %lu | %+ld |\n", before.user, after.user,
                static_cast<long>(after.user) - static_cast<long>(before.user));
    std::printf("\n| time per file | seconds |\n|---|---|\n| bare tool (median) | %.3f |\n| in the batch | %.3f |\n",
                bareMedian, perFile);
    std::printf("\n| before the rename (median ms) | plain rename | flush + write-through rename | of which flush |\n"
                "|---|---|---|---|\n");
    std::printf("| a 1 s clip's AVI (%zu bytes) | %.2f | %.2f | %.2f |\n", small.size(), smallCost.plainMs,
                smallCost.flushedMs, smallCost.flushOnlyMs);
    std::printf("| 16 MB (a 5 min clip's AVI) | %.2f | %.2f | %.2f |\n", largeCost.plainMs, largeCost.flushedMs,
                largeCost.flushOnlyMs);
    const bool flat = after.handles <= before.handles + 5 && after.privateMb <= before.privateMb + 8;
    std::printf("\nall %d converted: %s; handles and memory flat: %s\n", count, outputs == count ? "yes" : "NO",
                flat ? "yes" : "NO");
    tk::Application::Get().ResetForTesting();
    return outputs == count ? 0 : 1;
}
