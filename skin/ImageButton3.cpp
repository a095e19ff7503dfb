#include "skin/ImageButton3.h"

#include <oleacc.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Dpi.h"
#include "toolkit/Resources.h"
#include "toolkit/SkinPictures.h"
#include "toolkit/Text.h"

namespace {

constexpr char kWindowClass[] = "TImageButton";
// Posted by a screen reader's default action: click as a key does.
constexpr UINT kAccessibleClick = WM_APP + 40;
constexpr char kHomepage[] = "http://www.quendrix.com/components/imagebutton/";

// The button's own window class: double clicks, the arrow, and the button
// face behind a window that has no region and nothing drawn on it.
const char* WindowClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        wc.lpfnWndProc = ::DefWindowProcA;  // the toolkit subclasses each window
        if (!::RegisterClassExA(&wc)) throw tk::Error("Cannot register the image button window class");
        registered = true;
    }
    return kWindowClass;
}

TTransparentMode ParseTransparentMode(const std::string& text) {
    if (text == "tmAuto") return tmAuto;
    if (text == "tmFixed") return tmFixed;
    throw tk::Error(tk::Format("Unknown transparent mode %s", text.c_str()));
}

}  // namespace

void RegisterImageButton() {
    tk::RegisterComponentType("ImageButton", [] { return std::make_unique<TImageButton>(); });
}

RECT FocusCueRect(int width, int height) {
    // The title buttons are 11 pixels high: 2 keeps their cue 7 high.
    const int inset = std::min(width, height) >= 20 ? 3 : 2;
    return RECT{inset, inset, std::max(inset, width - inset), std::max(inset, height - inset)};
}

// --- pictures and regions ------------------------------------------------------

tk::Region ShapeRegion(const tk::Bitmap& picture, TColor key) {
    // Rows hold 0x00RRGGBB; a TColor with bits above the colour matches no pixel.
    const bool keyCanMatch = (key >> 24) == 0;
    const uint32_t keyPixel = tk::SwapRedBlue(key & 0x00FFFFFF);
    const int width = picture.Width(), height = picture.Height();
    std::vector<RECT> runs;
    ::GdiFlush();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = picture.Row(y);
        int x = 0;
        while (x < width) {
            while (x < width && keyCanMatch && (row[x] & 0x00FFFFFF) == keyPixel) ++x;
            if (x == width) break;
            const int start = x;
            while (x < width && !(keyCanMatch && (row[x] & 0x00FFFFFF) == keyPixel)) ++x;
            runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    if (runs.empty()) return {};

    // RGNDATA: the header, then the rectangles in rows from top to bottom,
    // each row's from left to right.
    const size_t rectBytes = runs.size() * sizeof(RECT);
    std::vector<unsigned char> buffer(sizeof(RGNDATAHEADER) + rectBytes);
    RGNDATAHEADER header{};
    header.dwSize = sizeof header;
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(runs.size());
    header.nRgnSize = static_cast<DWORD>(rectBytes);
    header.rcBound = RECT{0, 0, width, height};
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, runs.data(), rectBytes);
    tk::Region region(::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()),
                                        reinterpret_cast<const RGNDATA*>(buffer.data())));
    if (!region) throw tk::Error("Cannot create the region of an image button");
    return region;
}

tk::Bitmap ReadStoredBitmap(std::string_view data) {
    if (data.size() < 4) throw tk::Error("Bitmap image is not valid");
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const uint32_t count = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    if (count > data.size() - 4) throw tk::Error("Bitmap image is not valid");
    if (count == 0) return {};
    return tk::Bitmap::FromBmp(data.substr(4, count));
}

tk::Bitmap LoadButtonPicture(const std::string& file) {
    const std::string_view data = tk::DataFile(file);
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return tk::Bitmap::FromBmp(data);
    return ReadStoredBitmap(data);
}

tk::Bitmap LoadButtonPicture(const std::string& file, int dpi, const RECT& design) {
    tk::Bitmap (*decode)(const std::string&) = &LoadButtonPicture;
    return tk::LoadSkinPicture(file, dpi, &design, true, decode);
}

// --- TImageButton ----------------------------------------------------------------

TImageButton::TImageButton() {
    // Group, latch, key colour and state start as their fields say.
    width_ = 35;
    height_ = 35;
    tabStop_ = true;
    trackPointer_ = true;
}

