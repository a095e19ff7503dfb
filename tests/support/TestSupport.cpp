#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>

#include "toolkit/Application.h"
#include "toolkit/Files.h"

namespace testing_support {

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH + 1];
    ::GetTempPathA(sizeof temp, temp);
    static int counter = 0;
    for (;;) {
        path_ = std::string(temp) + "quendrix_test_" + std::to_string(::GetCurrentProcessId()) + "_" +
                std::to_string(++counter) + "\\";
        if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
    std::string folder = path;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(folder.c_str());
        return;
    }
    ForEachEntry(folder + "\\*", [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") RemoveTree(folder + "\\" + name);
        return true;
    });
    ::RemoveDirectoryA(folder.c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    std::fclose(f);
    return bytes;
}

bool Exists(const std::string& path) { return tk::PathExists(path); }

void ForEachEntry(const std::string& pattern, const std::function<bool(const WIN32_FIND_DATAA&)>& each) {
    WIN32_FIND_DATAA entry;
    const tk::FindHandle find(::FindFirstFileA(pattern.c_str(), &entry));
    if (!find) return;
    do {
        if (!each(entry)) return;
    } while (::FindNextFileA(find.Get(), &entry));
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    ForEachEntry(folder + "*", [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") names.push_back(name);
        return true;
    });
    std::sort(names.begin(), names.end());
    return names;
}

tk::FileHandle InheritableNul() {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return tk::FileHandle(::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inheritable, OPEN_EXISTING, 0, nullptr));
}

bool RunToEnd(const std::string& commandLine, HANDLE console) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = console;
    std::string writable = commandLine;  // CreateProcessA may write into it
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return false;
    const tk::Handle process(started.hProcess), thread(started.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    return true;
}

namespace {

void PumpOnce() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) return;  // left for the test to see
        tk::Application::Get().HandleMessage();
    }
}

}  // namespace

void FlushEvents(int ms) {
    const DWORD end = ::GetTickCount() + ms;
    do {
        PumpOnce();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<int>(end - ::GetTickCount()) > 0);
    PumpOnce();
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const DWORD end = ::GetTickCount() + timeoutMs;
    while (!condition()) {
        if (static_cast<int>(end - ::GetTickCount()) <= 0) return condition();
        FlushEvents(10);
    }
    return true;
}

ShellRecorder::ShellRecorder() {
    previous_ = tk::SetShellLauncher([this](const tk::ShellRequest& r) { requests_.push_back(r); });
}

ShellRecorder::~ShellRecorder() { tk::SetShellLauncher(previous_); }

ErrorRecorder::ErrorRecorder() {
    tk::Application::Get().SetErrorSink([this](const std::string& text) { errors_.push_back(text); });
}

ErrorRecorder::~ErrorRecorder() { tk::Application::Get().SetErrorSink(nullptr); }

void ClickButton(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }

namespace {

BOOL CALLBACK FindMenuWindow(HWND hwnd, LPARAM data) {
    char cls[32] = "";
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && lstrcmpA(cls, "#32768") == 0) {
        *reinterpret_cast<HWND*>(data) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

MenuChooser* MenuChooser::current_ = nullptr;

MenuChooser::MenuChooser(int index) : index_(index) {
    current_ = this;
    timer_ = ::SetTimer(nullptr, 0, 50, &MenuChooser::Tick);
}

MenuChooser::~MenuChooser() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
}

void CALLBACK MenuChooser::Tick(HWND, UINT, UINT_PTR, DWORD) {
    MenuChooser* self = current_;
    if (!self || self->shown_) return;
    HWND window = nullptr;
    ::EnumWindows(&FindMenuWindow, reinterpret_cast<LPARAM>(&window));
    if (!window) return;
    self->shown_ = true;
    ::GetWindowRect(window, &self->place_);
    const auto menu = reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ::GetMenuItemInfoA(menu, i, TRUE, &info);
        self->captions_.push_back(info.fType & MFT_SEPARATOR ? "-" : text);
    }
    if (self->index_ < 0) {
        ::PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
        return;
    }
    for (int i = 0; i <= self->index_; ++i) ::PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    ::PostMessageA(window, WM_KEYDOWN, VK_RETURN, 1);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::string caption) : caption_(std::move(caption)) {
    ::InitializeCriticalSection(&lock_);
    stop_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    thread_.Reset(::CreateThread(nullptr, 0, &MessageBoxAnswerer::Run, this, 0, nullptr));
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    ::SetEvent(stop_.Get());
    // The thread may be inside a message it sends to our windows (their
    // texts): take those while waiting.
    const HANDLE thread = thread_.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::DeleteCriticalSection(&lock_);
}

std::vector<std::string> MessageBoxAnswerer::Texts() const {
    ::EnterCriticalSection(&lock_);
    std::vector<std::string> texts = texts_;
    ::LeaveCriticalSection(&lock_);
    return texts;
}

std::vector<std::wstring> MessageBoxAnswerer::WideTexts() const {
    ::EnterCriticalSection(&lock_);
    std::vector<std::wstring> texts = wideTexts_;
    ::LeaveCriticalSection(&lock_);
    return texts;
}

HWND MessageBoxAnswerer::LastOwner() const {
    ::EnterCriticalSection(&lock_);
    HWND owner = lastOwner_;
    ::LeaveCriticalSection(&lock_);
    return owner;
}

DWORD WINAPI MessageBoxAnswerer::Run(void* parameter) {
    auto* self = static_cast<MessageBoxAnswerer*>(parameter);
    while (::WaitForSingleObject(self->stop_.Get(), 20) == WAIT_TIMEOUT) {
        HWND box = FindOwnWindow(self->caption_, "#32770");
        if (!box) continue;
        char text[4096] = "";
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's text
        wchar_t wide[4096] = L"";
        ::GetDlgItemTextW(box, 0xFFFF, wide, 4096);
        ::EnterCriticalSection(&self->lock_);
        self->texts_.push_back(text);
        self->wideTexts_.push_back(wide);
        self->lastOwner_ = ::GetWindow(box, GW_OWNER);
        ::LeaveCriticalSection(&self->lock_);
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        // Wait for it to go before looking for the next one.
        for (int i = 0; i < 250 && ::IsWindow(box) && ::IsWindowVisible(box); ++i) ::Sleep(20);
    }
    return 0;
}

namespace {

struct FindRequest {
    DWORD pid;
    const std::string* caption;
    const char* windowClass;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM data) {
    auto* request = reinterpret_cast<FindRequest*>(data);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != request->pid || !::IsWindowVisible(hwnd)) return TRUE;
    char text[256] = "", cls[64] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (request->windowClass && lstrcmpiA(cls, request->windowClass) != 0) return TRUE;
    if (request->caption) ::GetWindowTextA(hwnd, text, sizeof text);
    if (!request->caption || *request->caption == text) {
        request->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const std::string* caption, const char* windowClass) {
    FindRequest request{processId, caption, windowClass, nullptr};
    ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

HWND FindOwnWindow(const std::string& caption, const char* windowClass) {
    return FindProcessWindow(::GetCurrentProcessId(), &caption, windowClass);
}

HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (const auto& p : paths) chars += p.size() + 1;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const auto& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size() + 1;
    }
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace testing_support
