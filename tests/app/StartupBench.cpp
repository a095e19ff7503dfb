// What the start-up step costs with the converter the program carries (the
// real one, as the program ships it): the first start's install into an
// empty tool folder, the check of each later start when this release's
// converter is there, and the install over a converter of another build of
// the same size (the check reads it whole before it replaces it). Each is
// timed in turns, and the medians printed. The working set after the install
// shows that the carried converter's pages did not join it.
//   StartupBench.exe [rounds]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "toolkit/Files.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The time one start-up step takes, and whether it found the tool in place.
double TimedInstall(const std::string& windows, bool& ready) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    ready = InstallConverterToolInto(windows, ::GetModuleHandleA(nullptr));
    ::QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.WorkingSetSize) / (1024 * 1024);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    testing_support::ScratchFolder scratch;
    const std::string windows = scratch.Path() + "windows";
    const std::string tool = windows + "\\quendrix_yt_1\\nnn.exe";
    ::CreateDirectoryA(windows.c_str(), nullptr);
    const double before = WorkingSetMb();
    double afterInstall = 0;
    std::vector<double> install, check, replace;
    std::string otherBuild;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        bool ready = false;
        testing_support::RemoveTree(windows + "\\quendrix_yt_1\\");
        install.push_back(TimedInstall(windows, ready));
        ok = ok && ready;
        check.push_back(TimedInstall(windows, ready));
        ok = ok && ready;
        if (otherBuild.empty()) {
            afterInstall = WorkingSetMb();  // before this benchmark holds a converter of its own
            otherBuild = testing_support::ReadBytes(tool);
            otherBuild[otherBuild.size() / 2] ^= 1;
        }
        testing_support::WriteBytes(tool, otherBuild);
        replace.push_back(TimedInstall(windows, ready));
        ok = ok && ready;
    }
    const auto size = tk::LookUpSize(tool).value_or(0);
    std::printf("converter: %.2f MB; %d rounds\n", static_cast<double>(size) / (1024 * 1024), rounds);
    std::printf("| start-up step | median | goal |\n|---|---|---|\n");
    std::printf("| first start: install into an empty folder | %.1f ms | <= 150 ms |\n", Median(install));
    std::printf("| later start: this release's converter checked | %.1f ms | <= 20 ms |\n", Median(check));
    std::printf("| another build of the same size replaced | %.1f ms | |\n", Median(replace));
    std::printf("working set: %.1f MB before the first start's install, %.1f MB after it and a check "
                "(the converter is %.1f MB)\n",
                before, afterInstall, static_cast<double>(size) / (1024 * 1024));
    if (!ok) std::printf("FAILED: a start-up step did not find the tool in place\n");
    return ok ? 0 : 1;
}
