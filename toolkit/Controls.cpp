#include "toolkit/Controls.h"

#include <oleacc.h>

#include <map>

#include "toolkit/Dpi.h"
#include "toolkit/FileDialogs.h"
#include "toolkit/Form.h"
#include "toolkit/Panel.h"
#include "toolkit/ListView.h"
#include "toolkit/Menu.h"
#include "toolkit/Resources.h"
#include "toolkit/SkinPictures.h"
#include "toolkit/Text.h"
#include "toolkit/TextBlock.h"
#include "toolkit/Timer.h"

namespace tk {

// --- the factory ---------------------------------------------------------------

namespace {

std::map<std::string, ComponentFactory>& Factories() {
    static std::map<std::string, ComponentFactory> factories = {
        {"Label", [] { return std::make_unique<Label>(); }},
        {"Image", [] { return std::make_unique<Image>(); }},
        {"Bevel", [] { return std::make_unique<Bevel>(); }},
        {"Panel", [] { return std::make_unique<Panel>(); }},
        {"Button", [] { return std::make_unique<Button>(); }},
        {"RadioButton", [] { return std::make_unique<RadioButton>(); }},
        {"CheckBox", [] { return std::make_unique<CheckBox>(); }},
        {"Edit", [] { return std::make_unique<Edit>(); }},
        {"Timer", [] { return std::make_unique<Timer>(); }},
        {"ListView", [] { return std::make_unique<ListView>(); }},
        {"PopupMenu", [] { return std::make_unique<PopupMenu>(); }},
        {"MenuItem", [] { return std::make_unique<MenuItem>(); }},
        {"OpenDialog", [] { return std::make_unique<OpenDialog>(); }},
    };
    return factories;
}

std::string WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthA(hwnd);
    std::string text(length + 1, '\0');
    text.resize(::GetWindowTextA(hwnd, text.data(), length + 1));
    return text;
}

}  // namespace

void RegisterComponentType(const std::string& type, ComponentFactory factory) { Factories()[type] = std::move(factory); }

std::unique_ptr<Component> MakeComponent(const std::string& type) {
    auto it = Factories().find(type);
    if (it == Factories().end()) throw Error(Format("Unknown component type %s", type.c_str()));
    return it->second();
}

// --- Label -----------------------------------------------------------------------

void Label::Load(const LayoutNode& node) {
    accessibleRole_ = ROLE_SYSTEM_STATICTEXT;
    Control::Load(node);
    caption_ = Widen(LayoutText(node, "caption"));
    font_ = LayoutFont(node, Owner()->Font());
    transparent_ = LayoutBool(node, "transparent", false);
    autoSize_ = LayoutBool(node, "autoSize", true);
    wordWrap_ = LayoutBool(node, "wordWrap", false);
    colour_ = LayoutColour(node, "color", CLR_INVALID);
    const std::string align = LayoutText(node, "alignment", "left");
    alignment_ = align == "right" ? DT_RIGHT : align == "center" ? DT_CENTER : DT_LEFT;
}

void Label::Realize() { FitToText(); }

void Label::DpiChanged() {
    Control::DpiChanged();
    FitToText();
}

std::string Label::Caption() const { return Narrow(caption_); }

void Label::SetCaption(const std::string& caption) { SetCaption(Widen(caption)); }

void Label::SetCaption(const std::wstring& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Invalidate();
    FitToText();
    Invalidate();
    if (Owner()) Owner()->AccessibleItemChanged(*this, EVENT_OBJECT_NAMECHANGE);
}

void Label::FitToText() {
    if (!autoSize_ || !Owner() || !Owner()->Handle()) return;
    WindowDc screen(Owner()->Handle());
    ScopedSelect font(screen.Get(), Owner()->FontFor(font_));
    const SIZE size = MeasureTextBlock(screen.Get(), caption_.empty() ? L" " : caption_, wordWrap_ ? width_ : 0);
    if (!wordWrap_) width_ = size.cx;
    height_ = size.cy;
}

void Label::Paint(HDC dc) {
    RECT r = BoundsRect();
    if (!transparent_) {
        const COLORREF back = colour_ == CLR_INVALID ? Owner()->Colour() : colour_;
        Brush brush(::CreateSolidBrush(back));
        ::FillRect(dc, &r, brush.Get());
    }
    ScopedSelect font(dc, Owner()->FontFor(font_));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, enabled_ ? font_.colour : ::GetSysColor(COLOR_GRAYTEXT));
    DrawTextBlock(dc, caption_, r, alignment_, wordWrap_);
}

// --- Image -----------------------------------------------------------------------

void Image::Load(const LayoutNode& node) {
    Control::Load(node);
    transparent_ = LayoutBool(node, "transparent", false);
    stretch_ = LayoutBool(node, "stretch", false);
    autoSize_ = LayoutBool(node, "autoSize", false);
    pictureFile_ = LayoutText(node, "picture");
    LoadPicture();
}

