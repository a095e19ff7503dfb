// The one door to the shell: every ShellExecuteA of the program goes through
// ShellOpen. Unit tests replace the launcher in their own process and record
// the requests; the shipped program always hands them to the shell, and
// end-to-end tests see what the shell really starts (see tests/e2e/Recorders.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tk {

struct ShellRequest {
    HWND owner = nullptr;
    std::string verb;  // empty: the default verb
    std::string file;
    std::string parameters;
    std::string directory;
    int show = SW_SHOWNORMAL;
    bool noVerb = true;        // verb passed as a null pointer
    bool noParameters = true;  // parameters passed as a null pointer
};

using ShellLauncher = std::function<void(const ShellRequest&)>;

// Hands the request to the launcher set below, or else to the shell
// (ShellExecuteA). The result is not examined.
void ShellOpen(const ShellRequest& request);

// A web page, the program's way: the shell starts the browser program
// "iexplore" with the address as its parameter, owned by the application's
// window.
void OpenWebPage(const std::string& address, int show = SW_RESTORE);
// Mail: the shell is handed "MailTo:" followed by the address.
void OpenMail(const std::string& address, int show = SW_RESTORE);

// Replaces the launcher (tests in the program's own process); returns the
// previous one. An empty launcher restores the real shell.
ShellLauncher SetShellLauncher(ShellLauncher launcher);

// One line for messages: verb|file|parameters|directory|show.
std::string DescribeShellRequest(const ShellRequest& request);

}  // namespace tk
