// The least that any Windows program must do for a batch, for the benchmark
// to weigh the program against: a window shown while the batch runs; for each
// file, its output file reserved, the tool started with its output on a pipe,
// and that output read until the tool has ended; then "Done." in a message
// box, and the window hidden again. No progress shown, no file checked or
// renamed, no second thread.
//
//   batch_floor.exe <file of command lines, one a line> <the tools' output file>
//
// It waits with its window hidden; each kRunFloorBatch posted to the window runs
// the batch once. The benchmark measures it from outside as it measures the
// program: its threads' CPU from the message to the visible box.
#include "e2e/BatchFloor.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/Handles.h"

namespace {

constexpr DWORD kReadPause = 500;  // ms between drains while a tool runs

std::vector<std::string> CommandLines;
std::string OutputFile;

std::vector<std::string> LinesOf(const std::string& path) {
    std::vector<std::string> lines;
    tk::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return lines;
    std::string text, line;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
    for (const char c : text + "\n") {
        if (c != '\r' && c != '\n') {
            line += c;
        } else if (!line.empty()) {
            lines.push_back(line);
            line.clear();
        }
    }
    return lines;
}

void Drain(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!::ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) return;
        output.append(chunk, 0, read);
    }
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

// One tool run to its end, the window kept alive meanwhile.
bool RunTool(const std::string& commandLine) {
    ::DeleteFileA(OutputFile.c_str());
    tk::FileHandle(::CreateFileA(OutputFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    tk::Handle readPipe, writePipe;
    if (!::CreatePipe(readPipe.Out(), writePipe.Out(), &inheritable, 0)) return false;
    ::SetHandleInformation(readPipe.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = writePipe.Get();
    PROCESS_INFORMATION started{};
    std::string writable = commandLine;
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return false;
    tk::Handle process(started.hProcess), thread(started.hThread);
    writePipe.Reset();
    std::string output;
    const HANDLE waitOn = process.Get();
    while (::MsgWaitForMultipleObjects(1, &waitOn, FALSE, kReadPause, QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages();
        Drain(readPipe.Get(), output);
    }
    Drain(readPipe.Get(), output);
    return true;
}

void RunBatch(HWND window) {
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    bool all = true;
    for (const std::string& commandLine : CommandLines) all = RunTool(commandLine) && all;
    ::MessageBoxW(window, all ? L"Done." : L"Not all started.", L"Batch floor", MB_OK | MB_TASKMODAL);
    ::ShowWindow(window, SW_HIDE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunFloorBatch:
        RunBatch(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        ::DrawTextW(dc, L"Converting...", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc != 3) return 2;
    CommandLines = LinesOf(__argv[1]);
    OutputFile = __argv[2];
    if (CommandLines.empty()) return 2;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kBatchFloorClass;
    if (!::RegisterClassExW(&windowClass)) return 1;
    // The progress window's size; hidden until a batch runs.
    const HWND window = ::CreateWindowExW(0, kBatchFloorClass, L"Batch floor", WS_POPUP | WS_BORDER, 200, 200, 387, 136,
                                          nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
}
