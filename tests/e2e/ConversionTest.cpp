// A whole evening's job as a user does it, from outside the built program:
// the clips are added through the Open dialog by typing their names, Start
// is pressed, the progress window runs, the final box is confirmed, and the
// output folder is opened. conversion_test.sh makes the clips beforehand (one
// of them, "Birthday.MP4", with AV1 video, as current downloads have) and
// checks the AVI files afterwards with ffprobe; this program leaves
// screenshots of the main window with its list and of the progress window
// mid-batch beside them.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/Driver.h"
#include "support/TestSupport.h"
#include "toolkit/Handles.h"

namespace {

using e2e::RunningProgram;

constexpr char kMain[] = "Quendrix Ombrelo 1.0";
constexpr char kProgress[] = "Converting...";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

using e2e::ChildAt;
using e2e::Click;
using e2e::ListRows;
using e2e::Type;
using e2e::TypeIntoOpenDialog;
using e2e::WaitUntil;

// A visible top-level window of the process, of the class.
HWND FindProcessWindow(DWORD pid, const char* cls) { return testing_support::FindProcessWindow(pid, nullptr, cls); }

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Saves what the window shows on screen as a 24-bit BMP file.
void Screenshot(HWND window, const std::string& path) {
    RECT r;
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = ::GetDC(nullptr);
    tk::MemoryDc dc(::CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB};
    void* bits = nullptr;
    tk::BitmapHandle picture(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    {
        tk::ScopedSelect select(dc.Get(), picture.Get());
        ::BitBlt(dc.Get(), 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        ::GdiFlush();
    }
    ::ReleaseDC(nullptr, screen);
    const DWORD stride = (width * 3 + 3) & ~3u;
    const DWORD size = stride * height;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
                          0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    tk::FileHandle out(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(out.Get(), &file, sizeof file, &written, nullptr);
    ::WriteFile(out.Get(), &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
    ::WriteFile(out.Get(), bits, size, &written, nullptr);
}

// The dialog's controls as "class#id" (for a failure message).
std::string DescribeChildren(HWND dialog) {
    std::string text;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = "";
        ::GetClassNameA(child, cls, sizeof cls);
        text += std::string(cls) + "#" + std::to_string(::GetDlgCtrlID(child)) + " ";
    }
    return text;
}

// A program folder of a returning user: the codec prompt was seen, the
// output folder is the one chosen last time.
std::string ReturningUsersFolder(const std::string& name, const std::string& out) {
    const std::string folder = e2e::FreshFolder(name);
    testing_support::WriteBytes(folder + "done.txt", "Done\r\n");
    testing_support::WriteBytes(folder + "set.txt", out + "\r\n");
    return folder;
}

// Starts the program there and waits for its main window and its start-up
// step (the tool is installed if it is missing).
HWND StartedMainWindow(const RunningProgram& program) {
    HWND main = program.WaitForVisible(kMain);
    if (main) ::Sleep(1500);
    return main;
}

// Adds files through the Open dialog as a user does: the folder typed into
// the name field, Enter, then the names in quotes, Enter.
void AddByOpenDialog(HWND main, const std::string& folder, const std::vector<std::string>& names) {
    const DWORD pid = ProcessOf(main);
    const int rows = ListRows(main);
    HWND add = ChildAt(main, RECT{496, 104, 566, 129});
    ASSERT_NE(add, nullptr) << "the Add button";
    Click(add);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindProcessWindow(pid, "#32770")) != nullptr; }, 15000));
    ::Sleep(500);
    HWND nameEdit = e2e::FileNameField(dialog);
    ASSERT_NE(nameEdit, nullptr) << "the file name field in \"" << RunningProgram::Text(dialog) << "\": "
                                 << DescribeChildren(dialog);
    TypeIntoOpenDialog(dialog, nameEdit, folder, names);
    const int wanted = rows + static_cast<int>(names.size());
    ASSERT_TRUE(WaitUntil([&] { return ListRows(main) == wanted; }, 15000)) << "rows: " << ListRows(main);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 5000));
    ::Sleep(300);
}

// Presses Start and waits for the progress window.
HWND StartBatch(const RunningProgram& program, HWND main) {
    HWND start = ChildAt(main, RECT{16, 32, 81, 89});
    EXPECT_NE(start, nullptr) << "the Start button";
    if (!start) return nullptr;
    Click(start);
    return program.WaitForVisible(kProgress, 15000);
}

