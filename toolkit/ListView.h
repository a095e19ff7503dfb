// The report-view list of the common controls: rows of texts under column
// headers. Rows are read back from the native control, which holds them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "toolkit/Control.h"

namespace tk {

class PopupMenu;

class ListView : public WinControl {
public:
    struct Column {
        std::string caption;
        int width = 50;
    };

    // Rows.
    int Count() const;
    // Appends a row: its caption (column 0), then its sub-items (columns 1
    // on), and a text of the caller's kept with the row but not shown.
    // Returns the row's index.
    int AddItem(const std::string& caption, const std::vector<std::string>& subItems = {},
                const std::wstring& data = {});
    // The row's text in a column (0: the caption); empty for a row or column
    // that does not exist.
    std::string ItemText(int row, int column = 0) const;
    std::string Caption(int row) const { return ItemText(row, 0); }
    // The text kept with the row; empty for a row that has none.
    std::wstring ItemData(int row) const;
    void DeleteItem(int row);
    void Clear();

    // The one selected row, or -1.
    int SelectedIndex() const;
    // Selects that row alone (-1: none).
    void SetSelectedIndex(int row);

    const std::vector<Column>& Columns() const { return columns_; }
    PopupMenu* ContextMenu() const { return popupMenu_; }

    void Load(const LayoutNode& node) override;
    void Realize() override;
    // The columns keep their layout widths at the new scale.
    void DpiChanged() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Column> columns_;
    FontSpec font_;
    std::string popupMenuName_;
    PopupMenu* popupMenu_ = nullptr;  // a component of the same form; we don't own it
    bool rowSelect_ = false;
    bool multiSelect_ = false;
    bool readOnly_ = true;
    bool columnClick_ = true;
    bool hideSelection_ = true;
    // The rows' kept texts, by the key each row carries as its item data.
    std::map<LPARAM, std::wstring> data_;
    LPARAM lastKey_ = 0;
};

}  // namespace tk
