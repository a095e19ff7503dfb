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

// The keyboard focus goes back, when it ends, to the control that held it
// when it began, if that control can still take it: a system dialog hands
// the focus to its owner window itself when it closes, and a keyboard user
// would have to find the control again.
class FocusKept {
public:
    FocusKept() : focus_(::GetFocus()) {}
    ~FocusKept() {
        if (focus_ && ::IsWindow(focus_) && ::IsWindowVisible(focus_) && ::IsWindowEnabled(focus_) &&
            ::GetActiveWindow() == ::GetAncestor(focus_, GA_ROOT))
            ::SetFocus(focus_);
    }
    FocusKept(const FocusKept&) = delete;
    FocusKept& operator=(const FocusKept&) = delete;

private:
    HWND focus_;  // not ours
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