TImageButton::~TImageButton() { tk::UnregisterAccessible(Handle()); }

void TImageButton::Load(const tk::LayoutNode& node) {
    tk::WinControl::Load(node);
    isEnabled_ = enabled_;
    // Pictures go straight into the owned bitmaps; the first paint draws.
    const struct {
        const char* key;
        tk::Bitmap* slot;
    } pictures[] = {
        {"downBitmap", &downBitmap_},         {"upBitmap", &upBitmap_},
        {"noneBitmap", &noneBitmap_},         {"overBitmap", &overBitmap_},
        {"disabledBitmap", &disabledBitmap_}, {"focusedBitmap", &focusedBitmap_},
    };
    for (const auto& picture : pictures) {
        const std::string file = tk::LayoutText(node, picture.key);
        if (!file.empty()) pictureFiles_[picture.slot] = file;
    }
    LoadPictures();
    groupIndex_ = tk::LayoutInt(node, "groupIndex", groupIndex_);
    down_ = tk::LayoutBool(node, "down", down_) && groupIndex_ != 0;
    if (down_) displayState_ = dsDown;
    tk::LayoutText(node, "homepage");  // accepted and ignored
    allowAllUp_ = tk::LayoutBool(node, "allowAllUp", allowAllUp_);
    transparentMode_ = ParseTransparentMode(tk::LayoutText(node, "transparentMode", "tmAuto"));
    if (node.contains("transparentColor")) {
        transparentColor_ = tk::LayoutColour(node, "transparentColor", transparentColor_);
        transparentMode_ = tmFixed;
    }
    modalResult_ = tk::LayoutInt(node, "modalResult", modalResult_);
    cancel_ = tk::LayoutBool(node, "cancel", cancel_);
    default_ = tk::LayoutBool(node, "default", default_);
    if (accessibleName_.empty()) accessibleName_ = tk::Widen(tk::AccessibleNameFromHint(hint_));
}

void TImageButton::AttachEvent(const std::string& event, const tk::AnyHandler& handler) {
    auto notify = [&](tk::NotifyEvent& slot) {
        const auto* typed = std::get_if<tk::NotifyEvent>(&handler);
        if (!typed) throw tk::Error(tk::Format("Handler of the wrong kind for %s", event.c_str()));
        slot = *typed;
    };
    if (event == "onMouseEnter") notify(OnMouseEnter);
    else if (event == "onMouseLeave") notify(OnMouseLeave);
    else tk::WinControl::AttachEvent(event, handler);
}

void TImageButton::Realize() {
    if (Handle()) return;
    // The window text is never drawn: it names the button to screen readers.
    CreateHandle(WindowClass(), 0, 0, tk::Narrow(accessibleName_));
    tk::RegisterAccessible(Handle(), this);
    Owner()->AddHint(*this);
}

LONG TImageButton::AccessibleRole() const { return ROLE_SYSTEM_PUSHBUTTON; }

bool TImageButton::DoAccessibleDefaultAction() {
    if (!Handle() || !CanFocus()) return false;
    // Posted: the click runs from the message loop, not inside the reader's call.
    return ::PostMessageA(Handle(), kAccessibleClick, 0, 0) != FALSE;
}

// --- properties --------------------------------------------------------------------

void TImageButton::LoadPictures() {
    const int dpi = Owner() ? Owner()->Dpi() : tk::kDesignDpi;
    for (const auto& [slot, file] : pictureFiles_)
        *slot = LoadButtonPicture(file, dpi, design_);
}

void TImageButton::DpiChanged() {
    tk::WinControl::DpiChanged();
    LoadPictures();
    if (transparentMode_ == tmAuto) ReadKeyColour();
    regionState_ = kNoRegion;
    if (Handle()) DrawButton();
}

void TImageButton::PictureChanged(tk::Bitmap& slot, const tk::Bitmap& picture) {
    pictureFiles_.erase(&slot);
    slot = picture.Copy();
    regionState_ = kNoRegion;
    DrawButton();
}

void TImageButton::SetDownBitmap(const tk::Bitmap& picture) { PictureChanged(downBitmap_, picture); }
void TImageButton::SetUpBitmap(const tk::Bitmap& picture) { PictureChanged(upBitmap_, picture); }
void TImageButton::SetOverBitmap(const tk::Bitmap& picture) { PictureChanged(overBitmap_, picture); }
void TImageButton::SetDisabledBitmap(const tk::Bitmap& picture) { PictureChanged(disabledBitmap_, picture); }
void TImageButton::SetFocusedBitmap(const tk::Bitmap& picture) { PictureChanged(focusedBitmap_, picture); }

