// The program's start as a user meets it: the converter tool installed under
// the Windows directory, the codec prompt of the first run, the elevation
// hint when the tool cannot be installed, and the settings saved at the end.
#include <gtest/gtest.h>

#include "e2e/Driver.h"

namespace {

using e2e::RunningProgram;

constexpr char kMain[] = "Quendrix Ombrelo 1.0";
constexpr char kPrompt[] = "Quendrix Ombrelo Installation";
constexpr char kHint[] = "Windows User Account Control";
constexpr char kDownload[] = "http://download.divx.com/divx/DivXInstaller.exe";

std::string WindowsDirectory() {
    char path[MAX_PATH] = "";
    ::GetWindowsDirectoryA(path, sizeof path);
    return path;
}

std::string ToolFolder() { return WindowsDirectory() + "\\quendrix_yt_1\\"; }

bool WaitForFile(const std::string& path, int timeoutMs = 10000) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (e2e::Exists(path)) return true;
        ::Sleep(50);
    }
    return false;
}

// Closes the main window as the task bar would, and checks what it saved.
void CloseMainWindow(const RunningProgram& program) {
    HWND main = program.Window(kMain);
    ASSERT_NE(main, nullptr);
    HWND edit = ::FindWindowExA(main, nullptr, "Edit", nullptr);
    const std::string folder = RunningProgram::Text(edit);
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(e2e::ReadFile(program.Folder() + "set.txt"), folder + "\r\n");
}

TEST(Startup, FirstRunInstallsTheToolAndAsksForTheCodecOnce) {
    e2e::RemoveTree(ToolFolder());
    const std::string folder = e2e::FreshFolder("first_run");
    {
        RunningProgram program(folder);
        HWND prompt = program.WaitForVisible(kPrompt);
        ASSERT_NE(prompt, nullptr);
        EXPECT_FALSE(::IsWindowVisible(program.Window(kMain))) << "the main window hides behind the prompt";
        EXPECT_EQ(e2e::ReadFile(ToolFolder() + "nnn.exe"), e2e::ReadFile(QUENDRIX_FFMPEG));
        EXPECT_FALSE(e2e::Exists(folder + "done.txt"));

        ::SendMessageA(RunningProgram::Child(prompt, "Button", "Done"), BM_CLICK, 0, 0);
        ASSERT_NE(program.WaitForVisible(kMain), nullptr);
        ASSERT_TRUE(WaitForFile(folder + "done.txt"));
        EXPECT_EQ(e2e::ReadFile(folder + "done.txt"), "Done\r\n");
        // The shell starts "iexplore" (its recorder) with the download address.
        const std::vector<e2e::Launch> launches = program.WaitForLaunches();
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].role, "iexplore");
        EXPECT_EQ(launches[0].Parameters(), kDownload);
        EXPECT_EQ(launches[0].show, SW_RESTORE);
        CloseMainWindow(program);
    }
    {
        // The second start asks nothing and extracts nothing.
        const std::string before = e2e::ReadFile(ToolFolder() + "nnn.exe");
        RunningProgram program(folder);
        ASSERT_NE(program.WaitForVisible(kMain), nullptr);
        ::Sleep(2500);  // the start-up step comes a second after the start
        EXPECT_EQ(program.Window(kPrompt) ? ::IsWindowVisible(program.Window(kPrompt)) : FALSE, FALSE);
        EXPECT_TRUE(::IsWindowVisible(program.Window(kMain)));
        EXPECT_TRUE(program.Launches().empty());
        CloseMainWindow(program);
        EXPECT_EQ(e2e::ReadFile(ToolFolder() + "nnn.exe"), before);
    }
}

