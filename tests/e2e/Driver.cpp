#include "e2e/Driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "toolkit/Dpi.h"

namespace e2e {

namespace {

struct Search {
    DWORD pid;
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND hwnd, LPARAM data) {
    auto* s = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid) return TRUE;
    if (RunningProgram::Text(hwnd) != *s->caption) return TRUE;
    s->found = hwnd;
    return FALSE;
}

}  // namespace

std::string FreshFolder(const std::string& name) {
    char temp[MAX_PATH + 1];
    ::GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "quendrix_e2e\\" + name + "\\";
    ::CreateDirectoryA((std::string(temp) + "quendrix_e2e").c_str(), nullptr);
    RemoveTree(folder);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

HWND ChildAt(HWND parent, RECT design) {
    const RECT wanted = tk::ScaleRect(design, tk::SystemDpi());
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        if (::EqualRect(&r, &wanted)) return child;
    }
    return nullptr;
}

void Click(HWND control) {
    RECT r;
    ::GetClientRect(control, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    ::PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(control, WM_LBUTTONUP, 0, at);
}

void Type(HWND control, const std::string& text) {
    for (unsigned char c : text) ::PostMessageA(control, WM_CHAR, c, 1);
}

int ListRows(HWND main) {
    HWND list = ::FindWindowExA(main, nullptr, WC_LISTVIEWA, nullptr);
    return list ? static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

HWND FileNameField(HWND dialog) {
    HWND field = ::GetDlgItem(dialog, 1148);
    char cls[32] = "";
    if (field) ::GetClassNameA(field, cls, sizeof cls);
    if (field && lstrcmpiA(cls, "ComboBoxEx32") == 0) field = ::FindWindowExA(field, nullptr, "ComboBox", nullptr);
    if (field && lstrcmpiA(cls, "Edit") != 0) field = ::FindWindowExA(field, nullptr, "Edit", nullptr);
    if (!field) field = ::GetDlgItem(dialog, 1152);
    return field;
}

void TypeIntoOpenDialog(HWND dialog, HWND nameField, const std::string& folder, const std::vector<std::string>& names) {
    Type(nameField, folder);
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ::Sleep(1000);
    std::string typed;
    for (const auto& name : names) typed += "\"" + name + "\" ";
    ::SendMessageA(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    Type(nameField, typed);
    ::Sleep(300);
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

std::string ReadFile(const std::string& path) { return testing_support::ReadBytes(path); }
void WriteFile(const std::string& path, const std::string& bytes) { testing_support::WriteBytes(path, bytes); }
bool Exists(const std::string& path) { return testing_support::Exists(path); }
void RemoveTree(const std::string& path) { testing_support::RemoveTree(path); }

RunningProgram::RunningProgram(const std::string& folder) : folder_(folder) {
    const std::string exe = folder + "QuendrixOmbrelo.exe";
    if (!::CreateHardLinkA(exe.c_str(), QUENDRIX_EXE, nullptr)) ::CopyFileA(QUENDRIX_EXE, exe.c_str(), FALSE);
    Start(exe);
}

RunningProgram::RunningProgram(const InstalledCopy& installed)
    : folder_(installed.exe.substr(0, installed.exe.find_last_of('\\') + 1)) {
    Start(installed.exe);
}

void RunningProgram::Start(const std::string& exe) {
    if (const std::string error = RegisterRecorders(QUENDRIX_RECORDER); !error.empty())
        ADD_FAILURE() << "the launch recorders are not in place: " << error;
    logMark_ = LaunchLogMark();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(),
                          &startup, &started)) {
        ADD_FAILURE() << "cannot start " << exe << " (error " << ::GetLastError() << ")";
        return;
    }
    tk::Handle thread(started.hThread);
    process_.Reset(started.hProcess);
    processId_ = started.dwProcessId;
    ::WaitForInputIdle(process_.Get(), 10000);
}

RunningProgram::~RunningProgram() {
    if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.Get(), 1);
        ::WaitForSingleObject(process_.Get(), 5000);
    }
}

void RunningProgram::Kill() {
    if (!process_) return;
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 5000);
}

std::vector<DWORD> ChildProcesses(DWORD parent, const std::string& exe) {
    std::vector<DWORD> found;
    tk::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == parent && lstrcmpiA(entry.szExeFile, exe.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    return found;
}

HWND RunningProgram::Window(const std::string& caption) const {
    Search s{processId_, &caption, nullptr};
    ::EnumWindows(&MatchTopWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND RunningProgram::WaitForVisible(const std::string& caption, int timeoutMs) const {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        HWND hwnd = Window(caption);
        if (hwnd && ::IsWindowVisible(hwnd)) return hwnd;
        ::Sleep(50);
    }
    return nullptr;
}

bool RunningProgram::WaitForHidden(const std::string& caption, int timeoutMs) const {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        HWND hwnd = Window(caption);
        if (hwnd && !::IsWindowVisible(hwnd)) return true;
        ::Sleep(50);
    }
    return false;
}

HWND RunningProgram::Child(HWND parent, const char* windowClass, const std::string& text) {
    return ::FindWindowExA(parent, nullptr, windowClass, text.c_str());
}

std::string RunningProgram::Text(HWND hwnd) {
    char text[1024] = "";
    ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                          nullptr);
    return text;
}

bool RunningProgram::WaitForExit(int timeoutMs) const {
    return process_ && ::WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

std::vector<Launch> RunningProgram::Launches() const { return LaunchesSince(logMark_, processId_); }

std::vector<Launch> RunningProgram::WaitForLaunches(size_t count, int timeoutMs) const {
    std::vector<Launch> launches = Launches();
    for (int waited = 0; launches.size() < count && waited < timeoutMs; waited += 100) {
        ::Sleep(100);
        launches = Launches();
    }
    return launches;
}

}  // namespace e2e
