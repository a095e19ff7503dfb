#include "toolkit/Control.h"

#include <commctrl.h>
#include <windowsx.h>

#include "toolkit/Accessibility.h"
#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace tk {

namespace {

template <typename T>
const T& HandlerAs(const AnyHandler& handler, const std::string& event) {
    if (const T* typed = std::get_if<T>(&handler)) return *typed;
    throw Error(Format("Handler of the wrong kind for %s", event.c_str()));
}

}  // namespace

ShiftState ShiftFromKeys(WPARAM keys) {
    ShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= kShift;
    if (keys & MK_CONTROL) shift |= kCtrl;
    if (keys & MK_LBUTTON) shift |= kLeft;
    if (keys & MK_RBUTTON) shift |= kRight;
    if (keys & MK_MBUTTON) shift |= kMiddle;
    if (::GetKeyState(VK_MENU) < 0) shift |= kAlt;
    return shift;
}

// --- Component ---------------------------------------------------------------

void Component::Load(const LayoutNode& node) {}

void Component::AttachEvent(const std::string& event, const AnyHandler&) {
    throw Error(Format("%s has no event %s", name_.c_str(), event.c_str()));
}

// --- Control -----------------------------------------------------------------

void Control::Load(const LayoutNode& node) {
    // The constructor's bounds are 96-DPI defaults too.
    const int left = LayoutInt(node, "left", left_), top = LayoutInt(node, "top", top_);
    design_ = RECT{left, top, left + LayoutInt(node, "width", width_), top + LayoutInt(node, "height", height_)};
    const RECT scaled = ScaleRect(design_, Owner() ? Owner()->Dpi() : kDesignDpi);
    left_ = scaled.left;
    top_ = scaled.top;
    width_ = scaled.right - scaled.left;
    height_ = scaled.bottom - scaled.top;
    visible_ = LayoutBool(node, "visible", visible_);
    enabled_ = LayoutBool(node, "enabled", enabled_);
    hint_ = LayoutText(node, "hint", hint_);
    tabOrder_ = LayoutInt(node, "tabOrder", tabOrder_);
    const std::string role = LayoutText(node, "accessibleRole");
    if (!role.empty()) accessibleRole_ = AccessibleRoleNamed(role);
    accessibleName_ = Widen(LayoutText(node, "accessibleName", Narrow(accessibleName_)));
    accessibleValue_ = Widen(LayoutText(node, "accessibleValue", Narrow(accessibleValue_)));
    const std::string cursor = LayoutText(node, "cursor");
    if (cursor == "handPoint") cursor_ = ::LoadCursor(nullptr, IDC_HAND);
    else if (!cursor.empty()) throw Error(Format("Unknown cursor %s", cursor.c_str()));
}

void Control::AttachEvent(const std::string& event, const AnyHandler& handler) {
    if (event == "onClick") OnClick = HandlerAs<NotifyEvent>(handler, event);
    else if (event == "onDblClick") OnDblClick = HandlerAs<NotifyEvent>(handler, event);
    else if (event == "onMouseDown") OnMouseDown = HandlerAs<MouseEvent>(handler, event);
    else if (event == "onMouseUp") OnMouseUp = HandlerAs<MouseEvent>(handler, event);
    else if (event == "onMouseMove") OnMouseMove = HandlerAs<MouseMoveEvent>(handler, event);
    else Component::AttachEvent(event, handler);
}

void Control::SetBounds(int left, int top, int width, int height) {
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
    Invalidate();
}

void Control::DpiChanged() {
    const RECT scaled = ScaleRect(design_, Owner() ? Owner()->Dpi() : kDesignDpi);
    SetBounds(scaled.left, scaled.top, scaled.right - scaled.left, scaled.bottom - scaled.top);
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Invalidate();
}

void Control::SetEnabled(bool enabled) { enabled_ = enabled; }

void Control::SetAccessibleValue(const std::wstring& value) {
    if (value == accessibleValue_) return;
    accessibleValue_ = value;
    if (Owner()) Owner()->AccessibleItemChanged(*this, EVENT_OBJECT_VALUECHANGE);
}

void Control::Invalidate() {
    if (Owner() && Owner()->Handle()) {
        const RECT r = BoundsRect();
        ::InvalidateRect(Owner()->Handle(), &r, FALSE);
    }
}

void Control::MouseDown(MouseButton button, ShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void Control::MouseMove(ShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void Control::MouseUp(MouseButton button, ShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void Control::Click() {
    if (OnClick) OnClick(this);
}

void Control::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

// --- WinControl --------------------------------------------------------------

WinControl::~WinControl() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::RemoveWindowSubclass(hwnd_, SubclassProc, 0);
        ::DestroyWindow(hwnd_);
    }
}

void WinControl::Load(const LayoutNode& node) {
    Control::Load(node);
    tabStop_ = LayoutBool(node, "tabStop", tabStop_);
}

void WinControl::CreateHandle(const char* windowClass, DWORD style, DWORD exStyle, const std::string& text) {
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_) style |= WS_VISIBLE;
    if (!enabled_) style |= WS_DISABLED;
    if (tabStop_) style |= WS_TABSTOP;
    static int nextId = 100;
    hwnd_ = ::CreateWindowExA(exStyle, windowClass, text.c_str(), style, left_, top_, width_, height_,
                              Owner()->Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++)),
                              ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_) throw Error(Format("Cannot create the window of %s", Name().c_str()));
    ::SetWindowSubclass(hwnd_, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK WinControl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) {
    auto* self = reinterpret_cast<WinControl*>(data);
    try {
        if (self->trackPointer_ && (message == WM_MOUSEMOVE || message == WM_MOUSELEAVE))
            self->TrackPointer(message, lParam);
        // Noted as it happens: when the form is deactivated the focus may
        // have gone already (a system dialog takes it before it tells).
        if (message == WM_SETFOCUS && self->Owner()) self->Owner()->ControlFocused(hwnd);
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        Application::Get().HandleException();
        return 0;
    }
}

