// Starts an installed copy of the program as the Start menu would and
// operates it through its first start (release_test.sh runs it under Wine):
//   StartInstalled <full path of QuendrixOmbrelo.exe>
// Checks the file's version resource, that the main window comes up, closes
// the codec prompt of the first run with its close button (nothing is
// started then) and closes the main window, which saves "set.txt" beside the
// program. Prints what it sees; the exit code is 0 when everything held.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "toolkit/Handles.h"

namespace {

constexpr char kMain[] = "Quendrix Ombrelo 1.0";
constexpr char kPrompt[] = "Quendrix Ombrelo Installation";

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

std::string VersionText(const std::vector<char>& info, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) return "";
    return text;
}

void CheckVersion(const std::string& exe) {
    DWORD ignored = 0;
    std::vector<char> info(::GetFileVersionInfoSizeA(exe.c_str(), &ignored));
    Check(!info.empty() && ::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()),
          "the program has a version resource");
    if (info.empty()) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length);
    Check(fixed && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
              fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
          "file and product version 1.0.0.0");
    const struct {
        const char* name;
        const char* value;
    } texts[] = {
        {"ProductName", "Quendrix Ombrelo"},
        {"ProductVersion", "1.0.0.0"},
        {"FileVersion", "1.0.0.0"},
        {"CompanyName", "Quendrix Software"},
        {"LegalCopyright", "Copyright (C) 2026 Quendrix Software"},
        {"OriginalFilename", "QuendrixOmbrelo.exe"},
        {"FileDescription", "Quendrix Ombrelo - Google Video to AVI converter"},
    };
    for (const auto& t : texts) {
        const std::string value = VersionText(info, t.name);
        Check(value == t.value, std::string(t.name) + " is \"" + value + "\"");
    }
}

struct Search {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    char text[256] = "";
    ::GetWindowTextA(hwnd, text, sizeof text);
    if (pid != s->pid || std::string(text) != s->caption || !::IsWindowVisible(hwnd)) return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND WaitForVisible(DWORD pid, const char* caption, int timeoutMs = 30000) {
    for (int waited = 0; waited <= timeoutMs; waited += 100) {
        Search s{pid, caption, nullptr};
        ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        ::Sleep(100);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: StartInstalled <QuendrixOmbrelo.exe>\n");
        return 2;
    }
    const std::string exe = argv[1];
    const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    CheckVersion(exe);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string commandLine = "\"" + exe + "\"";
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &started)) {
        Check(false, "the program starts (error " + std::to_string(::GetLastError()) + ")");
        return 1;
    }
    tk::Handle process(started.hProcess);
    tk::Handle thread(started.hThread);

    Check(WaitForVisible(started.dwProcessId, kMain) != nullptr, "the main window shows");
    HWND prompt = WaitForVisible(started.dwProcessId, kPrompt);
    Check(prompt != nullptr, "the codec prompt of the first start shows");
    if (prompt) ::PostMessageA(prompt, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND main = WaitForVisible(started.dwProcessId, kMain);
    Check(main != nullptr, "the main window comes back");
    // "done.txt" is written just after the main window comes back.
    for (int waited = 0; waited < 10000 && ::GetFileAttributesA((folder + "done.txt").c_str()) == INVALID_FILE_ATTRIBUTES;
         waited += 100)
        ::Sleep(100);
    if (main) ::PostMessageA(main, WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(process.Get(), 15000) == WAIT_OBJECT_0;
    Check(ended, "the program ends when its main window closes");
    if (!ended) ::TerminateProcess(process.Get(), 1);
    return failures == 0 ? 0 : 1;
}
