#include "toolkit/Shell.h"

#include <shellapi.h>

namespace tk {

namespace {

ShellLauncher& CurrentLauncher() {
    static ShellLauncher launcher;
    return launcher;
}

void Launch(const ShellRequest& r) {
    ::ShellExecuteA(r.owner, r.noVerb ? nullptr : r.verb.c_str(), r.file.c_str(),
                    r.noParameters ? nullptr : r.parameters.c_str(),
                    r.directory.empty() ? nullptr : r.directory.c_str(), r.show);
}

}  // namespace

std::string DescribeShellRequest(const ShellRequest& r) {
    return (r.noVerb ? std::string("(default)") : r.verb) + "|" + r.file + "|" +
           (r.noParameters ? std::string("(none)") : r.parameters) + "|" + r.directory + "|" +
           std::to_string(r.show);
}

void ShellOpen(const ShellRequest& request) {
    if (CurrentLauncher()) {
        CurrentLauncher()(request);
        return;
    }
    Launch(request);
}

ShellLauncher SetShellLauncher(ShellLauncher launcher) {
    ShellLauncher previous = std::move(CurrentLauncher());
    CurrentLauncher() = std::move(launcher);
    return previous;
}

}  // namespace tk