LRESULT WinControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}

LRESULT WinControl::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT WinControl::HandleOwnMouse(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    const ShiftState shift = ShiftFromKeys(wParam);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ::SetCapture(hwnd_);
        clicked_ = message == WM_LBUTTONDOWN;
        if (message == WM_LBUTTONDBLCLK) DblClick();
        MouseDown(MouseButton::Left, shift | (message == WM_LBUTTONDBLCLK ? kDouble : 0), x, y);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(MouseButton::Right, shift, x, y);
        return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        MouseDown(MouseButton::Middle, shift, x, y);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        return 0;
    case WM_LBUTTONUP: {
        const bool wasClicked = clicked_;
        clicked_ = false;
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
        if (wasClicked && x >= 0 && y >= 0 && x < width_ && y < height_) Click();
        MouseUp(MouseButton::Left, shift, x, y);
        return 0;
    }
    case WM_RBUTTONUP:
        MouseUp(MouseButton::Right, shift, x, y);
        return 0;
    case WM_MBUTTONUP:
        MouseUp(MouseButton::Middle, shift, x, y);
        return 0;
    case WM_CAPTURECHANGED:
        clicked_ = false;
        return 0;
    default:
        handled = false;
        return 0;
    }
}

void WinControl::TrackPointer(UINT message, LPARAM lParam) {
    bool over = false;
    if (message == WM_MOUSEMOVE) {
        over = PointOnShape(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (over) {
            // Armed at every move: capture changes may end a tracking.
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            ::TrackMouseEvent(&track);
        }
    }
    if (over == pointerInside_) return;
    pointerInside_ = over;
    if (over) MouseEnter();
    else MouseLeave();
}

bool WinControl::PointOnShape(POINT client) const {
    RECT area;
    ::GetClientRect(hwnd_, &area);
    if (!::PtInRect(&area, client)) return false;
    Region shape(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(hwnd_, shape.Get()) == ERROR) return true;  // no region: the whole window
    // The region is in window coordinates.
    RECT window;
    ::GetWindowRect(hwnd_, &window);
    ::ClientToScreen(hwnd_, &client);
    return ::PtInRegion(shape.Get(), client.x - window.left, client.y - window.top) != FALSE;
}

void WinControl::HandleNeeded() {
    if (!hwnd_ && Owner() && Owner()->Handle()) Realize();
}

void WinControl::PaintCycle(const std::function<void()>& draw) {
    PAINTSTRUCT ps;
    paintDc_ = ::BeginPaint(hwnd_, &ps);
    try {
        draw();
    } catch (...) {
        paintDc_ = nullptr;
        ::EndPaint(hwnd_, &ps);
        throw;
    }
    paintDc_ = nullptr;
    ::EndPaint(hwnd_, &ps);
}

void WinControl::ApplyFont(HFONT font) { ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void WinControl::UseFont(const FontSpec& font) {
    windowFont_ = font;
    ApplyFont(Owner()->FontFor(font));
}

void WinControl::DpiChanged() {
    Control::DpiChanged();
    if (hwnd_ && windowFont_) ApplyFont(Owner()->FontFor(*windowFont_));
}

bool WinControl::Focused() const { return hwnd_ && ::GetFocus() == hwnd_; }

bool WinControl::CanFocus() const {
    return hwnd_ && visible_ && enabled_ && ::IsWindowVisible(hwnd_) && ::IsWindowEnabled(hwnd_) && Owner() &&
           Owner()->Visible();
}

void WinControl::SetFocus() {
    if (hwnd_) ::SetFocus(hwnd_);
}

void WinControl::SetBounds(int left, int top, int width, int height) {
    Control::SetBounds(left, top, width, height);
    if (hwnd_) ::MoveWindow(hwnd_, left, top, width, height, TRUE);
}

void WinControl::SetVisible(bool visible) {
    visible_ = visible;
    if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void WinControl::SetEnabled(bool enabled) {
    Control::SetEnabled(enabled);
    if (hwnd_) ::EnableWindow(hwnd_, enabled);
}

void WinControl::Invalidate() {
    if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

// --- Canvas ------------------------------------------------------------------

Canvas::Canvas(WinControl& control) {
    if (control.paintDc_) {
        hwnd_ = control.hwnd_;
        dc_ = control.paintDc_;
        return;
    }
    control.HandleNeeded();
    hwnd_ = control.hwnd_;
    if (!hwnd_) return;
    dc_ = ::GetDC(hwnd_);
    windowDc_ = dc_ != nullptr;
}

Canvas::~Canvas() {
    if (windowDc_) ::ReleaseDC(hwnd_, dc_);
}

}  // namespace tk
