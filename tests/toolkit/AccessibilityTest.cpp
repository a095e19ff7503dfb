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

}  // namespace
