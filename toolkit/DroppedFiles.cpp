#include "toolkit/DroppedFiles.h"

namespace tk {

std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Asked without a buffer, the drop tells the path's length.
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), length + 1));
        files.push_back(std::move(path));
    }
    return files;
}

}  // namespace tk
