#include "toolkit/Form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Dpi.h"
#include "toolkit/Modal.h"
#include "toolkit/Timer.h"

namespace tk {

namespace {

constexpr char kFormClass[] = "TkForm";

void RegisterFormClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kFormClass;
    wc.lpfnWndProc = ::DefWindowProcA;  // replaced per window below
    if (!::RegisterClassExA(&wc)) throw Error("Cannot register the form window class");
    registered = true;
}

// The top-left corner of a window of that outer size centred on the desktop.
POINT CentredOnScreen(int width, int height) {
    return {(::GetSystemMetrics(SM_CXSCREEN) - width) / 2, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2};
}

// The outer size of a window of those styles whose client area is that large,
// its frame as the system draws it at that DPI.
SIZE FramedSize(SIZE client, DWORD style, DWORD exStyle, int dpi) {
    RECT r{0, 0, client.cx, client.cy};
    AdjustWindowRectForDpi(r, style, exStyle, dpi);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// The start of a span of that length placed at `at` and kept between `low`
// and `high`; a span longer than the room starts at `low`.
int KeptBetween(int at, int length, int low, int high) { return std::max(low, std::min(at, high - length)); }

}  // namespace

Form::Form(std::string layoutFile) : layoutFile_(std::move(layoutFile)) {}

Form::~Form() {
    if (hwnd_) {
        if (OnDestroy) Guarded([&] { OnDestroy(this); });
        for (Timer* timer : timers_) timer->SetEnabled(false);
    }
    // A screen reader that asks while the components go must not reach them:
    // this form stops answering, and forgets its controls, first.
    UnregisterAccessible(hwnd_);
    controls_.clear();
    components_.clear();  // child windows go before their parent
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

void Form::Create() {
    const LayoutNode layout = LoadLayout(layoutFile_);
    Load(layout);
    CreateWindowFromLayout(layout);
    CreateComponents(layout);
    for (auto& bind : binders_) bind();

    auto attach = [this](Component& target, const LayoutNode& node) {
        auto events = node.find("events");
        if (events == node.end()) return;
        for (auto it = events->begin(); it != events->end(); ++it) {
            const std::string handlerName = it.value().get<std::string>();
            auto handler = handlers_.find(handlerName);
            if (handler == handlers_.end())
                throw Error(Format("Layout %s names the unknown handler %s", layoutFile_.c_str(), handlerName.c_str()));
            target.AttachEvent(it.key(), handler->second);
        }
    };
    attach(*this, layout);
    if (auto list = layout.find("components"); list != layout.end())
        for (size_t i = 0; i < list->size(); ++i) attach(*components_[i], (*list)[i]);

    if (OnCreate) Guarded([&] { OnCreate(this); });
}

void Form::Load(const LayoutNode& node) {
    name_ = LayoutText(node, "class", layoutFile_);
    border_ = LayoutText(node, "border", border_);
    clientWidth_ = LayoutInt(node, "clientWidth", 320);
    clientHeight_ = LayoutInt(node, "clientHeight", 240);
    centred_ = LayoutText(node, "position", "desktopCenter") == "desktopCenter";
    designLeft_ = LayoutInt(node, "left", 0);
    designTop_ = LayoutInt(node, "top", 0);
    font_ = LayoutFont(node, FontSpec{});
    colour_ = LayoutColour(node, "color", colour_);
    brush_.Reset(::CreateSolidBrush(colour_));
    autoSize_ = LayoutBool(node, "autoSize", false);
    alphaBlendValue_ = LayoutInt(node, "alphaBlendValue", -1);
    if (alphaBlendValue_ < -1 || alphaBlendValue_ > 255)
        throw Error(Format("Layout %s: alphaBlendValue must be 0 to 255", layoutFile_.c_str()));
}

void Form::AttachEvent(const std::string& event, const AnyHandler& handler) {
    auto as = [&](auto& slot) {
        using T = std::decay_t<decltype(slot)>;
        const T* typed = std::get_if<T>(&handler);
        if (!typed) throw Error(Format("Handler of the wrong kind for %s", event.c_str()));
        slot = *typed;
    };
    if (event == "onCreate") as(OnCreate);
    else if (event == "onDestroy") as(OnDestroy);
    else if (event == "onShow") as(OnShow);
    else if (event == "onCloseQuery") as(OnCloseQuery);
    else if (event == "onClose") as(OnClose);
    else Component::AttachEvent(event, handler);
}

void Form::CreateWindowFromLayout(const LayoutNode& layout) {
    RegisterFormClass();
    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    if (border_ == "none") {
        style |= WS_POPUP | WS_MINIMIZEBOX;
    } else if (border_ == "dialog") {
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    } else {
        style |= WS_OVERLAPPEDWINDOW;
    }
    const HWND owner = OwnerWindow();
    if (!owner) exStyle |= WS_EX_APPWINDOW;
    if (alphaBlendValue_ >= 0) exStyle |= WS_EX_LAYERED;
    exStyle |= ExtraExStyle();

    // Laid out for the primary monitor first, where the window starts; once
    // the window exists, for the monitor it is really on.
    dpi_ = SystemDpi();
    const SIZE outer = FramedSize(LayoutClientSize(dpi_), style, exStyle, dpi_);
    const POINT at = centred_ ? CentredOnScreen(outer.cx, outer.cy)
                              : PlacedOnMonitor(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), outer);
    const std::string caption = LayoutText(layout, "caption");
    hwnd_ = ::CreateWindowExA(exStyle, kFormClass, caption.c_str(), style, at.x, at.y, outer.cx, outer.cy, owner,
                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_) throw Error(Format("Cannot create the window of %s", name_.c_str()));
    ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Form::WindowProc));
    RegisterAccessible(hwnd_, this);
    if (alphaBlendValue_ >= 0 &&
        !::SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(alphaBlendValue_), LWA_ALPHA))
        throw Error(Format("Cannot make the window of %s partly transparent", name_.c_str()));
    if (const int actual = WindowDpi(hwnd_); actual != dpi_) {
        dpi_ = actual;
        const SIZE scaled = LayoutWindowSize(dpi_);
        const POINT to = centred_ ? CentredOnScreen(scaled.cx, scaled.cy)
                                  : PlacedOnMonitor(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), scaled);
        ::SetWindowPos(hwnd_, nullptr, to.x, to.y, scaled.cx, scaled.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    iconName_ = LayoutText(layout, "icon");
    LoadIcons();
}

