#include "toolkit/Menu.h"

#include "toolkit/Form.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

namespace tk {

void MenuItem::Load(const LayoutNode& node) {
    caption_ = LayoutText(node, "caption");
    menuName_ = LayoutText(node, "menu");
    enabled_ = LayoutBool(node, "enabled", enabled_);
}

void MenuItem::AttachEvent(const std::string& event, const AnyHandler& handler) {
    if (event != "onClick") return Component::AttachEvent(event, handler);
    const auto* typed = std::get_if<NotifyEvent>(&handler);
    if (!typed) throw Error(Format("Handler of the wrong kind for %s", event.c_str()));
    OnClick = *typed;
}

void MenuItem::Realize() {
    // Components are realized in layout order, so the items join their menu
    // in that order.
    auto* menu = dynamic_cast<PopupMenu*>(Owner()->FindComponent(menuName_));
    if (!menu) throw Error(Format("%s: no pop-up menu %s", Name().c_str(), menuName_.c_str()));
    menu->Add(*this);
}

void MenuItem::Click() {
    if (OnClick) OnClick(this);
}

MenuItem* PopupMenu::Popup(int x, int y) {
    MenuHandle menu(::CreatePopupMenu());
    if (!menu) throw Error(Format("Cannot create the menu %s", Name().c_str()));
    // Command ids are the item's place + 1: 0 is what a dismissed menu returns.
    for (size_t i = 0; i < items_.size(); ++i) {
        const MenuItem& item = *items_[i];
        const UINT flags = item.IsSeparator() ? MF_SEPARATOR : MF_STRING | (item.Enabled() ? 0 : MF_GRAYED);
        ::AppendMenuA(menu.Get(), flags, i + 1, item.IsSeparator() ? nullptr : item.Caption().c_str());
    }
    const HWND owner = Owner()->Handle();
    // The menu closes when the user clicks elsewhere only if its owner is
    // the foreground window.
    ::SetForegroundWindow(owner);
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner,
        nullptr));
    ::PostMessageA(owner, WM_NULL, 0, 0);
    if (chosen == 0 || chosen > items_.size()) return nullptr;
    MenuItem* item = items_[chosen - 1];
    item->Click();
    return item;
}

}  // namespace tk
