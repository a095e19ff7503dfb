#include "toolkit/Modal.h"

namespace tk {

namespace {

struct Collect {
    HWND except;
    std::vector<HWND>* windows;
};

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM data) {
    auto* c = reinterpret_cast<Collect*>(data);
    if (hwnd != c->except && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) c->windows->push_back(hwnd);
    return TRUE;
}

}  // namespace

DisabledWindows::DisabledWindows(HWND except) {
    Collect collect{except, &disabled_};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectEnabledWindow, reinterpret_cast<LPARAM>(&collect));
    for (HWND w : disabled_) ::EnableWindow(w, FALSE);
}

DisabledWindows::~DisabledWindows() {
    for (HWND w : disabled_)
        if (::IsWindow(w)) ::EnableWindow(w, TRUE);
}

}  // namespace tk
