#include "toolkit/Shell.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

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
    if (const char* log = std::getenv("QUENDRIX_SHELL_LOG"); log && *log) {
        if (FILE* f = std::fopen(log, "ab")) {
            const std::string line = DescribeShellRequest(request) + "\r\n";
            std::fwrite(line.data(), 1, line.size(), f);
            std::fclose(f);
        }
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
