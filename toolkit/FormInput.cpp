// What a form does with the user's input: the mouse routed to its window-less
// controls, the dialog keys, the keyboard cues and the controls' hints.
#include "toolkit/Form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <climits>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"

namespace tk {

namespace {

MouseButton ButtonOf(UINT message) {
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return MouseButton::Middle;
    default:
        return MouseButton::Left;
    }
}

}  // namespace

void Form::FocusFirstControl() {
    WinControl* best = nullptr;
    for (Control* c : controls_) {
        auto* w = dynamic_cast<WinControl*>(c);
        if (!w || !w->TabStop() || !w->CanFocus()) continue;
        const int order = w->TabOrder() < 0 ? INT_MAX : w->TabOrder();
        const int bestOrder = !best ? INT_MAX : (best->TabOrder() < 0 ? INT_MAX : best->TabOrder());
        if (!best || order < bestOrder) best = w;
    }
    if (best) best->SetFocus();
}

void Form::ChangeUiState(WORD action, WORD flags) {
    flags &= UISF_HIDEFOCUS | UISF_HIDEACCEL;
    if (action == UIS_INITIALIZE) action = Application::Get().LastInputWasKeyboard() ? UIS_CLEAR : UIS_SET;
    if (action != UIS_SET && action != UIS_CLEAR) return;
    const WORD state = action == UIS_SET ? (uiState_ | flags) : (uiState_ & ~flags);
    const WORD changed = state ^ uiState_;
    if (!changed) return;
    uiState_ = state;
    // Every child window hears of it: ours redraw their cues, the system's
    // controls keep their own copy of the state.
    for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageA(child, WM_UPDATEUISTATE, MAKEWPARAM(action, changed), 0);
}


void Form::AddHint(WinControl& control) {
    if (control.Hint().empty() || !control.Handle()) return;
    if (!hints_) {
        hints_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
        if (!hints_) throw Error("Cannot create the hint window");
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control.Handle());
    tool.lpszText = const_cast<char*>(control.Hint().c_str());
    ::SendMessageA(hints_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool Form::PreviewKey(const MSG& msg) {
    // With Alt held the same keys come as WM_SYSKEYDOWN; the modifiers do not
    // matter for the dialog keys. Other system keys (Alt+F4, menu keys) pass.
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    const WORD key = static_cast<WORD>(msg.wParam);
    if (key != VK_RETURN && key != VK_ESCAPE) return false;
    if (const HWND focus = ::GetFocus()) {
        const LRESULT code = ::SendMessageA(focus, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&msg));
        if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
    }
    for (Control* c : controls_)
        if (c->DialogKey(key)) return true;
    return false;
}

GraphicControl* Form::GraphicControlAt(POINT p) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        auto* g = dynamic_cast<GraphicControl*>(*it);
        if (!g || !g->Visible()) continue;
        const RECT r = g->BoundsRect();
        if (::PtInRect(&r, p)) return g;
    }
    return nullptr;
}

bool Form::RouteMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const ShiftState shift = ShiftFromKeys(wParam);
    const MouseButton button = ButtonOf(message);
    auto local = [](Control* c, POINT q) { return POINT{q.x - c->Left(), q.y - c->Top()}; };
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
        GraphicControl* target = GraphicControlAt(p);
        if (!target || !target->Enabled()) return false;
        const bool dbl = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK;
        if (button == MouseButton::Left) {
            ::SetCapture(hwnd_);
            mouseCapture_ = target;
            pressed_ = dbl ? nullptr : target;
        }
        if (dbl && button == MouseButton::Left) target->DblClick();
        const POINT q = local(target, p);
        target->MouseDown(button, shift | (dbl ? kDouble : 0), q.x, q.y);
        return true;
    }
    case WM_MOUSEMOVE: {
        GraphicControl* target = mouseCapture_ ? mouseCapture_ : GraphicControlAt(p);
        if (!target) return false;
        const POINT q = local(target, p);
        target->MouseMove(shift, q.x, q.y);
        return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        GraphicControl* target = button == MouseButton::Left && mouseCapture_ ? mouseCapture_ : GraphicControlAt(p);
        if (button == MouseButton::Left) {
            GraphicControl* clicked = pressed_;
            pressed_ = nullptr;
            mouseCapture_ = nullptr;
            if (::GetCapture() == hwnd_) ::ReleaseCapture();
            if (target && clicked == target) {
                const RECT r = target->BoundsRect();
                if (::PtInRect(&r, p)) target->Click();
            }
        }
        if (!target) return false;
        const POINT q = local(target, p);
        target->MouseUp(button, shift, q.x, q.y);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace tk
