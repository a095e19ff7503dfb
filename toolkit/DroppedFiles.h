// Files dropped from the shell (WM_DROPFILES on a window whose extended
// style has WS_EX_ACCEPTFILES).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace tk {

// The full paths of the drop, in its order, each whole (however long) and in
// its wide form. The drop is not released: its owner (tk::DropHandle) does.
std::vector<std::wstring> DroppedFiles(HDROP drop);

}  // namespace tk
