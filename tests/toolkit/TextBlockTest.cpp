// Breaking a caption into lines: line ends always break, a width breaks at
// the last space that keeps a line within it, and a word too long for the
// width keeps a line of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/TextBlock.h"

namespace {

// Every character is 1 pixel wide.
int Length(const std::wstring& line) { return static_cast<int>(line.size()); }

struct BreakCase {
    const char* what;
    const wchar_t* text;
    int width;
    std::vector<std::wstring> lines;
};

const BreakCase kBreakCases[] = {
    {"empty", L"", 10, {L""}},
    {"fits", L"one two", 7, {L"one two"}},
    {"no width: no wrapping", L"one two three", 0, {L"one two three"}},
    {"breaks at the last space that fits", L"one two three", 8, {L"one two", L"three"}},
    {"spaces at a break are dropped", L"one   two", 4, {L"one", L"two"}},
    {"spaces inside a line stay", L"a  b c", 4, {L"a  b", L"c"}},
    {"a long word keeps its own line", L"a verylongword b", 5, {L"a", L"verylongword", L"b"}},
    {"line ends break", L"one\ntwo\r\nthree", 0, {L"one", L"two", L"three"}},
    {"an empty line stays", L"one\n\ntwo", 10, {L"one", L"", L"two"}},
    {"a line end then wrapping", L"ab cd\nef gh", 3, {L"ab", L"cd", L"ef", L"gh"}},
    {"leading spaces stay with the first word", L"  ab cd", 4, {L"  ab", L"cd"}},
    {"trailing spaces that fit stay", L"ab  ", 10, {L"ab  "}},
};

TEST(TextBlockTest, BreakLines) {
    for (const BreakCase& c : kBreakCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tk::BreakLines(c.text, c.width, Length), c.lines);
    }
}

}  // namespace
