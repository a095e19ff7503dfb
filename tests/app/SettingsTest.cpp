// The settings file's text rules.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/Settings.h"

namespace {

using namespace std::string_literals;

struct FirstLineCase {
    const char* what;
    std::string bytes;
    std::optional<std::string> line;
};

const FirstLineCase kFirstLineCases[] = {
    {"CR LF", "C:\\out\\\r\nD:\\second\\\r\n", "C:\\out\\"},
    {"lone CR", "C:\\out\\\rD:\\second\\", "C:\\out\\"},
    {"lone LF", "C:\\out\\\nD:\\second\\", "C:\\out\\"},
    {"LF CR counts as two ends", "C:\\out\\\n\rD:\\", "C:\\out\\"},
    {"NUL ends the text", "C:\\out\\\0garbage\r\n"s, "C:\\out\\"},
    {"NUL first: no line", "\0C:\\out\\\r\n"s, std::nullopt},
    {"last line without line end", "C:\\out\\", "C:\\out\\"},
    {"several lines: only line 1", "E:\\a\\\r\nF:\\b\\\r\nG:\\c\\\r\n", "E:\\a\\"},
    {"empty first line", "\r\nC:\\out\\\r\n", ""},
    {"blanks are kept", "  C:\\my videos\\ \r\n", "  C:\\my videos\\ "},
    {"zero bytes: no line", "", std::nullopt},
};

TEST(SettingsFirstLine, FollowsTheLineRules) {
    for (const FirstLineCase& c : kFirstLineCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SettingsFirstLine(c.bytes), c.line);
    }
}

TEST(SettingsText, IsExactlyOneLineThatReadsBack) {
    for (const std::string folder : {"C:\\", "C:\\Users\\me\\Desktop\\", "", "D:\\a b [1]\\"}) {
        const std::string text = SettingsText(folder);
        EXPECT_EQ(text, folder + "\r\n");
        EXPECT_EQ(SettingsFirstLine(text), folder);
    }
}

TEST(WithTrailingBackslash, AddsExactlyOne) {
    EXPECT_EQ(WithTrailingBackslash("C:\\Users\\me\\Desktop"), "C:\\Users\\me\\Desktop\\");
    EXPECT_EQ(WithTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(WithTrailingBackslash(""), "");
}

}  // namespace
