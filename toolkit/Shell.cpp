#include "toolkit/Shell.h"

#include <shellapi.h>

#include "toolkit/Application.h"

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

void OpenWebPage(const std::string& address, int show) {
    ShellRequest open;
    open.owner = Application::Get().Handle();
    open.file = "iexplore";
    open.parameters = address;
    open.noParameters = false;
    open.show = show;
    ShellOpen(open);
}

void OpenMail(const std::string& address, int show) {
    ShellRequest mail;
    mail.owner = Application::Get().Handle();
    mail.file = "MailTo:" + address;
    mail.noParameters = false;  // an empty parameter text
    mail.show = show;
    ShellOpen(mail);
}

ShellLauncher SetShellLauncher(ShellLauncher launcher) {
    ShellLauncher previous = std::move(CurrentLauncher());
    CurrentLauncher() = std::move(launcher);
    return previous;
}

}  // namespace tk