// Waits for the final box, notes its text and confirms it.
std::string ConfirmFinalBox(HWND main, int timeoutMs = 300000) {
    HWND box = nullptr;
    const DWORD pid = ProcessOf(main);
    if (!WaitUntil([&] { return (box = FindProcessWindow(pid, "#32770")) != nullptr; }, timeoutMs)) return "(no box)";
    char text[4096] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_EQ(RunningProgram::Text(box), kMain);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    return text;
}

// Whether the final box lists exactly these files, in this order, each with
// its reason. A line too long for the screen shows its path with the middle
// of its folders left out ("Z:\\...\\clips\\long.mp4"), so a listed path
// is the full one or its start and end with "\\...\\" between.
::testing::AssertionResult ListsNotConverted(const std::string& box,
                                             std::vector<std::pair<std::string, std::string>> files,
                                             bool anyOrder = false) {
    std::string expected = "Done.\n\nNot converted:";
    for (const auto& [path, reason] : files) expected += "\n" + path + " - " + reason;
    const std::string head = "Done.\n\nNot converted:\n";
    if (box.rfind(head, 0) != 0) return ::testing::AssertionFailure() << box << "\nlists no file; expected\n" << expected;
    std::vector<std::string> lines;
    for (size_t at = head.size(); at <= box.size();) {
        const size_t end = std::min(box.find('\n', at), box.size());
        lines.push_back(box.substr(at, end - at));
        at = end + 1;
    }
    // In any order: the list's order, which the Open dialog chose.
    if (anyOrder) {
        std::sort(files.begin(), files.end());
        std::sort(lines.begin(), lines.end());
    }
    bool same = lines.size() == files.size();
    for (size_t i = 0; same && i < files.size(); ++i) {
        const std::string tail = " - " + files[i].second, path = files[i].first, line = lines[i];
        if (line.size() < tail.size() || line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
            same = false;
            break;
        }
        const std::string listed = line.substr(0, line.size() - tail.size());
        const size_t gap = listed.find("\\...\\");
        same = listed == path ||
               (gap != std::string::npos && path.rfind(listed.substr(0, gap + 1), 0) == 0 &&
                path.size() > listed.size() - 4 &&
                path.compare(path.size() - (listed.size() - gap - 4), std::string::npos, listed.substr(gap + 4)) == 0);
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << box << "\nis not\n" << expected;
}

// Lists the files, presses Start and waits for the first tool the program
// starts: its process id, or 0 (the failure reported).
DWORD FirstToolOfABatch(const RunningProgram& program, HWND main, const std::string& folder,
                        const std::vector<std::string>& names) {
    AddByOpenDialog(main, folder, names);
    if (::testing::Test::HasFatalFailure()) return 0;
    if (!StartBatch(program, main)) return 0;
    std::vector<DWORD> tools;
    if (!WaitUntil([&] { return !(tools = e2e::ChildProcesses(program.ProcessId(), "nnn.exe")).empty(); }, 15000)) {
        ADD_FAILURE() << "no tool started";
        return 0;
    }
    return tools[0];
}

TEST(Conversion, AUserConvertsClipsFromStartToFinish) {
    const std::string clips = Environment("QUENDRIX_E2E_CLIPS");      // ends with a backslash
    const std::string out = Environment("QUENDRIX_E2E_OUT");          // ends with a backslash
    const std::string artefacts = Environment("QUENDRIX_E2E_SHOTS");  // ends with a backslash
    if (clips.empty() || out.empty() || artefacts.empty()) GTEST_SKIP() << "run by conversion_test.sh";

    RunningProgram program(ReturningUsersFolder("conversion", out));
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    AddByOpenDialog(main, clips, {"holiday in rome.mp4", "Birthday.MP4", "clip3.mp4"});
    if (HasFatalFailure()) return;
    Screenshot(main, artefacts + "main_with_list.bmp");

    HWND progress = StartBatch(program, main);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(::IsWindowVisible(main)) << "the main window hides while the batch runs";
    ::Sleep(1800);
    Screenshot(progress, artefacts + "progress_mid_batch.bmp");

    // The final box over the progress window: confirm it.
    EXPECT_EQ(ConfirmFinalBox(main), "Done.");
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    EXPECT_FALSE(::IsWindowVisible(progress));
    EXPECT_EQ(ListRows(main), 0);
    // The output folder is opened (its recorder stands in for the folder window).
    const auto launches = program.WaitForLaunches(1, 10000);
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_NE(launches[0].commandLine.find(out.substr(0, out.size() - 1)), std::string::npos)
        << launches[0].commandLine;

    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit());
}

