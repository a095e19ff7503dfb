// The names that screen readers hear for controls named by their hints, and
// the roles a layout can give.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <string>

#include "toolkit/Accessibility.h"
#include "toolkit/Text.h"

namespace {

struct NameCase {
    const char* hint;
    const char* name;
};

const NameCase kNameCases[] = {
    {"Start Converting.", "Start Converting"},
    {"Add GVI files to list...", "Add GVI files to list"},
    {"Select Output Folder...", "Select Output Folder"},
    {"Help.", "Help"},
    {"No stop", "No stop"},
    {"Dots. inside stay.", "Dots. inside stay"},
    {"Blanks after the dots . ", "Blanks after the dots"},
    {"  Leading blanks.", "Leading blanks"},
    {"...", ""},
    {"", ""},
};

TEST(AccessibilityTest, NameIsTheHintWithoutItsClosingDots) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.hint);
        EXPECT_EQ(tk::AccessibleNameFromHint(c.hint), c.name);
    }
}

TEST(AccessibilityTest, LayoutRolesByName) {
    EXPECT_EQ(tk::AccessibleRoleNamed("pushButton"), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(tk::AccessibleRoleNamed("staticText"), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(tk::AccessibleRoleNamed("progressBar"), ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_THROW(tk::AccessibleRoleNamed("slider"), tk::Error);
}

// Moves among 3 children (items and child windows numbered alike) and from
// the window itself.
TEST(AccessibilityTest, NavigationFollowsTheListedOrder) {
    const struct {
        LONG direction, start, count, expected;
    } moves[] = {
        {NAVDIR_FIRSTCHILD, CHILDID_SELF, 3, 1},
        {NAVDIR_LASTCHILD, CHILDID_SELF, 3, 3},
        {NAVDIR_FIRSTCHILD, CHILDID_SELF, 0, 0},  // no children
        {NAVDIR_LASTCHILD, CHILDID_SELF, 0, 0},
        {NAVDIR_FIRSTCHILD, 2, 3, 0},  // a child has no children here
        {NAVDIR_NEXT, 1, 3, 2},
        {NAVDIR_NEXT, 2, 3, 3},
        {NAVDIR_NEXT, 3, 3, 0},  // the last one
        {NAVDIR_PREVIOUS, 3, 3, 2},
        {NAVDIR_PREVIOUS, 1, 3, 0},  // the first one
        {NAVDIR_NEXT, 4, 3, 0},      // no such child
        {NAVDIR_PREVIOUS, 4, 3, 0},
        // To the window's siblings, or by place on the screen: the system's.
        {NAVDIR_NEXT, CHILDID_SELF, 3, tk::kNotAChildMove},
        {NAVDIR_PREVIOUS, CHILDID_SELF, 3, tk::kNotAChildMove},
        {NAVDIR_RIGHT, 1, 3, tk::kNotAChildMove},
        {NAVDIR_DOWN, CHILDID_SELF, 3, tk::kNotAChildMove},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << "direction " << m.direction << " from " << m.start);
        EXPECT_EQ(tk::NavigateChildren(m.direction, m.start, m.count), m.expected);
    }
}

}  // namespace
