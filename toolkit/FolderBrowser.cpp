#include "toolkit/FolderBrowser.h"

#include <objbase.h>
#include <shlobj.h>

#include "toolkit/Modal.h"

namespace tk {

namespace {

// An item list the shell made; ours to free.
class ItemList {
public:
    explicit ItemList(LPITEMIDLIST list) : list_(list) {}
    ~ItemList() {
        if (list_) ::CoTaskMemFree(list_);
    }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    LPCITEMIDLIST Get() const { return list_; }

private:
    LPITEMIDLIST list_;
};

}  // namespace

std::string BrowseForFolder(HWND owner) {
    DisabledWindows others(owner);
    NoCriticalErrorBoxes noBoxes;
    char display[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = display;
    info.lpszTitle = "";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    ItemList chosen(::SHBrowseForFolderA(&info));
    if (!chosen.Get()) return {};
    char path[MAX_PATH] = "";
    if (!::SHGetPathFromIDListA(chosen.Get(), path)) return {};
    return path;
}

}  // namespace tk