// Two copies of the program, started from two folders, convert the same
// clips into one output folder at the same time: each reserves its own
// temporary files, so every file of both ends whole under a name of its own
// (conversion_test.sh checks them all).
TEST(Conversion, TwoCopiesConvertIntoOneFolder) {
    const std::string clips = Environment("QUENDRIX_E2E_SHORT_CLIPS");
    const std::string out = Environment("QUENDRIX_E2E_SHARED_OUT");
    const int count = std::atoi(Environment("QUENDRIX_E2E_SHORT_COUNT").c_str());
    if (clips.empty() || out.empty() || count <= 0) GTEST_SKIP() << "run by conversion_test.sh";
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back("short" + std::to_string(i) + ".mp4");

    RunningProgram first(ReturningUsersFolder("copy one", out)), second(ReturningUsersFolder("copy two", out));
    HWND main1 = StartedMainWindow(first), main2 = StartedMainWindow(second);
    ASSERT_NE(main1, nullptr);
    ASSERT_NE(main2, nullptr);
    AddByOpenDialog(main1, clips, names);
    if (HasFatalFailure()) return;
    AddByOpenDialog(main2, clips, names);
    if (HasFatalFailure()) return;
    ASSERT_NE(StartBatch(first, main1), nullptr);
    ::Sleep(300);
    ASSERT_NE(StartBatch(second, main2), nullptr);
    EXPECT_EQ(ConfirmFinalBox(main1), "Done.");
    EXPECT_EQ(ConfirmFinalBox(main2), "Done.");
}

// The tool is ended from outside in the middle of a file, and reports
// success as Wine does for a killed process: the cut-short file is not
// counted, it is removed, and the box names its source with the reason; the
// batch goes on.
TEST(Conversion, AToolEndedFromOutsideMidFileIsNotCountedAsConverted) {
    const std::string clips = Environment("QUENDRIX_E2E_LONG_CLIPS");
    const std::string out = Environment("QUENDRIX_E2E_KILL_OUT");
    if (clips.empty() || out.empty()) GTEST_SKIP() << "run by conversion_test.sh";

    RunningProgram program(ReturningUsersFolder("tool killed", out));
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    const DWORD toolId = FirstToolOfABatch(program, main, clips, {"long.mp4", "short.mp4"});
    ASSERT_NE(toolId, 0u);
    ::Sleep(3000);  // well into the file
    {
        tk::Handle tool(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, toolId));
        ASSERT_TRUE(tool);
        ::TerminateProcess(tool.Get(), 0);
    }
    EXPECT_TRUE(ListsNotConverted(ConfirmFinalBox(main), {{clips + "long.mp4", "the converter stopped before the end"}}));
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit());
}

// Files from the wild in one batch with a plain clip: the plain clip
// converts, and the final box names each other file with its true reason
// (conversion_test.sh checks that nothing else stays in the output folder).
TEST(Conversion, FilesFromTheWildAreNamedWithTheirReasons) {
    const std::string clips = Environment("QUENDRIX_E2E_WILD_CLIPS");
    const std::string out = Environment("QUENDRIX_E2E_WILD_OUT");
    if (clips.empty() || out.empty()) GTEST_SKIP() << "run by conversion_test.sh";
    const std::vector<std::pair<std::string, std::string>> failing = {
        {"init segment.mp4", "the file holds no video or sound"},
        {"timed text.mp4", "the file holds no video or sound"},
        {"encrypted.mp4", "the file is copy-protected (encrypted)"},
        {"encrypted sound.mp4", "the file is copy-protected (encrypted)"},
        {"fairplay.mp4", "the file is copy-protected (encrypted)"},
        {"cut short.mp4", "the video is damaged or incomplete"},
        {"wma sound.mp4", "the sound format is not supported (wmav2)"},
    };
    std::vector<std::string> names = {"plain.mp4"};
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& [name, reason] : failing) {
        names.push_back(name);
        expected.push_back({clips + name, reason});
    }
    RunningProgram program(ReturningUsersFolder("wild", out));
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    AddByOpenDialog(main, clips, names);
    if (HasFatalFailure()) return;
    ASSERT_NE(StartBatch(program, main), nullptr);
    EXPECT_TRUE(ListsNotConverted(ConfirmFinalBox(main), expected, true));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit());
}

// ---- The same with the keyboard alone -------------------------------------------

// The window that holds the keyboard focus in the program's UI thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