void Image::LoadPicture() {
    if (pictureFile_.empty()) return;
    picture_ = LoadSkinPicture(pictureFile_, Owner() ? Owner()->Dpi() : kDesignDpi, &design_, transparent_);
    if (autoSize_ && !picture_.Empty()) {
        width_ = picture_.Width();
        height_ = picture_.Height();
    }
}

void Image::DpiChanged() {
    Control::DpiChanged();
    LoadPicture();
    Invalidate();
}

void Image::SetPicture(Bitmap picture) {
    pictureFile_.clear();
    picture_ = std::move(picture);
    if (autoSize_ && !picture_.Empty()) SetBounds(left_, top_, picture_.Width(), picture_.Height());
    Invalidate();
}

void Image::Paint(HDC dc) {
    if (picture_.Empty()) return;
    if (stretch_) {
        picture_.StretchDraw(dc, BoundsRect());
    } else if (transparent_) {
        picture_.DrawTransparent(dc, left_, top_, picture_.Pixel(0, picture_.Height() - 1));
    } else {
        picture_.Draw(dc, left_, top_);
    }
}

// --- Bevel -----------------------------------------------------------------------

void Bevel::Load(const LayoutNode& node) {
    Control::Load(node);
    shape_ = LayoutText(node, "shape", "box");
}

void Bevel::Paint(HDC dc) {
    RECT r = BoundsRect();
    if (shape_ == "topLine") {
        r.bottom = r.top + 2;
        ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_TOP);
        RECT light{r.left, r.top + 1, r.right, r.top + 2};
        Brush brush(::CreateSolidBrush(::GetSysColor(COLOR_BTNHIGHLIGHT)));
        ::FillRect(dc, &light, brush.Get());
    } else {
        ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
}

// --- Button ----------------------------------------------------------------------

void Button::Load(const LayoutNode& node) {
    tabStop_ = true;
    WinControl::Load(node);
    caption_ = LayoutText(node, "caption");
    font_ = LayoutFont(node, Owner()->Font());
    default_ = LayoutBool(node, "default", false);
    cancel_ = LayoutBool(node, "cancel", false);
    modalResult_ = LayoutInt(node, "modalResult", mrNone);
}

void Button::Realize() {
    CreateHandle("BUTTON", default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, 0, caption_);
    UseFont(font_);
}

void Button::Command(WORD code) {
    if (code == BN_CLICKED) Click();
}

void Button::Click() {
    if (modalResult_ != mrNone) Owner()->SetModalResult(modalResult_);
    Control::Click();
}

bool Button::DialogKey(WORD key) {
    if (!CanFocus()) return false;
    if (key == VK_RETURN && (Focused() || default_)) {
        Click();
        return true;
    }
    if (key == VK_ESCAPE && cancel_) {
        Click();
        return true;
    }
    return false;
}

// --- CheckableButton ---------------------------------------------------------------

void CheckableButton::Load(const LayoutNode& node) {
    tabStop_ = true;
    WinControl::Load(node);
    caption_ = LayoutText(node, "caption");
    font_ = LayoutFont(node, Owner()->Font());
    checked_ = LayoutBool(node, "checked", false);
}

void CheckableButton::Realize() {
    CreateHandle("BUTTON", style_, 0, caption_);
    UseFont(font_);
    SetChecked(checked_);
}

bool CheckableButton::Checked() const {
    return Handle() ? ::SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED : checked_;
}

void CheckableButton::SetChecked(bool checked) {
    checked_ = checked;
    if (!Handle()) return;
    ::SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (checked && style_ == BS_AUTORADIOBUTTON) {
        // Radio buttons of one form are one group: checking one clears the others.
        for (Control* c : Owner()->Controls())
            if (auto* other = dynamic_cast<RadioButton*>(c); other && other != this && other->Handle())
                ::SendMessageA(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void CheckableButton::Command(WORD code) {
    if (code == BN_CLICKED) Click();
}

// --- Edit --------------------------------------------------------------------------

void Edit::Load(const LayoutNode& node) {
    tabStop_ = true;
    WinControl::Load(node);
    text_ = LayoutText(node, "text");
    font_ = LayoutFont(node, Owner()->Font());
    readOnly_ = LayoutBool(node, "readOnly", false);
    flat_ = LayoutBool(node, "flat", false);
}

void Edit::Realize() {
    CreateHandle("EDIT", ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0), flat_ ? 0 : WS_EX_CLIENTEDGE, text_);
    UseFont(font_);
}

std::string Edit::Text() const { return Handle() ? WindowText(Handle()) : text_; }

void Edit::SetText(const std::string& text) {
    text_ = text;
    if (Handle()) ::SetWindowTextA(Handle(), text.c_str());
}

}  // namespace tk
