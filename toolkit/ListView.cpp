#include "toolkit/ListView.h"

#include <commctrl.h>
#include <windowsx.h>

#include "toolkit/Dpi.h"
#include "toolkit/Form.h"
#include "toolkit/Menu.h"
#include "toolkit/Text.h"

namespace tk {

void ListView::Load(const LayoutNode& node) {
    tabStop_ = true;
    WinControl::Load(node);
    font_ = LayoutFont(node, Owner()->Font());
    if (LayoutText(node, "viewStyle", "report") != "report") throw Error("A list view shows the report view only");
    if (auto list = node.find("columns"); list != node.end()) {
        for (const LayoutNode& c : *list) columns_.push_back({LayoutText(c, "caption"), LayoutInt(c, "width", 50)});
    }
    rowSelect_ = LayoutBool(node, "rowSelect", rowSelect_);
    multiSelect_ = LayoutBool(node, "multiSelect", multiSelect_);
    readOnly_ = LayoutBool(node, "readOnly", readOnly_);
    columnClick_ = LayoutBool(node, "columnClick", columnClick_);
    hideSelection_ = LayoutBool(node, "hideSelection", hideSelection_);
    popupMenuName_ = LayoutText(node, "popupMenu");
}

void ListView::Realize() {
    if (Handle()) return;
    // Rows stay in the order they were added: no sorting style.
    DWORD style = LVS_REPORT;
    if (!multiSelect_) style |= LVS_SINGLESEL;
    if (!readOnly_) style |= LVS_EDITLABELS;
    if (!columnClick_) style |= LVS_NOSORTHEADER;
    if (!hideSelection_) style |= LVS_SHOWSELALWAYS;
    CreateHandle(WC_LISTVIEWA, style, WS_EX_CLIENTEDGE, "");
    UseFont(font_);
    if (rowSelect_) ListView_SetExtendedListViewStyleEx(Handle(), LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = ScaleToDpi(columns_[i].width, Owner()->Dpi());
        column.pszText = const_cast<char*>(columns_[i].caption.c_str());
        column.iSubItem = static_cast<int>(i);
        if (::SendMessageA(Handle(), LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) < 0)
            throw Error(Format("Cannot add a column to %s", Name().c_str()));
    }
    if (!popupMenuName_.empty()) {
        popupMenu_ = dynamic_cast<PopupMenu*>(Owner()->FindComponent(popupMenuName_));
        if (!popupMenu_) throw Error(Format("%s: no pop-up menu %s", Name().c_str(), popupMenuName_.c_str()));
    }
}

void ListView::DpiChanged() {
    WinControl::DpiChanged();
    if (!Handle()) return;
    for (size_t i = 0; i < columns_.size(); ++i)
        ::SendMessageA(Handle(), LVM_SETCOLUMNWIDTH, i, ScaleToDpi(columns_[i].width, Owner()->Dpi()));
}

int ListView::Count() const {
    return Handle() ? static_cast<int>(::SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListView::AddItem(const std::string& caption, const std::vector<std::string>& subItems,
                      const std::wstring& data) {
    HandleNeeded();
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = const_cast<char*>(caption.c_str());
    item.lParam = data.empty() ? 0 : ++lastKey_;
    const int row = static_cast<int>(::SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) throw Error(Format("Cannot add a row to %s", Name().c_str()));
    if (item.lParam) data_[item.lParam] = data;
    for (size_t i = 0; i < subItems.size(); ++i) {
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(i + 1);
        sub.pszText = const_cast<char*>(subItems[i].c_str());
        ::SendMessageA(Handle(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
    }
    return row;
}

std::string ListView::ItemText(int row, int column) const {
    if (!Handle() || row < 0 || row >= Count()) return {};
    // The control copies at most the buffer less its terminator: grow the
    // buffer until the text fits with room to spare.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const size_t length =
            static_cast<size_t>(::SendMessageA(Handle(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) return std::string(buffer.data(), length);
        buffer.assign(buffer.size() * 2, '\0');
    }
}

std::wstring ListView::ItemData(int row) const {
    if (!Handle() || row < 0 || row >= Count()) return {};
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!::SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return {};
    const auto kept = data_.find(item.lParam);
    return kept == data_.end() ? std::wstring() : kept->second;
}

void ListView::DeleteItem(int row) {
    if (!Handle() || row < 0 || row >= Count()) return;
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (::SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) data_.erase(item.lParam);
    ::SendMessageA(Handle(), LVM_DELETEITEM, row, 0);
}

void ListView::Clear() {
    if (Handle()) ::SendMessageA(Handle(), LVM_DELETEALLITEMS, 0, 0);
    data_.clear();
}

int ListView::SelectedIndex() const {
    if (!Handle()) return -1;
    return static_cast<int>(::SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::SetSelectedIndex(int row) {
    if (!Handle()) return;
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED;
    ::SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    if (row < 0) return;
    LVITEMA selected{};
    selected.state = selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(Handle(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
}

LRESULT ListView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CONTEXTMENU && popupMenu_) {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (at.x == -1 && at.y == -1) {
            // From the keyboard: at the control's top-left corner.
            at = POINT{0, 0};
            ::ClientToScreen(Handle(), &at);
        }
        popupMenu_->Popup(at.x, at.y);
        return 0;
    }
    return WinControl::HandleMessage(message, wParam, lParam);
}

}  // namespace tk