std::string ClassOf(HWND window) {
    char cls[64] = "";
    ::GetClassNameA(window, cls, sizeof cls);
    return cls;
}

// A key pressed and released where the focus is, as the keyboard delivers it.
void Press(HWND window, WORD key) {
    HWND focus = FocusOf(window);
    if (!focus) focus = window;
    ::PostMessageA(focus, WM_KEYDOWN, key, 1);
    ::PostMessageA(focus, WM_KEYUP, key, 0xC0000001);
    ::Sleep(150);
}

// Tab until the focus is on the control with this text (an image button's
// name); false if a whole round of the window does not find it.
bool TabTo(HWND window, const std::string& text) {
    for (int presses = 0; presses < 30; ++presses) {
        if (RunningProgram::Text(FocusOf(window)) == text) return true;
        Press(window, VK_TAB);
    }
    return RunningProgram::Text(FocusOf(window)) == text;
}

// Adds one file through the Open dialog: Enter on Add, its full path typed
// into the file name field, Enter.
void AddByKeys(HWND main, DWORD pid, const std::string& path, int rowsAfter) {
    ASSERT_TRUE(TabTo(main, "Add GVI files to list")) << "focus on \"" << RunningProgram::Text(FocusOf(main)) << "\"";
    Press(main, VK_RETURN);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindProcessWindow(pid, "#32770")) != nullptr; }, 15000));
    ::Sleep(500);
    // The dialog opens with the focus in its file name field; Tab finds it otherwise.
    for (int presses = 0; presses < 15 && ClassOf(FocusOf(dialog)) != "Edit"; ++presses) Press(dialog, VK_TAB);
    HWND name = FocusOf(dialog);
    ASSERT_EQ(ClassOf(name), "Edit") << DescribeChildren(dialog);
    Type(name, path);
    ::Sleep(300);
    Press(dialog, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return ListRows(main) == rowsAfter; }, 15000)) << "rows: " << ListRows(main);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }, 5000));
    ::Sleep(500);
}

// What a screen reader in another process hears of a window's client area
// (AccessibleObjectFromWindow): its name and role, and the names, roles and
// values of its simple children.
struct Heard {
    struct Part {
        LONG role = -1;
        std::wstring name, value;
    };
    HRESULT result = E_FAIL;
    Part self;
    std::vector<Part> children;
};

Heard Hear(HWND window) {
    Heard heard;
    void* object = nullptr;
    heard.result = ::AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), &object);
    if (FAILED(heard.result)) return heard;
    IAccessible* accessible = static_cast<IAccessible*>(object);
    const auto part = [&](LONG id) {
        VARIANT child;
        ::VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        Heard::Part p;
        VARIANT role;
        ::VariantInit(&role);
        if (SUCCEEDED(accessible->get_accRole(child, &role)) && role.vt == VT_I4) p.role = role.lVal;
        ::VariantClear(&role);
        for (auto [get, text] : {std::pair{&IAccessible::get_accName, &p.name}, {&IAccessible::get_accValue, &p.value}}) {
            BSTR bstr = nullptr;
            if (SUCCEEDED((accessible->*get)(child, &bstr)) && bstr) text->assign(bstr, ::SysStringLen(bstr));
            ::SysFreeString(bstr);
        }
        return p;
    };
    heard.self = part(CHILDID_SELF);
    LONG count = 0;
    accessible->get_accChildCount(&count);
    for (LONG id = 1; id <= count; ++id) {
        Heard::Part p = part(id);
        if (p.role == ROLE_SYSTEM_STATICTEXT || p.role == ROLE_SYSTEM_PROGRESSBAR) heard.children.push_back(p);
    }
    accessible->Release();
    return heard;
}

