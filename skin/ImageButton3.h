// TImageButton: the push button of the skinned windows. It shows pictures
// instead of a caption (a base picture, a hover or pressed picture over it,
// overlays while disabled or focused) and cuts its window to the shape of the
// picture it shows, so the skin behind it shows through the key-coloured
// parts and the pointer counts only over the shape. It can latch down as a
// member of a group, act as its form's default or cancel button and hand a
// modal result to its form.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "toolkit/Accessibility.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Control.h"
#include "toolkit/Handles.h"

// A picture colour: 0x00BBGGRR.
using TColor = COLORREF;

enum TTransparentMode { tmAuto = 0, tmFixed = 1 };

// Which state picture is drawn over the base picture.
using TDisplayState = BYTE;
constexpr TDisplayState dsNone = 0, dsOver = 1, dsDown = 2;
// RegionState when no valid region exists; matches no display state.
constexpr BYTE kNoRegion = 10;

// The group notification among the image buttons of one form: WParam is the
// group, LParam the sending button (as tk::Control*).
constexpr UINT CM_BUTTONPRESSED = 0xB018;

// The layouts name the component type "ImageButton"; call this once before
// the first form is created.
void RegisterImageButton();

// Where the focus cue goes on a button of that size: the system's focus
// rectangle, inset so that it lies inside the rounded shape of the pictures.
RECT FocusCueRect(int width, int height);

// The region of every pixel of `picture` whose colour differs from `key`
// (plain comparison of the colour values), made from one rectangle per
// horizontal run of such pixels in a single ExtCreateRegion call. Empty
// when no pixel differs. Throws tk::Error when the system refuses.
tk::Region ShapeRegion(const tk::Bitmap& picture, TColor key);

// A picture in its stored form: a 32-bit little-endian byte count, then a
// Windows BMP file of that many bytes (a count of 0 is an empty picture).
// Throws tk::Error when the data is short or not a bitmap.
tk::Bitmap ReadStoredBitmap(std::string_view data);

// A button picture named in a layout: the data file holds either a BMP file
// or the stored form above.
tk::Bitmap LoadButtonPicture(const std::string& file);
// The same for a window at that DPI, from the skin set for it
// (toolkit/SkinPictures.h); `design` is the button's place at 96 DPI.
tk::Bitmap LoadButtonPicture(const std::string& file, int dpi, const RECT& design);

// The button's window text is its accessible name: the layout's
// "accessibleName", or else its hint without the closing dots. It draws no
// caption, so the text is only heard. A screen reader also hears that it is a
// push button, and can press it.
class TImageButton : public tk::WinControl, public tk::AccessibleProvider {
public:
    TImageButton();
    ~TImageButton() override;

    // The six owned pictures. Setting one copies the given picture, forces a
    // new region and draws.
    const tk::Bitmap& DownBitmap() const { return downBitmap_; }
    const tk::Bitmap& UpBitmap() const { return upBitmap_; }  // held and stored, never drawn
    const tk::Bitmap& NoneBitmap() const { return noneBitmap_; }
    const tk::Bitmap& OverBitmap() const { return overBitmap_; }
    const tk::Bitmap& DisabledBitmap() const { return disabledBitmap_; }
    const tk::Bitmap& FocusedBitmap() const { return focusedBitmap_; }
    void SetDownBitmap(const tk::Bitmap& picture);
    void SetUpBitmap(const tk::Bitmap& picture);
    void SetNoneBitmap(const tk::Bitmap& picture);
    void SetOverBitmap(const tk::Bitmap& picture);
    void SetDisabledBitmap(const tk::Bitmap& picture);
    void SetFocusedBitmap(const tk::Bitmap& picture);

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int group);
    bool Down() const { return down_; }
    void SetDown(bool down);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool allow);
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);
    TColor TransparentColor() const { return transparentColor_; }
    // Writing the colour switches to tmFixed.
    void SetTransparentColor(TColor colour);
    void SetEnabled(bool enabled) override;
    // Always the same text; writing it has no effect.
    std::string Homepage() const;
    void SetHomepage(const std::string&) {}

    // True while OnClick runs for a click by a key (Space, Enter) or by a
    // screen reader's default action: not at the pointer.
    bool ClickedByKeyboard() const { return clickedByKeyboard_; }
    // The focus cue shows: the button has the focus and its form shows the
    // keyboard cues.
    bool FocusCueShown() const;

    LONG AccessibleRole() const override;  // a push button
    std::wstring AccessibleName() const override { return accessibleName_; }
    std::wstring AccessibleValue() const override { return {}; }
    std::wstring AccessibleDefaultAction() const override { return L"Press"; }
    bool DoAccessibleDefaultAction() override;

    bool IsEnabled() const { return isEnabled_; }
    bool HasFocus() const { return hasFocus_; }
    bool MouseInside() const { return mouseInside_; }
    TDisplayState DisplayState() const { return displayState_; }
    BYTE RegionState() const { return regionState_; }

    // Composes the layers (key colour, NoneBitmap, the state picture, the
    // disabled and focused overlays), cuts the window to the composite's
    // shape when the display state changed, and draws it on the window.
    virtual void DrawButton();

    void Click() override;
    void MouseDown(tk::MouseButton button, tk::ShiftState shift, int x, int y) override;
    void MouseUp(tk::MouseButton button, tk::ShiftState shift, int x, int y) override;
    bool DialogKey(WORD key) override;
    LRESULT HandleBroadcast(UINT message, WPARAM wParam, LPARAM lParam) override;

    void Load(const tk::LayoutNode& node) override;
    void AttachEvent(const std::string& event, const tk::AnyHandler& handler) override;
    void Realize() override;
    // The pictures the layout names are loaded again for the new scale, and
    // the region is built from them.
    void DpiChanged() override;

    tk::NotifyEvent OnMouseEnter, OnMouseLeave;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void MouseEnter() override;
    void MouseLeave() override;
    // Gives the window the shape of the composite, unless the region was
    // built for the current display state already.
    void BuildRegion(const tk::Bitmap& composite);
    // The shape of the composite in the current key colour (ShapeRegion).
    virtual tk::Region MakeRegion(const tk::Bitmap& composite);
    // Tells the image buttons of the same form about this button's group.
    void NotifyGroup();

private:
    void PictureChanged(tk::Bitmap& slot, const tk::Bitmap& picture);
    // The layout's pictures at the form's DPI, for the slots that still hold them.
    void LoadPictures();
    void KeyboardClick();
    void ReadKeyColour();

    int groupIndex_ = 0;
    tk::Bitmap downBitmap_, noneBitmap_, overBitmap_, upBitmap_, focusedBitmap_, disabledBitmap_;
    // The layout's picture files, by slot; a picture the program sets clears its file.
    std::map<tk::Bitmap*, std::string> pictureFiles_;
    bool down_ = false;
    bool allowAllUp_ = false;
    bool isEnabled_ = true;
    bool hasFocus_ = false;
    bool default_ = false;
    bool cancel_ = false;
    bool mouseInside_ = false;
    TColor transparentColor_ = 0;
    TTransparentMode transparentMode_ = tmAuto;
    int modalResult_ = 0;
    TDisplayState displayState_ = dsNone;
    BYTE regionState_ = kNoRegion;
    bool clickedByKeyboard_ = false;
};
