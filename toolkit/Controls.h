// The plain controls that the layouts use.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/Bitmap.h"
#include "toolkit/Control.h"

namespace tk {

// Makes a component for a layout's "type"; extensions (the skinned button,
// the list view) register theirs before the first form is created.
using ComponentFactory = std::function<std::unique_ptr<Component>()>;
void RegisterComponentType(const std::string& type, ComponentFactory factory);
std::unique_ptr<Component> MakeComponent(const std::string& type);

class Label : public GraphicControl {
public:
    // The caption in the ANSI code page, or as it is.
    std::string Caption() const;
    const std::wstring& WideCaption() const { return caption_; }
    void SetCaption(const std::string& caption);
    void SetCaption(const std::wstring& caption);
    void Paint(HDC dc) override;
    void Load(const LayoutNode& node) override;
    void Realize() override;
    const FontSpec& Font() const { return font_; }
    void DpiChanged() override;
    // A screen reader reads the caption as static text.
    std::wstring AccessibleName() const override { return caption_; }

private:
    void FitToText();
    std::wstring caption_;
    FontSpec font_;
    bool transparent_ = false;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    UINT alignment_ = DT_LEFT;
    COLORREF colour_ = CLR_INVALID;  // background; CLR_INVALID: the form's
};

class Image : public GraphicControl {
public:
    const Bitmap& Picture() const { return picture_; }
    void SetPicture(Bitmap picture);
    void Paint(HDC dc) override;
    void Load(const LayoutNode& node) override;
    // A skin picture named in the layout is loaded again for the new DPI.
    void DpiChanged() override;

private:
    void LoadPicture();
    std::string pictureFile_;  // the layout's; empty: none, or set by the program
    Bitmap picture_;
    bool transparent_ = false;  // key colour: the picture's bottom-left pixel
    bool stretch_ = false;
    bool autoSize_ = false;
};

// A framework bevel: a lowered line or box.
class Bevel : public GraphicControl {
public:
    void Paint(HDC dc) override;
    void Load(const LayoutNode& node) override;

private:
    std::string shape_ = "box";
};

// Standard push button.
class Button : public WinControl {
public:
    void Realize() override;
    void Load(const LayoutNode& node) override;
    void Command(WORD code) override;
    void Click() override;
    bool DialogKey(WORD key) override;
    bool Default() const { return default_; }

private:
    std::string caption_;
    FontSpec font_;
    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = mrNone;
};

// Radio buttons and check boxes: native buttons with a checked state.
class CheckableButton : public WinControl {
public:
    bool Checked() const;
    void SetChecked(bool checked);
    void Realize() override;
    void Load(const LayoutNode& node) override;
    void Command(WORD code) override;

protected:
    explicit CheckableButton(DWORD style) : style_(style) {}

private:
    DWORD style_;
    std::string caption_;
    FontSpec font_;
    bool checked_ = false;
};

class RadioButton : public CheckableButton {
public:
    RadioButton() : CheckableButton(BS_AUTORADIOBUTTON) {}
};

class CheckBox : public CheckableButton {
public:
    CheckBox() : CheckableButton(BS_AUTOCHECKBOX) {}
};

// Single-line edit field.
class Edit : public WinControl {
public:
    std::string Text() const;
    void SetText(const std::string& text);
    void Realize() override;
    void Load(const LayoutNode& node) override;

private:
    std::string text_;
    FontSpec font_;
    bool readOnly_ = false;
    bool flat_ = false;
};

}  // namespace tk
