// Drives the built program from outside, as a user would: starts it in a
// program folder of its own, finds its windows, clicks their buttons, and
// reads what it leaves on disk and what it has the shell start.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "e2e/Recorders.h"
#include "toolkit/Handles.h"

namespace e2e {

// A copy of the program that lies where an installer or a zip put it.
struct InstalledCopy {
    std::string exe;  // its full Windows path
};

class RunningProgram {
public:
    // Copies the program into `folder` and starts it there. The recorders
    // (Recorders.h) are registered first, so whatever the program has the
    // shell start is recorded, and nothing real is started.
    explicit RunningProgram(const std::string& folder);
    // Starts an installed copy in its own folder, the recorders registered first.
    explicit RunningProgram(const InstalledCopy& installed);
    ~RunningProgram();  // ends the program if it still runs
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // A top-level window of the program with this caption, visible or not.
    HWND Window(const std::string& caption) const;
    // Waits until such a window is visible; nullptr after the time-out.
    HWND WaitForVisible(const std::string& caption, int timeoutMs = 30000) const;
    // Waits until the window exists and is hidden.
    bool WaitForHidden(const std::string& caption, int timeoutMs = 30000) const;
    // A child control of a window, by class and text.
    static HWND Child(HWND parent, const char* windowClass, const std::string& text);
    static std::string Text(HWND hwnd);
    // Waits for the program to end; true when it has.
    bool WaitForExit(int timeoutMs = 15000) const;
    // The programs that the shell has started for this program so far, in
    // the order they started.
    std::vector<Launch> Launches() const;
    // Waits until there are at least `count` of them; returns them all (fewer
    // after the time-out). Waiting for one with a short time-out is also how
    // a test sees that nothing was started.
    std::vector<Launch> WaitForLaunches(size_t count = 1, int timeoutMs = 15000) const;
    const std::string& Folder() const { return folder_; }
    DWORD ProcessId() const { return processId_; }
    // Ends the program from outside, as a task manager does.
    void Kill();

private:
    void Start(const std::string& exe);

    std::string folder_;
    size_t logMark_ = 0;
    DWORD processId_ = 0;
    tk::Handle process_;
};

// The processes now running whose parent is `parent` and whose program file
// is named `exe` (no folder).
std::vector<DWORD> ChildProcesses(DWORD parent, const std::string& exe);

// A fresh, empty folder for one run (removed first if left from an earlier run).
std::string FreshFolder(const std::string& name);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
void RemoveTree(const std::string& path);
bool WaitUntil(bool (*condition)(const void*), const void* data, int timeoutMs);

// Waits until the condition holds, looking every `stepMs`; true when it does.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs, int stepMs = 50) {
    for (int waited = 0; waited <= timeoutMs; waited += stepMs) {
        if (condition()) return true;
        ::Sleep(stepMs);
    }
    return condition();
}

// What a user does to the program's windows, sent as the mouse and the
// keyboard would.
//
// The child window whose rectangle, in the parent's client coordinates, is
// exactly the one given (in the layout's 96-DPI units, scaled as the program
// scales them to the screen's DPI): how the image buttons of the skin are found.
HWND ChildAt(HWND parent, RECT design);
// A left click in the middle of a control, posted as the mouse would.
void Click(HWND control);
// Types text into a control, character by character.
void Type(HWND control, const std::string& text);
// The rows of the main window's list; -1 when it has none.
int ListRows(HWND main);
// The Open dialog's file name field: cmb13, an edit or a combo box with an
// edit inside; edt1 in older dialogs. nullptr when there is none.
HWND FileNameField(HWND dialog);
// Picks files in the Open dialog as a user does: the folder typed into the
// name field, Enter, then the names in quotes, Enter.
void TypeIntoOpenDialog(HWND dialog, HWND nameField, const std::string& folder, const std::vector<std::string>& names);

}  // namespace e2e
