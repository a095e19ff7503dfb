// What a screen reader learns about the toolkit's windows. A window that
// answers WM_GETOBJECT for its client area (AnswerGetObject) hands out an
// accessible object that asks the window's provider for its role, name,
// value and default action, and lists the provider's window-less items
// (labels, progress bars) as simple children before the child windows. What
// the provider leaves open (state, focus, child windows) comes from the
// system's own proxy for the window.
//
// Threads: everything here runs on the UI thread; the system calls the
// objects there too (the UI thread is a single-threaded apartment).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tk {

// A window-less part of a window, as a simple child of its client object.
struct AccessibleItem {
    LONG role = 0;  // ROLE_SYSTEM_...
    std::wstring name;
    std::wstring value;
    RECT bounds{};  // in the window's client coordinates
};

class AccessibleProvider {
public:
    virtual ~AccessibleProvider() = default;
    // 0: the system's proxy answers.
    virtual LONG AccessibleRole() const { return 0; }
    // Empty: the system's proxy answers (from the window text). Wide: a
    // label may show a file name outside the ANSI code page.
    virtual std::wstring AccessibleName() const { return {}; }
    virtual std::wstring AccessibleValue() const { return {}; }
    // Empty: the window has no default action.
    virtual std::wstring AccessibleDefaultAction() const { return {}; }
    // Runs the default action; false when there is none.
    virtual bool DoAccessibleDefaultAction() { return false; }
    virtual std::vector<AccessibleItem> AccessibleItems() const { return {}; }
};

// The provider answers for the window from now on, until it is removed.
void RegisterAccessible(HWND window, AccessibleProvider* provider);
void UnregisterAccessible(HWND window);

// WM_GETOBJECT: for the client area of a registered window, the result that
// hands its accessible object over; 0 otherwise (the default handling then
// runs, and the system's proxy stands for the window).
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// Tells listening screen readers that an item's name or value changed
// (EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE); item is the index in
// the provider's AccessibleItems().
void NotifyItemChanged(HWND window, DWORD event, size_t item);

// Navigation among the children of a client object, numbered as screen
// readers list them: the items from 1, then the child windows. The child
// reached from `start` (CHILDID_SELF or a child's number) by a move
// (NAVDIR_...) among `childCount` children; 0 when there is none;
// kNotAChildMove for a move that does not stay among the children (to the
// window's siblings, or by position on the screen), which the system's proxy
// answers.
inline constexpr LONG kNotAChildMove = -1;
LONG NavigateChildren(LONG direction, LONG start, LONG childCount);

// The name a sighted user reads from a control whose hint tells what it
// does: the hint without its closing full stop or dots ("Start Converting."
// gives "Start Converting", "Add GVI files to list..." gives "Add GVI files
// to list") and without blanks at its ends.
std::string AccessibleNameFromHint(const std::string& hint);

// The ROLE_SYSTEM_... value of a role named in a layout ("pushButton",
// "staticText", "progressBar"); throws tk::Error for another name.
LONG AccessibleRoleNamed(const std::string& name);

}  // namespace tk