void TImageButton::SetNoneBitmap(const tk::Bitmap& picture) {
    pictureFiles_.erase(&noneBitmap_);
    noneBitmap_ = picture.Copy();
    if (transparentMode_ == tmAuto) ReadKeyColour();
    regionState_ = kNoRegion;
    DrawButton();
}

// In tmAuto the key colour is NoneBitmap's bottom-left pixel; while there is
// no NoneBitmap the colour stays as it was.
void TImageButton::ReadKeyColour() {
    if (!noneBitmap_.Empty()) transparentColor_ = noneBitmap_.Pixel(0, noneBitmap_.Height() - 1);
}

void TImageButton::SetTransparentMode(TTransparentMode mode) {
    transparentMode_ = mode;
    if (mode == tmAuto) ReadKeyColour();
    regionState_ = kNoRegion;
    DrawButton();
}

void TImageButton::SetTransparentColor(TColor colour) {
    transparentColor_ = colour;
    transparentMode_ = tmFixed;
    regionState_ = kNoRegion;
    DrawButton();
}

void TImageButton::SetEnabled(bool enabled) {
    tk::WinControl::SetEnabled(enabled);
    isEnabled_ = enabled;
    regionState_ = kNoRegion;
    DrawButton();
}

// The toolkit's standard buttons keep the default look their layout gives
// them, so there is nothing on the form to tell.
void TImageButton::SetDefault(bool value) { default_ = value; }

std::string TImageButton::Homepage() const { return kHomepage; }

void TImageButton::SetDown(bool down) {
    if (groupIndex_ == 0) down = false;
    if (down != down_) {
        if (down_ && !allowAllUp_) return;  // the group keeps one button down
        down_ = down;
        NotifyGroup();
    }
    displayState_ = down_ ? dsDown : dsNone;
    DrawButton();
}

void TImageButton::SetGroupIndex(int group) {
    if (group == groupIndex_) return;
    NotifyGroup();
    groupIndex_ = group;
    if (group == 0) {
        down_ = false;
        displayState_ = dsNone;
        regionState_ = kNoRegion;
        DrawButton();
    }
    NotifyGroup();
}

void TImageButton::SetAllowAllUp(bool allow) {
    if (allow == allowAllUp_) return;
    allowAllUp_ = allow;
    NotifyGroup();
}

// --- the group ---------------------------------------------------------------------

void TImageButton::NotifyGroup() {
    if (groupIndex_ == 0 || !Owner()) return;
    Owner()->Broadcast(CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_),
                       reinterpret_cast<LPARAM>(static_cast<tk::Control*>(this)));
}

LRESULT TImageButton::HandleBroadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != CM_BUTTONPRESSED) return 0;
    auto* sender = dynamic_cast<TImageButton*>(reinterpret_cast<tk::Control*>(lParam));
    if (!sender || sender == this || static_cast<int>(wParam) != groupIndex_) return 0;
    if (sender->Down() && down_) {
        down_ = false;
        displayState_ = dsNone;
        DrawButton();
    }
    allowAllUp_ = sender->AllowAllUp();
    return 0;
}

// --- drawing -------------------------------------------------------------------------

void TImageButton::DrawButton() {
    if (transparentMode_ == tmAuto) ReadKeyColour();
    tk::Bitmap composite(width_, height_);
    composite.Fill(transparentColor_);
    noneBitmap_.DrawOn(composite, 0, 0);
    if (displayState_ == dsOver) overBitmap_.DrawOn(composite, 0, 0);
    else if (displayState_ == dsDown) downBitmap_.DrawOn(composite, 0, 0);
    if (!isEnabled_) disabledBitmap_.DrawTransparentOn(composite, 0, 0, transparentColor_);
    if (hasFocus_) focusedBitmap_.DrawTransparentOn(composite, 0, 0, transparentColor_);
    BuildRegion(composite);
    // The focus cue comes after the region: it never changes the shape, and
    // the region clips whatever of it falls outside.
    if (FocusCueShown()) {
        const RECT cue = FocusCueRect(width_, height_);
        ::DrawFocusRect(composite.Dc(), &cue);
        ::GdiFlush();
    }
    tk::Canvas canvas(*this);
    if (canvas.Dc()) composite.DrawTransparent(canvas.Dc(), 0, 0, transparentColor_);
}

