// Pop-up menus. A layout lists a PopupMenu and, after it, its items as
// MenuItem components that name their menu; items show in layout order. A
// caption of "-" makes a separator; "&" marks an item's access key.
//
//   { "type": "PopupMenu", "name": "PopupMenu1" },
//   { "type": "MenuItem", "name": "Add1", "menu": "PopupMenu1", "caption": "Add...",
//     "events": { "onClick": "Add1Click" } },
//
// Popup shows the menu at a screen point and runs the chosen item's OnClick
// before it returns.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/Control.h"

namespace tk {

class PopupMenu;

class MenuItem : public Component {
public:
    const std::string& Caption() const { return caption_; }
    bool IsSeparator() const { return caption_ == "-"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // Raises OnClick, as choosing the item does.
    void Click();

    NotifyEvent OnClick;

    void Load(const LayoutNode& node) override;
    void AttachEvent(const std::string& event, const AnyHandler& handler) override;
    void Realize() override;

private:
    std::string caption_;
    std::string menuName_;
    bool enabled_ = true;
};

class PopupMenu : public Component {
public:
    const std::vector<MenuItem*>& Items() const { return items_; }
    void Add(MenuItem& item) { items_.push_back(&item); }
    // Shows the menu with its top-left corner at the screen point, owned by
    // the form's window, and waits for the choice. A chosen item is clicked;
    // returns it (nullptr: the menu was dismissed).
    MenuItem* Popup(int x, int y);

private:
    std::vector<MenuItem*> items_;  // components of the same form; we don't own them
};

}  // namespace tk
