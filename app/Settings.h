// The settings file "set.txt": one line, the output folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Line 1 of a settings text. A line ends at CR LF, a lone CR or a lone LF; a
// NUL byte ends the text; a last line without a line end counts. A text with
// no line at all (zero bytes, or a NUL first) gives nothing.
std::optional<std::string> SettingsFirstLine(std::string_view bytes);

// What the program writes: exactly one line, ended by CR LF.
std::string SettingsText(const std::string& outputFolder);

// The folder with exactly one trailing backslash added when it has none; an
// empty text stays empty.
std::string WithTrailingBackslash(std::string folder);
