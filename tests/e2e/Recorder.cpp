// The recorder that tests register in their Wine prefix in place of the
// browser, the mail program and the folder window (see Recorders.h). It shows
// nothing: it appends one line to the launch log (its role, taken from its
// own file name, the process that started it, the show command it was given
// and its whole command line) and ends.
#include <windows.h>
#include <tlhelp32.h>

#include <cctype>

#include "e2e/Recorders.h"
#include "toolkit/Handles.h"

namespace {

std::string Role() {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    name = name.substr(0, name.find_last_of('.'));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

DWORD ParentProcess() {
    tk::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry))
        if (entry.th32ProcessID == ::GetCurrentProcessId()) return entry.th32ParentProcessID;
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    e2e::Launch launch;
    launch.role = Role();
    launch.parent = ParentProcess();
    launch.show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    launch.commandLine = ::GetCommandLineA();
    const std::string line = e2e::FormatLaunch(launch);

    // One write per line, so that recorders started together do not mix
    // their lines; a log held open by another writer is tried again.
    ::CreateDirectoryA(e2e::kRecorderFolder, nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tk::FileHandle log(::CreateFileA(e2e::kLaunchLog, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (log) {
            DWORD written = 0;
            ::WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            return 0;
        }
        ::Sleep(20);
    }
    return 1;
}
