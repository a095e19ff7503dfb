#include "app/Settings.h"

std::optional<std::string> SettingsFirstLine(std::string_view bytes) {
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    if (text.empty()) return std::nullopt;
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

std::string SettingsText(const std::string& outputFolder) { return outputFolder + "\r\n"; }

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}
