// The component model: a Form owns Components; visible ones are Controls.
// A GraphicControl has no window of its own: its form paints it and routes
// the mouse to it. A WinControl owns a native child window, which the toolkit
// subclasses to see its messages.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "toolkit/Events.h"
#include "toolkit/Layout.h"

namespace tk {

class Form;

class Component {
public:
    virtual ~Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& Name() const { return name_; }
    Form* Owner() const { return owner_; }

    // Reads the component's properties from its layout node. Runs once,
    // right after the component is made, before its window exists.
    virtual void Load(const LayoutNode& node);
    // Attaches a named handler to an event ("onClick", ...); throws tk::Error
    // for an event the component does not have or a handler of the wrong kind.
    virtual void AttachEvent(const std::string& event, const AnyHandler& handler);
    // Called when the owner's window exists: make native windows here.
    virtual void Realize() {}

protected:
    Component() = default;

private:
    friend class Form;
    std::string name_;
    Form* owner_ = nullptr;  // we don't own it
};

class Control : public Component {
public:
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    virtual void SetBounds(int left, int top, int width, int height);
    // The place the layout gives, in 96-DPI units; the bounds above are it
    // scaled to the form's DPI.
    const RECT& DesignRect() const { return design_; }
    // The form's DPI changed: the control takes its place, font and pictures
    // for it.
    virtual void DpiChanged();

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    const std::string& Hint() const { return hint_; }
    int TabOrder() const { return tabOrder_; }

    // Mouse and click handling, raised by the form (graphic controls) or by
    // the control's own window. Derived controls extend them; the base
    // raises the events.
    virtual void MouseDown(MouseButton button, ShiftState shift, int x, int y);
    virtual void MouseMove(ShiftState shift, int x, int y);
    virtual void MouseUp(MouseButton button, ShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    virtual HCURSOR Cursor() const { return cursor_; }

    // Enter and Escape that the focused control did not take: the form offers
    // them to its controls in order until one accepts.
    virtual bool DialogKey(WORD key) { return false; }

    virtual bool IsWindowed() const { return false; }
    virtual void Invalidate();

    // What a screen reader is told of the control (Accessibility.h): its role
    // (0: a window-less control that is not shown to one), its name and its
    // value. The layout may give all three ("accessibleRole",
    // "accessibleName", "accessibleValue").
    virtual LONG AccessibleRole() const { return accessibleRole_; }
    virtual std::wstring AccessibleName() const { return accessibleName_; }
    virtual std::wstring AccessibleValue() const { return accessibleValue_; }
    // Tells the form's listeners of the new value.
    void SetAccessibleValue(const std::wstring& value);

    // A notification that one control sends to all controls of its form
    // (Form::Broadcast). A non-zero result stops the broadcast.
    virtual LRESULT HandleBroadcast(UINT message, WPARAM wParam, LPARAM lParam) { return 0; }

    void Load(const LayoutNode& node) override;
    void AttachEvent(const std::string& event, const AnyHandler& handler) override;

    NotifyEvent OnClick, OnDblClick;
    MouseEvent OnMouseDown, OnMouseUp;
    MouseMoveEvent OnMouseMove;

protected:
    Control() = default;
    virtual void BoundsChanged() {}

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    RECT design_{0, 0, 0, 0};
    bool visible_ = true;
    bool enabled_ = true;
    int tabOrder_ = -1;
    std::string hint_;
    LONG accessibleRole_ = 0;
    std::wstring accessibleName_;
    std::wstring accessibleValue_;
    HCURSOR cursor_ = nullptr;  // shared system cursor; nullptr: the arrow
};

class GraphicControl : public Control {
public:
    // Paints into the form's client DC (already offset to the form's origin).
    virtual void Paint(HDC dc) = 0;
};

class WinControl : public Control {
public:
    ~WinControl() override;
    HWND Handle() const { return hwnd_; }
    bool IsWindowed() const override { return true; }
    bool Focused() const;
    bool CanFocus() const;
    void SetFocus();
    bool TabStop() const { return tabStop_; }

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void Invalidate() override;
    void Load(const LayoutNode& node) override;
    void DpiChanged() override;

    // WM_COMMAND notifications from the control's own native window.
    virtual void Command(WORD code) {}

    // Makes the native window now if it does not exist yet and the form's does.
    void HandleNeeded();
    // The pointer is over the window, as the last enter and leave said
    // (only for controls that track the pointer).
    bool PointerInside() const { return pointerInside_; }

protected:
    WinControl() = default;
    // Makes the native child window and subclasses it.
    void CreateHandle(const char* windowClass, DWORD style, DWORD exStyle, const std::string& text);
    // Every message of the control's window comes here first.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    // For controls that draw themselves: pressing, capturing, clicking and
    // releasing the mouse as the toolkit's own controls do.
    LRESULT HandleOwnMouse(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void ApplyFont(HFONT font);
    // Gives the window the form's font of that description, now and again
    // whenever the DPI changes.
    void UseFont(const FontSpec& font);
    // Runs `draw` inside a paint cycle of the window (BeginPaint..EndPaint);
    // a Canvas made meanwhile draws with the paint DC.
    void PaintCycle(const std::function<void()>& draw);

    // Pointer tracking, for controls that set trackPointer_: the pointer
    // coming onto the window's shape (its region, if it has one) raises
    // MouseEnter; leaving it raises MouseLeave. Outside moves come while the
    // mouse is captured; otherwise TrackMouseEvent reports the leave.
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    bool trackPointer_ = false;

    bool tabStop_ = false;
    bool clicked_ = false;  // a left press on this control awaits its release

private:
    friend class Canvas;
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void TrackPointer(UINT message, LPARAM lParam);
    bool PointOnShape(POINT client) const;
    HWND hwnd_ = nullptr;     // a child of the form's window; destroyed with it or by us
    HDC paintDc_ = nullptr;   // during PaintCycle only; BeginPaint's
    bool pointerInside_ = false;
    std::optional<FontSpec> windowFont_;  // as UseFont gave it
};

// Drawing on a windowed control's own window, inside its paint cycle (the
// paint DC) or outside it (the window's DC; the window is made first if it
// does not exist yet).
class Canvas {
public:
    explicit Canvas(WinControl& control);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    // nullptr when the control has no window and cannot have one yet.
    HDC Dc() const { return dc_; }

private:
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
    bool windowDc_ = false;  // ours to release
};

ShiftState ShiftFromKeys(WPARAM keys);

}  // namespace tk