TEST(Conversion, AKeyboardUserConvertsClipsWithoutTheMouse) {
    const std::string clips = Environment("QUENDRIX_E2E_CLIPS");
    const std::string out = Environment("QUENDRIX_E2E_KEYS_OUT");  // ends with a backslash
    if (clips.empty() || out.empty()) GTEST_SKIP() << "run by conversion_test.sh";

    RunningProgram program(ReturningUsersFolder("keyboard", out));
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    const DWORD pid = ProcessOf(main);
    ::SetForegroundWindow(main);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(main) != nullptr; }, 5000)) << "the main window has no focus";

    // Two clips, each through the Open dialog.
    AddByKeys(main, pid, clips + "holiday in rome.mp4", 1);
    if (HasFatalFailure()) return;
    AddByKeys(main, pid, clips + "clip3.mp4", 2);
    if (HasFatalFailure()) return;

    // Enter on Help: the menu opens below the button; Escape closes it.
    ASSERT_TRUE(TabTo(main, "Help"));
    HWND help = FocusOf(main);
    Press(main, VK_RETURN);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindProcessWindow(pid, "#32768")) != nullptr; }, 5000));
    RECT place, button;
    ::GetWindowRect(menu, &place);
    ::GetWindowRect(help, &button);
    EXPECT_EQ(place.left, button.left);
    EXPECT_EQ(place.top, button.bottom);
    ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(WaitUntil([&] { return FindProcessWindow(pid, "#32768") == nullptr; }, 5000));
    ::Sleep(300);

    // Start, as a screen reader announces it from its own process.
    ASSERT_TRUE(TabTo(main, "Start Converting"));
    const Heard start = Hear(FocusOf(main));
    ASSERT_EQ(start.result, S_OK) << std::hex << start.result;
    EXPECT_EQ(start.self.name, L"Start Converting");
    EXPECT_EQ(start.self.role, ROLE_SYSTEM_PUSHBUTTON);
    Press(main, VK_RETURN);
    HWND progress = program.WaitForVisible(kProgress, 15000);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(::IsWindowVisible(main));
    // The progress window reads its operation and both bars as percentages.
    const Heard read = Hear(progress);
    ASSERT_EQ(read.result, S_OK) << std::hex << read.result;
    std::vector<std::wstring> bars;
    bool operation = false;
    for (const Heard::Part& p : read.children) {
        if (p.role == ROLE_SYSTEM_PROGRESSBAR) bars.push_back(p.name + L" " + p.value);
        operation |= p.name.rfind(L"Convert file \"", 0) == 0;
    }
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[0].rfind(L"Current file progress ", 0), 0u);
    EXPECT_EQ(bars[1].rfind(L"Total progress ", 0), 0u);
    for (const std::wstring& bar : bars) EXPECT_EQ(bar.back(), L'%');
    EXPECT_TRUE(operation) << "no \"Convert file\" label heard";

    // Enter on the final box.
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessWindow(pid, "#32770")) != nullptr; }, 180000));
    ::Sleep(300);
    char text[256] = "";
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "Done.");
    Press(box, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    EXPECT_EQ(ListRows(main), 0);

    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit());
}

// The program is ended from outside during a file: its tool ends with it
// (within a second) instead of writing on into the output folder.
TEST(Conversion, TheToolNeverOutlivesTheProgram) {
    const std::string clips = Environment("QUENDRIX_E2E_LONG_CLIPS");
    const std::string out = Environment("QUENDRIX_E2E_ORPHAN_OUT");
    if (clips.empty() || out.empty()) GTEST_SKIP() << "run by conversion_test.sh";

    RunningProgram program(ReturningUsersFolder("program killed", out));
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    const DWORD toolId = FirstToolOfABatch(program, main, clips, {"long.mp4"});
    ASSERT_NE(toolId, 0u);
    tk::Handle tool(::OpenProcess(SYNCHRONIZE, FALSE, toolId));
    ASSERT_TRUE(tool);
    ::Sleep(1000);
    ASSERT_EQ(::WaitForSingleObject(tool.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the tool works";
    program.Kill();
    EXPECT_EQ(::WaitForSingleObject(tool.Get(), 1000), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the tool still runs a second after the program ended";
}

}  // namespace

// The program as users get it, from release_test.sh: the copy that the
// released installer or zip put in place, past its first start, converts a
// clip into the output folder it was left with (the script checks the AVI).
TEST(Installed, ConvertsAClip) {
    const std::string exe = Environment("QUENDRIX_INSTALLED_EXE");
    const std::string clips = Environment("QUENDRIX_INSTALLED_CLIPS");  // ends with a backslash
    const std::string clip = Environment("QUENDRIX_INSTALLED_CLIP");
    if (exe.empty() || clips.empty() || clip.empty()) GTEST_SKIP() << "run by release_test.sh";

    RunningProgram program(e2e::InstalledCopy{exe});
    HWND main = StartedMainWindow(program);
    ASSERT_NE(main, nullptr);
    AddByOpenDialog(main, clips, {clip});
    if (HasFatalFailure()) return;
    ASSERT_NE(StartBatch(program, main), nullptr);
    EXPECT_EQ(ConfirmFinalBox(main), "Done.");
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.WaitForExit());
}