SIZE Form::LayoutClientSize(int dpi) const {
    return SIZE{ScaleToDpi(clientWidth_, dpi), ScaleToDpi(clientHeight_, dpi)};
}

SIZE Form::OuterSize(SIZE client, int dpi) const {
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrA(hwnd_, GWL_EXSTYLE));
    return FramedSize(client, style, exStyle, dpi);
}

SIZE Form::LayoutWindowSize(int dpi) const { return OuterSize(LayoutClientSize(dpi), dpi); }

SIZE Form::ControlsExtent() const {
    SIZE extent{0, 0};
    for (Control* c : controls_) {
        if (!c->Visible()) continue;
        extent.cx = std::max(extent.cx, static_cast<LONG>(c->Left() + c->Width()));
        extent.cy = std::max(extent.cy, static_cast<LONG>(c->Top() + c->Height()));
    }
    return extent;
}

POINT Form::PlacedOnMonitor(HMONITOR monitor, SIZE outer) const {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoA(monitor, &info))
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    const RECT& work = info.rcWork;
    return POINT{KeptBetween(work.left + ScaleToDpi(designLeft_, dpi_), outer.cx, work.left, work.right),
                 KeptBetween(work.top + ScaleToDpi(designTop_, dpi_), outer.cy, work.top, work.bottom)};
}

