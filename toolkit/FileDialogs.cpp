#include "toolkit/FileDialogs.h"

#include "toolkit/Form.h"
#include "toolkit/Text.h"

namespace tk {

namespace {

OpenDialogRunner& CurrentRunner() {
    static OpenDialogRunner runner;
    return runner;
}

// Layout texts are ANSI, as every text of the program.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

struct NamedOption {
    const char* name;
    DWORD flag;
};

const NamedOption kOptions[] = {
    {"ofHideReadOnly", OFN_HIDEREADONLY},       {"ofAllowMultiSelect", OFN_ALLOWMULTISELECT},
    {"ofEnableSizing", OFN_ENABLESIZING},       {"ofPathMustExist", OFN_PATHMUSTEXIST},
    {"ofFileMustExist", OFN_FILEMUSTEXIST},     {"ofNoChangeDir", OFN_NOCHANGEDIR},
    {"ofOverwritePrompt", OFN_OVERWRITEPROMPT},
};

// Room for a large multiple selection: the dialog fails rather than cut it.
constexpr size_t kBufferChars = 256 * 1024;

bool IsFullPath(const std::wstring& name) {
    return (name.size() >= 2 && name[1] == L':') || (name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\');
}

}  // namespace

OpenDialogRunner SetOpenDialogRunner(OpenDialogRunner runner) {
    OpenDialogRunner previous = std::move(CurrentRunner());
    CurrentRunner() = std::move(runner);
    return previous;
}

std::wstring DialogFilter(const std::string& filter) {
    if (filter.empty()) return {};
    std::wstring result = Wide(filter);
    for (wchar_t& c : result)
        if (c == L'|') c = L'\0';
    result.push_back(L'\0');
    result.push_back(L'\0');
    return result;
}

std::vector<std::wstring> ChosenFiles(const std::wstring& buffer) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start < buffer.size()) {
        const size_t end = buffer.find(L'\0', start);
        const size_t stop = end == std::wstring::npos ? buffer.size() : end;
        if (stop == start) break;  // the empty string that ends the list
        parts.push_back(buffer.substr(start, stop - start));
        start = stop + 1;
    }
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\') folder.push_back(L'\\');
    std::vector<std::wstring> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(IsFullPath(parts[i]) ? parts[i] : folder + parts[i]);
    return files;
}

void OpenDialog::Load(const LayoutNode& node) {
    filter_ = LayoutText(node, "filter");
    title_ = LayoutText(node, "title");
    initialDir_ = LayoutText(node, "initialDir");
    defaultExt_ = LayoutText(node, "defaultExt");
    if (auto list = node.find("options"); list != node.end()) {
        for (const LayoutNode& option : *list) {
            const std::string name = option.is_string() ? option.get<std::string>() : std::string();
            const NamedOption* known = nullptr;
            for (const NamedOption& o : kOptions)
                if (name == o.name) known = &o;
            if (!known) throw Error(Format("%s: unknown option %s", Name().c_str(), name.c_str()));
            options_ |= known->flag;
        }
    }
}

DWORD OpenDialog::Flags() const { return OFN_EXPLORER | options_; }

bool OpenDialog::Execute() {
    files_.clear();
    const std::wstring filter = DialogFilter(filter_);
    const std::wstring title = Wide(title_), initialDir = Wide(initialDir_), defaultExt = Wide(defaultExt_);
    std::wstring buffer(kBufferChars, L'\0');

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Owner() ? Owner()->Handle() : nullptr;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = Flags();

    const BOOL confirmed = CurrentRunner() ? CurrentRunner()(ofn) : ::GetOpenFileNameW(&ofn);
    if (!confirmed) return false;
    // With a single selection the buffer holds one path; with several, the
    // folder and the names. Either way the list ends at the first empty string.
    if (!(ofn.Flags & OFN_ALLOWMULTISELECT)) {
        files_.push_back(buffer.c_str());
    } else {
        files_ = ChosenFiles(buffer);
    }
    return !files_.empty();
}

}  // namespace tk
