// The one door to the shell: every ShellExecuteA of the program goes through
// ShellOpen, so that tests can record launches instead of starting browsers,
// mail programs or folder windows.
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

// Hands the request to the shell. The result is not examined.
// When the environment variable QUENDRIX_SHELL_LOG names a file, the request
// is appended there as one line (verb|file|parameters|directory|show) instead:
// this is how tests that drive the whole program see what it would launch.
void ShellOpen(const ShellRequest& request);

// Replaces the launcher (tests in the program's own process); returns the
// previous one. An empty launcher restores the real shell.
ShellLauncher SetShellLauncher(ShellLauncher launcher);

// The line format used by the log above.
std::string DescribeShellRequest(const ShellRequest& request);

}  // namespace tk