void Form::LoadIcons() {
    if (iconName_.empty()) return;
    const HINSTANCE module = ::GetModuleHandleA(nullptr);
    icon_.Reset(static_cast<HICON>(::LoadImageA(module, iconName_.c_str(), IMAGE_ICON,
                                                SystemMetricForDpi(SM_CXICON, dpi_),
                                                SystemMetricForDpi(SM_CYICON, dpi_), 0)));
    smallIcon_.Reset(static_cast<HICON>(::LoadImageA(module, iconName_.c_str(), IMAGE_ICON,
                                                     SystemMetricForDpi(SM_CXSMICON, dpi_),
                                                     SystemMetricForDpi(SM_CYSMICON, dpi_), 0)));
    ::SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    ::SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

void Form::CreateComponents(const LayoutNode& layout) {
    auto list = layout.find("components");
    if (list == layout.end()) return;
    for (const LayoutNode& node : *list) {
        const std::string type = LayoutText(node, "type");
        std::unique_ptr<Component> component = MakeComponent(type);
        component->name_ = LayoutText(node, "name");
        component->owner_ = this;
        component->Load(node);
        if (auto* control = dynamic_cast<Control*>(component.get())) controls_.push_back(control);
        if (auto* timer = dynamic_cast<Timer*>(component.get())) {
            timer->id_ = timers_.size() + 1;
            timers_.push_back(timer);
        }
        components_.push_back(std::move(component));
    }
    for (auto& component : components_) component->Realize();
    if (autoSize_) FitToControls();

    // The tab order is the windows' z-order, which the dialog navigation follows.
    std::vector<WinControl*> windowed;
    for (Control* control : controls_)
        if (auto* w = dynamic_cast<WinControl*>(control)) windowed.push_back(w);
    std::stable_sort(windowed.begin(), windowed.end(), [](WinControl* a, WinControl* b) {
        const int ta = a->TabOrder() < 0 ? INT_MAX : a->TabOrder();
        const int tb = b->TabOrder() < 0 ? INT_MAX : b->TabOrder();
        return ta < tb;
    });
    HWND after = HWND_TOP;
    for (WinControl* w : windowed) {
        ::SetWindowPos(w->Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = w->Handle();
    }
}

void Form::FitToControls() {
    const SIZE outer = OuterSize(ControlsExtent(), dpi_);
    const POINT at = centred_ ? CentredOnScreen(outer.cx, outer.cy)
                              : PlacedOnMonitor(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), outer);
    ::SetWindowPos(hwnd_, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

Component* Form::FindComponent(const std::string& name) const {
    for (const auto& c : components_)
        if (c->Name() == name) return c.get();
    return nullptr;
}

WinControl* Form::ActiveControl() const {
    const HWND focus = ::GetFocus();
    for (Control* c : controls_)
        if (auto* w = dynamic_cast<WinControl*>(c); w && w->Handle() == focus) return w;
    return nullptr;
}

HFONT Form::FontFor(const FontSpec& wanted) {
    auto it = fonts_.find(wanted);
    if (it != fonts_.end()) return it->second.Get();
    LOGFONTA lf{};
    lf.lfHeight = ScaleToDpi(wanted.height, dpi_);
    lf.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = wanted.italic;
    lf.lfUnderline = wanted.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, wanted.name.c_str(), LF_FACESIZE);
    tk::Font font(::CreateFontIndirectA(&lf));
    HFONT handle = font.Get();
    fonts_.emplace(wanted, std::move(font));
    return handle;
}

void Form::Show() {
    // A form hidden while minimised comes back at its normal size.
    ::ShowWindow(hwnd_, ::IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    ::SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    ::UpdateWindow(hwnd_);
    if (OnShow) Guarded([&] { OnShow(this); });
    const HWND focus = ::GetFocus();
    if (::GetActiveWindow() == hwnd_ && (!focus || !::IsChild(hwnd_, focus))) FocusFirstControl();
}

void Form::Hide() { ::ShowWindow(hwnd_, SW_HIDE); }

bool Form::Visible() const { return hwnd_ && ::IsWindowVisible(hwnd_); }

void Form::BringToFront() {
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(hwnd_);
}

std::string Form::Caption() const {
    char text[512] = "";
    ::GetWindowTextA(hwnd_, text, sizeof text);
    return text;
}

void Form::SetCaption(const std::string& caption) { ::SetWindowTextA(hwnd_, caption.c_str()); }

RECT Form::WindowRect() const {
    RECT r{};
    ::GetWindowRect(hwnd_, &r);
    return r;
}

void Form::MoveTo(int left, int top) {
    ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<const Control*> Form::AccessibleControls() const {
    std::vector<const Control*> shown;
    for (const Control* c : controls_)
        if (!c->IsWindowed() && c->Visible() && c->AccessibleRole() != 0) shown.push_back(c);
    return shown;
}

std::vector<AccessibleItem> Form::AccessibleItems() const {
    std::vector<AccessibleItem> items;
    for (const Control* c : AccessibleControls())
        items.push_back(AccessibleItem{c->AccessibleRole(), c->AccessibleName(), c->AccessibleValue(), c->BoundsRect()});
    return items;
}

void Form::AccessibleItemChanged(const Control& control, DWORD event) {
    const std::vector<const Control*> shown = AccessibleControls();
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] == &control) NotifyItemChanged(hwnd_, event, i);
}

LRESULT Form::Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    for (Control* c : controls_)
        if (const LRESULT result = c->HandleBroadcast(message, wParam, lParam)) return result;
    return 0;
}

void Form::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    const RECT& area = ps.rcPaint;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width > 0 && height > 0) {
        // The buffer covers the client area, in its coordinates; it grows
        // with the window and is never made anew for a paint.
        if (backBuffer_.Width() < area.right || backBuffer_.Height() < area.bottom) {
            RECT client{};
            ::GetClientRect(hwnd_, &client);
            backBuffer_ = Bitmap(std::max(client.right, area.right), std::max(client.bottom, area.bottom));
        }
        const HDC buffer = backBuffer_.Dc();
        const int whole = ::SaveDC(buffer);
        ::IntersectClipRect(buffer, area.left, area.top, area.right, area.bottom);
        ::FillRect(buffer, &area, brush_.Get());
        for (Control* c : controls_) {
            auto* g = dynamic_cast<GraphicControl*>(c);
            RECT r = c->BoundsRect(), overlap;
            if (!g || !g->Visible() || !::IntersectRect(&overlap, &r, &area)) continue;
            const int saved = ::SaveDC(buffer);
            ::IntersectClipRect(buffer, r.left, r.top, r.right, r.bottom);
            g->Paint(buffer);
            ::RestoreDC(buffer, saved);
        }
        ::RestoreDC(buffer, whole);
        ::BitBlt(dc, area.left, area.top, width, height, buffer, area.left, area.top, SRCCOPY);
    }
    ::EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Form*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        Application::Get().HandleException();
        return 0;
    }
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Form::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        Close();
        return 0;
    case WM_QUERYENDSESSION:
        // Logging off or shutting down closes the application: the main
        // form's close query decides, as for any other close.
        if (Application::Get().MainForm() == this) return CloseQuery() ? TRUE : FALSE;
        break;
    case WM_COMMAND:
        if (lParam) {
            for (Control* c : controls_)
                if (auto* w = dynamic_cast<WinControl*>(c); w && w->Handle() == reinterpret_cast<HWND>(lParam)) {
                    w->Command(HIWORD(wParam));
                    return 0;
                }
        }
        break;
    case WM_CHANGEUISTATE:
        // The form keeps the state itself and tells its child windows, the
        // same on every system.
        ChangeUiState(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_QUERYUISTATE:
        return uiState_;
    case WM_GETOBJECT:
        if (const LRESULT object = AnswerGetObject(hwnd_, wParam, lParam)) return object;
        break;
    case WM_TIMER:
        for (Timer* t : timers_)
            if (t->id_ == wParam) {
                t->Tick();
                return 0;
            }
        break;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        char cls[16] = "";
        ::GetClassNameA(reinterpret_cast<HWND>(lParam), cls, sizeof cls);
        if (lstrcmpiA(cls, "Edit") == 0) break;
        ::SetBkColor(reinterpret_cast<HDC>(wParam), colour_);
        ::SetTextColor(reinterpret_cast<HDC>(wParam), font_.colour);
        return reinterpret_cast<LRESULT>(brush_.Get());
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else if (!HIWORD(wParam)) {
            if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_) && ::IsWindowEnabled(lastFocus_))
                ::SetFocus(lastFocus_);
            else
                FocusFirstControl();
        }
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
            POINT p;
            ::GetCursorPos(&p);
            ::ScreenToClient(hwnd_, &p);
            GraphicControl* g = GraphicControlAt(p);
            if (g && g->Cursor()) {
                ::SetCursor(g->Cursor());
                return TRUE;
            }
        }
        break;
    case kGetDpiScaledSizeMessage:
        // Asked before a move to a monitor of another DPI: the layout's own
        // size there, which WM_DPICHANGED then suggests. Unanswered, the
        // system scales the present size in proportion, a pixel off the
        // layout's rounding now and then. A form that sizes itself to its
        // controls knows its size only once they are laid out there.
        if (auto* size = reinterpret_cast<SIZE*>(lParam); size && !autoSize_ && static_cast<int>(wParam) > 0) {
            *size = LayoutWindowSize(static_cast<int>(wParam));
            return TRUE;
        }
        return FALSE;
    case kDpiChangedMessage:
        ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) Application::Get().FormRestored(this);
        break;
    case WM_CAPTURECHANGED:
        mouseCapture_ = nullptr;
        pressed_ = nullptr;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (RouteMouse(message, wParam, lParam)) return 0;
        break;
    default:
        break;
    }
    return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

}  // namespace tk
