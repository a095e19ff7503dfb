// Breaking a caption into lines: line ends always break, a width breaks at
// the last space that keeps a line within it, and a word too long for the
// width keeps a line of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/TextBlock.h"

namespace {

// Every character is 1 pixel wide.
int Length(const std::string& line) { return static_cast<int>(line.size()); }

struct BreakCase {
    const char* what;
    const char* text;
    int width;
    std::vector<std::string> lines;
};

const BreakCase kBreakCases[] = {
    {"empty", "", 10, {""}},
    {"fits", "one two", 7, {"one two"}},
    {"no width: no wrapping", "one two three", 0, {"one two three"}},
    {"breaks at the last space that fits", "one two three", 8, {"one two", "three"}},
    {"spaces at a break are dropped", "one   two", 4, {"one", "two"}},
    {"spaces inside a line stay", "a  b c", 4, {"a  b", "c"}},
    {"a long word keeps its own line", "a verylongword b", 5, {"a", "verylongword", "b"}},
    {"line ends break", "one\ntwo\r\nthree", 0, {"one", "two", "three"}},
    {"an empty line stays", "one\n\ntwo", 10, {"one", "", "two"}},
    {"a line end then wrapping", "ab cd\nef gh", 3, {"ab", "cd", "ef", "gh"}},
    {"leading spaces stay with the first word", "  ab cd", 4, {"  ab", "cd"}},
    {"trailing spaces that fit stay", "ab  ", 10, {"ab  "}},
};

TEST(TextBlockTest, BreakLines) {
    for (const BreakCase& c : kBreakCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tk::BreakLines(c.text, c.width, Length), c.lines);
    }
}

}  // namespace