TEST(Startup, CodecPromptOtherWaysOutStartNothing) {
    struct Way {
        const char* name;
        void (*close)(HWND prompt);
    };
    const Way ways[] = {
        {"already installed",
         [](HWND prompt) {
             ::SendMessageA(RunningProgram::Child(prompt, "Button", "DivX video codec is already installed on my computer"),
                            BM_CLICK, 0, 0);
             ::SendMessageA(RunningProgram::Child(prompt, "Button", "Done"), BM_CLICK, 0, 0);
         }},
        {"title-bar close", [](HWND prompt) { ::PostMessageA(prompt, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const std::string folder = e2e::FreshFolder(std::string("prompt_") + (way.name[0] == 'a' ? "a" : "b"));
        RunningProgram program(folder);
        HWND prompt = program.WaitForVisible(kPrompt);
        ASSERT_NE(prompt, nullptr);
        way.close(prompt);
        ASSERT_NE(program.WaitForVisible(kMain), nullptr);
        ASSERT_TRUE(WaitForFile(folder + "done.txt"));
        EXPECT_TRUE(program.WaitForLaunches(1, 2000).empty()) << "the shell was asked to start something";
        CloseMainWindow(program);
    }
}

TEST(Startup, ToolThatCannotBeInstalledShowsTheElevationHintAndEnds) {
    struct Way {
        const char* name;
        void (*close)(HWND hint);
    };
    const Way ways[] = {
        {"OK", [](HWND hint) { ::SendMessageA(RunningProgram::Child(hint, "Button", "OK"), BM_CLICK, 0, 0); }},
        {"title-bar close", [](HWND hint) { ::PostMessageA(hint, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    e2e::RemoveTree(ToolFolder());
    // A file where the tool folder belongs: the Windows directory cannot take
    // the tool, as for a user without administrator rights.
    const std::string blocker = WindowsDirectory() + "\\quendrix_yt_1";
    HANDLE file = ::CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const std::string folder = e2e::FreshFolder("elevation");
        RunningProgram program(folder);
        HWND hint = program.WaitForVisible(kHint);
        ASSERT_NE(hint, nullptr);
        EXPECT_FALSE(::IsWindowVisible(program.Window(kMain)));
        way.close(hint);
        EXPECT_TRUE(program.WaitForExit());
        EXPECT_FALSE(e2e::Exists(folder + "set.txt"));
        EXPECT_FALSE(e2e::Exists(folder + "done.txt"));
    }
    ::DeleteFileA(blocker.c_str());
}

// Starts the program on a machine that has run it before (no codec prompt)
// and waits for its start-up step to have passed.
void StartOnce(const std::string& folder) {
    e2e::WriteFile(folder + "done.txt", "Done\r\n");
    RunningProgram program(folder);
    ASSERT_NE(program.WaitForVisible(kMain), nullptr);
    ::Sleep(2500);  // the start-up step comes a second after the start
    EXPECT_TRUE(::IsWindowVisible(program.Window(kMain)));
    CloseMainWindow(program);
}

// The tool folder of a machine that ran another build keeps that build's
// converter, and one may be damaged or foreign: the next start installs the
// converter it carries over any of them. This release's converter of either
// kind serves on 64-bit Windows, so the 32-bit and the 64-bit program leave
// each other's alone.
TEST(Startup, ToolFolderGetsThisReleasesConverter) {
    const std::string carried = e2e::ReadFile(QUENDRIX_FFMPEG);
    ASSERT_GT(carried.size(), 1000000u);
    std::string otherBuild = carried;  // another build of the same size
    otherBuild[otherBuild.size() / 2] ^= 1;
    const struct {
        const char* what;
        std::string tool;
        bool replaced;
    } cases[] = {
        {"an older build's converter", otherBuild, true},
        {"a converter cut short", carried.substr(0, carried.size() / 3), true},
        {"an empty file", "", true},
        {"a foreign program", e2e::ReadFile(WindowsDirectory() + "\\system32\\notepad.exe"), true},
        {"this release's converter", carried, false},
        {"this release's converter of the other kind", e2e::ReadFile(QUENDRIX_OTHER_FFMPEG), false},
    };
    ASSERT_FALSE(cases[3].tool.empty()) << "the foreign program";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        e2e::RemoveTree(ToolFolder());
        ASSERT_TRUE(::CreateDirectoryA(ToolFolder().c_str(), nullptr));
        e2e::WriteFile(ToolFolder() + "nnn.exe", c.tool);
        // A tool to be left alone is guarded: a folder where a new one would
        // be written makes any attempt to replace it fail, and the start end
        // with the elevation hint.
        if (!c.replaced) ASSERT_TRUE(::CreateDirectoryA((ToolFolder() + "nnn.exe.new").c_str(), nullptr));
        StartOnce(e2e::FreshFolder("tool_folder"));
        const std::string after = e2e::ReadFile(ToolFolder() + "nnn.exe");
        EXPECT_TRUE(after == (c.replaced ? carried : c.tool)) << after.size() << " bytes";
        ::RemoveDirectoryA((ToolFolder() + "nnn.exe.new").c_str());
    }
}

// Another build's converter that cannot be replaced (the Windows directory
// is not the user's to write): the elevation hint, as for a missing one.
TEST(Startup, ConverterThatCannotBeReplacedShowsTheElevationHint) {
    e2e::RemoveTree(ToolFolder());
    ASSERT_TRUE(::CreateDirectoryA(ToolFolder().c_str(), nullptr));
    e2e::WriteFile(ToolFolder() + "nnn.exe", "an older converter");
    // Nothing can be written beside it: a folder where the new one would go.
    ASSERT_TRUE(::CreateDirectoryA((ToolFolder() + "nnn.exe.new").c_str(), nullptr));
    const std::string folder = e2e::FreshFolder("not_replaced");
    e2e::WriteFile(folder + "done.txt", "Done\r\n");
    {
        RunningProgram program(folder);
        HWND hint = program.WaitForVisible(kHint);
        ASSERT_NE(hint, nullptr);
        ::SendMessageA(RunningProgram::Child(hint, "Button", "OK"), BM_CLICK, 0, 0);
        EXPECT_TRUE(program.WaitForExit());
    }
    EXPECT_EQ(e2e::ReadFile(ToolFolder() + "nnn.exe"), "an older converter");
    e2e::RemoveTree(ToolFolder());
}

}  // namespace
