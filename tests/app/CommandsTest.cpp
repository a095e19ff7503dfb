// The main window's commands: choosing the output folder with the shell's
// real folder browser, exit.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <string>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"

namespace {

using namespace testing_support;

struct FoundDialog {
    HWND dialog = nullptr;
};

BOOL CALLBACK MatchBrowser(HWND hwnd, LPARAM data) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && lstrcmpA(cls, "#32770") == 0 &&
        ::FindWindowExA(hwnd, nullptr, "SysTreeView32", nullptr)) {
        reinterpret_cast<FoundDialog*>(data)->dialog = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Operates the folder browser from a thread of its own while the UI thread
// sits in the browser's modal loop: notes what the program looks like with
// the browser open, then selects a folder and confirms, or cancels.
class BrowserOperator {
public:
    // An empty folder: cancel.
    explicit BrowserOperator(std::string folder) : folder_(std::move(folder)) {
        thread_.Reset(::CreateThread(nullptr, 0, &BrowserOperator::Run, this, 0, nullptr));
    }
    ~BrowserOperator() {
        const HANDLE thread = thread_.Get();
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    bool found = false;
    bool ownerEnabled = true;
    UINT errorMode = 0;
    char preselected[MAX_PATH] = "";

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<BrowserOperator*>(self)->Operate();
        return 0;
    }
    void Operate() {
        FoundDialog found_;
        for (int i = 0; i < 500 && !found_.dialog; ++i) {
            ::EnumWindows(&MatchBrowser, reinterpret_cast<LPARAM>(&found_));
            if (!found_.dialog) ::Sleep(20);
        }
        if (!found_.dialog) return;
        found = true;
        ::Sleep(200);
        ownerEnabled = ::IsWindowEnabled(Form1->Handle());
        errorMode = ::GetErrorMode();
        if (folder_.empty()) {
            ::PostMessageA(found_.dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        ::SendMessageA(found_.dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
        ::Sleep(300);
        ::PostMessageA(found_.dialog, WM_COMMAND, IDOK, 0);
    }
    std::string folder_;
    tk::Handle thread_;
};

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolderForTesting(folder_.Path());
        CreateApplicationForms();
        Form1->Timer1->SetEnabled(false);
        Form1->Show();
        FlushEvents(50);
        ::SetErrorMode(0);
    }
    void TearDown() override {
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
    }

    ScratchFolder folder_;
    ErrorRecorder errors_;
};

TEST_F(CommandsTest, FolderBrowserSetsTheFolderWithOneTrailingBackslash) {
    const std::string below = folder_.Path() + "chosen [1]";
    ::CreateDirectoryA(below.c_str(), nullptr);
    const struct {
        std::string pick;
        std::string expected;
    } cases[] = {
        {below, below + "\\"},
        {"C:\\", "C:\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pick);
        Form1->Edit1->SetText("D:\\before\\");
        {
            BrowserOperator user(c.pick);
            Form1->ImageButton10Click(nullptr);
            EXPECT_TRUE(user.found);
            EXPECT_FALSE(user.ownerEnabled) << "the main window waits for the browser";
            EXPECT_TRUE(user.errorMode & SEM_FAILCRITICALERRORS);
        }
        EXPECT_EQ(Form1->Edit1->Text(), c.expected);
        EXPECT_TRUE(::IsWindowEnabled(Form1->Handle()));
        EXPECT_EQ(::GetErrorMode() & SEM_FAILCRITICALERRORS, 0u) << "the error mode is given back";
    }
}

TEST_F(CommandsTest, CancelledBrowserChangesNothing) {
    Form1->Edit1->SetText("D:\\before\\");
    {
        BrowserOperator user("");
        Form1->ImageButton10Click(nullptr);
        EXPECT_TRUE(user.found);
    }
    EXPECT_EQ(Form1->Edit1->Text(), "D:\\before\\");
    EXPECT_TRUE(::IsWindowEnabled(Form1->Handle()));
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(CommandsTest, ExitClosesThroughTheCloseQuery) {
    Form1->Edit1->SetText("D:\\kept\\");
    Form1->ImageButton7Click(nullptr);
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(ReadBytes(folder_.Path() + "set.txt"), "D:\\kept\\\r\n");
}

}  // namespace
