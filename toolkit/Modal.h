// While a modal window of ours (a form shown modally, a system dialog) is
// open, every other window of the thread is disabled; this scope does that
// and gives each window back its enabled state when it ends, also when the
// dialog fails.
#pragma once

#include <windows.h>

#include <vector>

namespace tk {

class DisabledWindows {
public:
    // Disables every visible, enabled top-level window of this thread but
    // `except` (nullptr: none).
    explicit DisabledWindows(HWND except = nullptr);
    ~DisabledWindows();
    DisabledWindows(const DisabledWindows&) = delete;
    DisabledWindows& operator=(const DisabledWindows&) = delete;

private:
    std::vector<HWND> disabled_;  // not ours: enabled again, never destroyed
};

// The system's critical-error boxes ("There is no disk in the drive") are
// off while it lives; the previous error mode comes back at its end.
class NoCriticalErrorBoxes {
public:
    NoCriticalErrorBoxes() : previous_(::SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~NoCriticalErrorBoxes() { ::SetErrorMode(previous_); }
    NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
    NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

private:
    UINT previous_;
};

}  // namespace tk
