// The launch recorders of the tests' Wine prefix (Recorders.h). CTest runs
// this program before every other test program: it registers the recorders,
// then hands the shell each kind of request the program makes, through the
// toolkit's real shell path, and checks that the recorder, and nothing else,
// was started.
#include <gtest/gtest.h>

#include "e2e/Recorders.h"
#include "support/TestSupport.h"
#include "toolkit/Shell.h"

namespace {

std::vector<e2e::Launch> WaitForLaunch(size_t mark) {
    std::vector<e2e::Launch> launches;
    for (int waited = 0; waited < 15000; waited += 100) {
        launches = e2e::LaunchesSince(mark, ::GetCurrentProcessId());
        if (!launches.empty()) break;
        ::Sleep(100);
    }
    return launches;
}

TEST(Recorders, AreRegisteredInThisPrefix) {
    ASSERT_EQ(e2e::RegisterRecorders(QUENDRIX_RECORDER), "");
    // A second registration finds everything in place.
    ASSERT_EQ(e2e::RegisterRecorders(QUENDRIX_RECORDER), "");
}

TEST(Recorders, TakeEveryLaunchTheShellWouldMake) {
    ASSERT_EQ(e2e::RegisterRecorders(QUENDRIX_RECORDER), "") << "nothing is launched without the recorders";
    testing_support::ScratchFolder scratch;
    const std::string page = scratch.Path() + "help.htm";
    testing_support::WriteBytes(page, "<html></html>");

    struct Case {
        const char* name;
        std::string file;
        const char* parameters;  // nullptr: none
        int show;
        const char* role;
        std::string expectedParameters;
    };
    const Case cases[] = {
        {"web page in iexplore", "iexplore", "http://www.quendrix.example/ombrelo/", SW_RESTORE, "iexplore",
         "http://www.quendrix.example/ombrelo/"},
        {"mail", "MailTo:support@quendrix.example", "", SW_RESTORE, "mailto", "\"MailTo:support@quendrix.example\""},
        {"folder", scratch.Path(), nullptr, SW_SHOW, "folder", "\"" + scratch.Path() + "\""},
        {"help page", page, "", SW_RESTORE, "browser", "\"" + page + "\""},
        {"web address", "http://www.quendrix.example/", nullptr, SW_SHOWNORMAL, "browser",
         "\"http://www.quendrix.example/\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tk::ShellRequest request;
        request.file = c.file;
        request.noParameters = c.parameters == nullptr;
        request.parameters = c.parameters ? c.parameters : "";
        request.show = c.show;
        const size_t mark = e2e::LaunchLogMark();
        tk::ShellOpen(request);
        const std::vector<e2e::Launch> launches = WaitForLaunch(mark);
        ASSERT_EQ(launches.size(), 1u) << tk::DescribeShellRequest(request);
        EXPECT_EQ(launches[0].role, c.role) << launches[0].commandLine;
        EXPECT_EQ(launches[0].Parameters(), c.expectedParameters) << launches[0].commandLine;
        EXPECT_EQ(launches[0].show, c.show);
    }
}

TEST(Recorders, LogLinesReadBackAsWritten) {
    const e2e::Launch cases[] = {
        {"iexplore", 42, 9, "\"iexplore\" http://www.quendrix.example/ombrelo/"},
        {"folder", 7, -1, "\"C:\\launch_recorders\\folder.exe\" \"C:\\a b\\\""},
        {"mailto", 1, 5, "mailto.exe"},
    };
    for (const e2e::Launch& written : cases) {
        e2e::Launch read;
        ASSERT_TRUE(e2e::ParseLaunch(e2e::FormatLaunch(written), read));
        EXPECT_EQ(read.role, written.role);
        EXPECT_EQ(read.parent, written.parent);
        EXPECT_EQ(read.show, written.show);
        EXPECT_EQ(read.commandLine, written.commandLine);
    }
    e2e::Launch none;
    EXPECT_FALSE(e2e::ParseLaunch("half a line", none));
    EXPECT_EQ(cases[0].Parameters(), "http://www.quendrix.example/ombrelo/");
    EXPECT_EQ(cases[1].Parameters(), "\"C:\\a b\\\"");
    EXPECT_EQ(cases[2].Parameters(), "");
}

}  // namespace
