// Helpers for tests that drive real windows under Wine.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Handles.h"
#include "toolkit/Shell.h"

namespace testing_support {

// A fresh folder under the temporary folder, removed with all it holds.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // With its trailing backslash.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// The content of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// Everything in a folder (ending with a backslash) but "." and "..", sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// Calls `each` for every entry that matches a FindFirstFile pattern ("." and
// ".." too), until it returns false.
void ForEachEntry(const std::string& pattern, const std::function<bool(const WIN32_FIND_DATAA&)>& each);

// NUL opened for a child to inherit: a console nobody reads.
tk::FileHandle InheritableNul();
// Runs a command line hidden, with its standard handles on `console` (an
// inheritable handle), and waits for its end; false when it cannot start.
bool RunToEnd(const std::string& commandLine, HANDLE console);

// Handles every message that comes in for about `ms` milliseconds.
void FlushEvents(int ms = 50);
// Handles messages until the condition holds or the time runs out; returns
// the condition's last value.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Records every shell launch made while it lives, instead of launching.
class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    const std::vector<tk::ShellRequest>& Requests() const { return requests_; }

private:
    std::vector<tk::ShellRequest> requests_;
    tk::ShellLauncher previous_;
};

// Records the texts of the standard error box while it lives.
class ErrorRecorder {
public:
    ErrorRecorder();
    ~ErrorRecorder();
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    std::vector<std::string> errors_;
};

// Answers the message boxes of this process while it lives: a thread of its
// own waits for each box with the caption, notes its text and presses its
// OK button, so that a test blocked inside the box's modal loop goes on.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::string caption);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    // The texts of the boxes answered so far, and the same in wide form.
    std::vector<std::string> Texts() const;
    std::vector<std::wstring> WideTexts() const;
    // Whether the last box answered was owned by this window.
    HWND LastOwner() const;

private:
    static DWORD WINAPI Run(void* self);
    std::string caption_;
    tk::Handle stop_;
    tk::Handle thread_;
    mutable CRITICAL_SECTION lock_;
    std::vector<std::string> texts_;
    std::vector<std::wstring> wideTexts_;
    HWND lastOwner_ = nullptr;
};

// Chooses from the pop-up menu that opens next, with the keys a user would
// press, and notes the captions it showed and where it opened. The menu runs
// its own loop, so the keys come from a thread timer that this loop
// dispatches.
class MenuChooser {
public:
    // index: the item to choose, counted among the items that can be chosen
    // (separators are passed over); -1 dismisses the menu.
    explicit MenuChooser(int index);
    ~MenuChooser();
    MenuChooser(const MenuChooser&) = delete;
    MenuChooser& operator=(const MenuChooser&) = delete;
    // Separators as "-".
    const std::vector<std::string>& Captions() const { return captions_; }
    bool Shown() const { return shown_; }
    // The menu window's place on the screen.
    RECT Place() const { return place_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    static MenuChooser* current_;
    int index_;
    UINT_PTR timer_ = 0;
    bool shown_ = false;
    RECT place_{};
    std::vector<std::string> captions_;
};

// Sends a click to a native button as the user's click would come.
void ClickButton(HWND button);
// Finds a visible top-level window of this process with the given caption and
// window class ("#32770" for message boxes), or nullptr.
HWND FindOwnWindow(const std::string& caption, const char* windowClass = nullptr);
// The same for any process; a null caption or class matches every one.
HWND FindProcessWindow(DWORD processId, const std::string* caption, const char* windowClass);

// The drop that the shell hands a window: a DROPFILES header, then the wide
// paths, each ended by a NUL, the list by one more. The window's owner of
// the drop releases it.
HDROP MakeDrop(const std::vector<std::wstring>& paths);

}  // namespace testing_support
