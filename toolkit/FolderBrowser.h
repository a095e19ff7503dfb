// The shell's folder browser.
#pragma once

#include <windows.h>

#include <string>

namespace tk {

// Shows the shell's folder browser modally over `owner`: no title, the whole
// shell namespace from the desktop on, nothing preselected, only file-system
// folders can be confirmed. Every other window of the thread is disabled and
// the system's critical-error boxes are off while it is open. Returns the
// chosen folder's path, or an empty text when the user cancelled.
std::string BrowseForFolder(HWND owner);

}  // namespace tk