void TImageButton::BuildRegion(const tk::Bitmap& composite) {
    if (displayState_ == regionState_) return;
    HandleNeeded();
    if (!Handle()) return;  // no window yet: the first draw with one builds it
    // Until the window holds the new region, RegionState keeps saying that it
    // does not: a build that throws or a refused hand-over is tried again at
    // the next draw.
    tk::Region shape = MakeRegion(composite);
    // No region (every pixel has the key colour) removes the window's region.
    if (!::SetWindowRgn(Handle(), shape.Get(), TRUE)) return;  // refused: the shape is still ours and goes
    shape.Release();  // the system owns the region now
    regionState_ = displayState_;
}

tk::Region TImageButton::MakeRegion(const tk::Bitmap& composite) {
    return ShapeRegion(composite, transparentColor_);
}

// --- input ---------------------------------------------------------------------------

void TImageButton::MouseEnter() {
    mouseInside_ = true;
    displayState_ = down_ ? dsDown : dsOver;
    DrawButton();
    if (OnMouseEnter) OnMouseEnter(this);
}

void TImageButton::MouseLeave() {
    mouseInside_ = false;
    displayState_ = down_ ? dsDown : dsNone;
    DrawButton();
    if (OnMouseLeave) OnMouseLeave(this);
}

void TImageButton::MouseDown(tk::MouseButton button, tk::ShiftState shift, int x, int y) {
    tk::WinControl::MouseDown(button, shift, x, y);
    displayState_ = dsDown;
    DrawButton();
}

void TImageButton::MouseUp(tk::MouseButton button, tk::ShiftState shift, int x, int y) {
    tk::WinControl::MouseUp(button, shift, x, y);
    if (!down_) displayState_ = mouseInside_ ? dsOver : dsNone;
    DrawButton();
}

void TImageButton::Click() {
    if (modalResult_ != 0 && Owner()) Owner()->SetModalResult(modalResult_);
    if (groupIndex_ != 0) SetDown(allowAllUp_ ? !down_ : true);
    else displayState_ = dsNone;
    if (CanFocus()) SetFocus();
    DrawButton();
    tk::WinControl::Click();
}

bool TImageButton::DialogKey(WORD key) {
    const bool take = (key == VK_RETURN && (hasFocus_ || (CanFocus() && default_))) ||
                      (key == VK_ESCAPE && CanFocus() && cancel_);
    if (take) KeyboardClick();
    return take;
}

void TImageButton::KeyboardClick() {
    clickedByKeyboard_ = true;
    try {
        Click();
    } catch (...) {
        clickedByKeyboard_ = false;
        throw;
    }
    clickedByKeyboard_ = false;
}

bool TImageButton::FocusCueShown() const { return hasFocus_ && Owner() && Owner()->FocusCuesShown(); }

LRESULT TImageButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintCycle([this] { DrawButton(); });
        return 0;
    case WM_SETFOCUS:
        hasFocus_ = true;
        regionState_ = kNoRegion;
        DrawButton();
        return 0;
    case WM_KILLFOCUS:
        hasFocus_ = false;
        regionState_ = kNoRegion;
        DrawButton();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) displayState_ = dsDown;
        DrawButton();
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) KeyboardClick();
        return 0;
    case kAccessibleClick:
        if (CanFocus()) KeyboardClick();
        return 0;
    case WM_UPDATEUISTATE: {
        // Only the focused button shows a change of the focus cues.
        const LRESULT result = DefaultHandling(message, wParam, lParam);
        if (hasFocus_ && (HIWORD(wParam) & UISF_HIDEFOCUS)) DrawButton();
        return result;
    }
    case WM_GETOBJECT:
        if (const LRESULT object = tk::AnswerGetObject(Handle(), wParam, lParam)) return object;
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Handle() && LOWORD(lParam) == HTCLIENT && Cursor()) {
            ::SetCursor(Cursor());
            return TRUE;
        }
        break;
    default: {
        bool handled = false;
        const LRESULT result = HandleOwnMouse(message, wParam, lParam, handled);
        if (handled) return result;
        break;
    }
    }
    return DefaultHandling(message, wParam, lParam);
}
