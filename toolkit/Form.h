// A top-level window built from its layout. A derived form names its
// control fields and its handlers in its constructor; Create() loads the
// layout, makes the window and the controls, fills the fields, attaches the
// handlers by name and runs OnCreate.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Accessibility.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Control.h"
#include "toolkit/Handles.h"
#include "toolkit/Layout.h"
#include "toolkit/Text.h"

namespace tk {

class Timer;

class Form : public Component, public AccessibleProvider {
public:
    explicit Form(std::string layoutFile);
    ~Form() override;

    void Create();
    HWND Handle() const { return hwnd_; }

    void Show();
    void Hide();
    bool Visible() const;
    void BringToFront();
    // Closes as the user's close does: a modal form ends its modal run; any
    // other form passes its close query, then its close handler, then hides
    // (the main form ends the application instead).
    void Close();
    // Asks OnCloseQuery. The main form also answers WM_QUERYENDSESSION with
    // it, so logging off passes the same test as any other close.
    bool CloseQuery();
    // Shows the form modally: every other form of the application is
    // disabled until the modal result is set. Returns the modal result.
    int ShowModal();
    bool Modal() const { return modal_; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    RECT WindowRect() const;
    // The window's alpha as its layout sets it ("alphaBlendValue", 0 to 255);
    // -1: the window is opaque, not layered.
    int AlphaBlendValue() const { return alphaBlendValue_; }
    void MoveTo(int left, int top);

    // The DPI the form is laid out for: its monitor's (toolkit/Dpi.h). The
    // layout's 96-DPI coordinates, its fonts and its pictures are scaled to it.
    int Dpi() const { return dpi_; }
    // Lays the form out again for another DPI: fonts, places, pictures and
    // regions. The window takes the layout's size at that DPI, its top-left
    // corner at that of `suggested` (screen coordinates) when given, as
    // WM_DPICHANGED asks; otherwise it keeps its top-left corner.
    void ChangeDpi(int dpi, const RECT* suggested = nullptr);

    const std::vector<Control*>& Controls() const { return controls_; }
    Component* FindComponent(const std::string& name) const;
    // The windowed control with the focus, if it is one of ours.
    WinControl* ActiveControl() const;
    // A font as the layout describes it, made for the window's DPI.
    HFONT FontFor(const FontSpec& wanted);
    const FontSpec& Font() const { return font_; }
    COLORREF Colour() const { return colour_; }
    HBRUSH ColourBrush() const { return brush_.Get(); }

    // Hands a notification to every control in the form's order until one
    // returns non-zero (see Control::HandleBroadcast); returns that result.
    LRESULT Broadcast(UINT message, WPARAM wParam, LPARAM lParam);
    // Shows the control's hint in a tooltip while the pointer rests on its
    // window (nothing for an empty hint).
    void AddHint(WinControl& control);

    // A control of the form took the focus: it gets it back when the form
    // is activated again (after a dialog, say).
    void ControlFocused(HWND control) { lastFocus_ = control; }

    // Enter and Escape offered to the controls (see Control::DialogKey).
    // Returns true when a control took the key.
    bool PreviewKey(const MSG& message);

    // The keyboard cues (focus rectangles of the controls), as the system's
    // rule has them: hidden while the user works the window with the mouse,
    // shown once the keys move around it. WM_CHANGEUISTATE changes them for
    // the whole form; the controls hear of each change as WM_UPDATEUISTATE.
    // A form being shown starts with them as the last input says (keys: shown).
    bool FocusCuesShown() const { return (uiState_ & UISF_HIDEFOCUS) == 0; }

    // A screen reader sees the visible window-less controls that have a role
    // (labels, progress bars) as the items of the form's client area.
    std::vector<AccessibleItem> AccessibleItems() const override;
    // Tells listening screen readers that the control's name or value changed.
    void AccessibleItemChanged(const Control& control, DWORD event);

    NotifyEvent OnCreate, OnDestroy, OnShow;
    CloseQueryEvent OnCloseQuery;
    CloseEvent OnClose;

    void Load(const LayoutNode& node) override;
    void AttachEvent(const std::string& event, const AnyHandler& handler) override;

protected:
    // Called from the derived constructor: the layout's component of that name
    // goes into the field.
    template <typename T>
    void Field(const char* name, T*& field) {
        binders_.push_back([this, name, &field] { field = FindAs<T>(name); });
    }
    // Handlers by name, as member functions of the derived form.
    template <typename F>
    void Handler(const char* name, void (F::*method)(Component*)) {
        handlers_[name] = NotifyEvent([this, method](Component* s) { (static_cast<F*>(this)->*method)(s); });
    }
    template <typename F>
    void Handler(const char* name, void (F::*method)(Component*, MouseButton, ShiftState, int, int)) {
        handlers_[name] = MouseEvent([this, method](Component* s, MouseButton b, ShiftState sh, int x, int y) {
            (static_cast<F*>(this)->*method)(s, b, sh, x, y);
        });
    }
    template <typename F>
    void Handler(const char* name, void (F::*method)(Component*, ShiftState, int, int)) {
        handlers_[name] = MouseMoveEvent(
            [this, method](Component* s, ShiftState sh, int x, int y) { (static_cast<F*>(this)->*method)(s, sh, x, y); });
    }
    template <typename F>
    void Handler(const char* name, void (F::*method)(Component*, bool&)) {
        handlers_[name] = CloseQueryEvent([this, method](Component* s, bool& c) { (static_cast<F*>(this)->*method)(s, c); });
    }
    template <typename F>
    void Handler(const char* name, void (F::*method)(Component*, CloseAction&)) {
        handlers_[name] =
            CloseEvent([this, method](Component* s, CloseAction& a) { (static_cast<F*>(this)->*method)(s, a); });
    }

    // Every message of the form's window comes here; derived forms handle
    // their own and pass the rest to DefaultHandling.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    // Extended styles a form adds to what its frame gives.
    virtual DWORD ExtraExStyle() const { return 0; }
    // The window that owns this form's window (nullptr: none).
    virtual HWND OwnerWindow() const { return nullptr; }
    // After the controls were laid out for a new DPI: a derived form redraws
    // what it painted itself.
    virtual void DpiChanged() {}

private:
    template <typename T>
    T* FindAs(const char* name) const {
        T* typed = dynamic_cast<T*>(FindComponent(name));
        if (!typed) throw Error(Format("Layout %s has no component %s of the expected kind", layoutFile_.c_str(), name));
        return typed;
    }
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateWindowFromLayout(const LayoutNode& layout);
    void CreateComponents(const LayoutNode& layout);
    // "autoSize": the client area takes the extent of the visible controls.
    void FitToControls();
    SIZE ControlsExtent() const;
    // The layout's client size at that DPI, its 96-DPI size scaled by the one
    // rounding rule (toolkit/Dpi.h).
    SIZE LayoutClientSize(int dpi) const;
    // The outer size of the window whose client area is that large at that
    // DPI, its frame counted at that DPI.
    SIZE OuterSize(SIZE client, int dpi) const;
    // The window's size as the layout gives it at that DPI: on creation, on
    // WM_GETDPISCALEDSIZE and on WM_DPICHANGED alike.
    SIZE LayoutWindowSize(int dpi) const;
    // Where a form that is not centred goes: the monitor's work area's
    // top-left corner plus the layout's "left" and "top" at the form's DPI,
    // kept inside the work area.
    POINT PlacedOnMonitor(HMONITOR monitor, SIZE outer) const;
    void LoadIcons();
    void Paint();
    GraphicControl* GraphicControlAt(POINT p) const;
    bool RouteMouse(UINT message, WPARAM wParam, LPARAM lParam);
    void FocusFirstControl();
    void CloseModal();
    void ChangeUiState(WORD action, WORD flags);
    std::vector<const Control*> AccessibleControls() const;

    std::string layoutFile_;
    HWND hwnd_ = nullptr;  // ours: destroyed in the destructor
    std::vector<std::unique_ptr<Component>> components_;  // layout order
    std::vector<Control*> controls_;                      // the visible ones, layout order
    std::vector<Timer*> timers_;
    std::vector<std::function<void()>> binders_;
    std::map<std::string, AnyHandler> handlers_;
    std::map<FontSpec, tk::Font> fonts_;
    FontSpec font_;
    COLORREF colour_ = ::GetSysColor(COLOR_BTNFACE);
    Brush brush_;
    // The picture every paint is composed in before it goes on screen; kept
    // from paint to paint (the progress window repaints at every tick and
    // every file).
    Bitmap backBuffer_;
    Icon icon_, smallIcon_;
    std::string border_ = "sizeable";
    bool centred_ = true;
    int designLeft_ = 0, designTop_ = 0;  // the layout's "left" and "top", at 96 DPI
    bool autoSize_ = false;
    int alphaBlendValue_ = -1;
    int clientWidth_ = 0, clientHeight_ = 0;  // the layout's, at 96 DPI
    int dpi_ = 96;
    std::string iconName_;
    bool modal_ = false;
    int modalResult_ = mrNone;
    bool shownOnce_ = false;
    GraphicControl* mouseCapture_ = nullptr;  // graphic control holding the mouse
    GraphicControl* pressed_ = nullptr;       // graphic control a left press landed on
    HWND lastFocus_ = nullptr;                // focus to give back on activation
    HWND hints_ = nullptr;                    // tooltip window; owned by hwnd_, destroyed with it
    WORD uiState_ = UISF_HIDEFOCUS | UISF_HIDEACCEL;  // the keyboard cues hidden
};

}  // namespace tk
