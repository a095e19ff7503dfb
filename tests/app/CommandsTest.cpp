// The main window's commands: choosing the output folder with the shell's
// real folder browser, exit.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <string>

#include "app/ProgramWindows.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
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
        // The tree fills itself as it opens: select until it shows the
        // folder (for a drive root, the first try is taken).
        const std::string last = folder_.substr(folder_.find_last_of('\\', folder_.size() - 2) + 1);
        HWND tree = ::FindWindowExA(found_.dialog, nullptr, "SysTreeView32", nullptr);
        for (int attempt = 0; attempt < 20; ++attempt) {
            ::SendMessageA(found_.dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
            ::Sleep(150);
            if (folder_.back() == '\\') break;
            char text[MAX_PATH] = "";
            TVITEMA item{};
            item.mask = TVIF_TEXT;
            item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            item.pszText = text;
            item.cchTextMax = sizeof text;
            if (item.hItem && ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && last == text)
                break;
        }
        ::PostMessageA(found_.dialog, WM_COMMAND, IDOK, 0);
    }
    std::string folder_;
    tk::Handle thread_;
};

// Closes the About box as soon as it shows, from a thread timer that its
// modal loop dispatches.
bool aboutShown = false;
void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD) {
    if (!AboutForm->Visible()) return;
    aboutShown = AboutForm->Modal();
    ::PostMessageA(AboutForm->Handle(), WM_CLOSE, 0, 0);
}

class CommandsTest : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        ::SetErrorMode(0);
    }

    void AddRows(const std::vector<std::string>& paths) {
        for (const auto& path : paths) Form1->ListView1->AddItem(path, {"1.00"});
    }
    // Nothing has started: the main window is as it was.
    void ExpectIdle() {
        EXPECT_FALSE(Converting);
        EXPECT_TRUE(Form1->Visible());
        EXPECT_FALSE(Form2->Visible());
        EXPECT_FALSE(Form2->Timer1->Enabled());
        EXPECT_TRUE(errors_.Errors().empty());
        EXPECT_EQ(FindOwnWindow("Quendrix Ombrelo 1.0", "#32770"), nullptr) << "no message";
    }

    ShellRecorder shell_;
};

TEST_F(CommandsTest, StartNeedsFilesAndAnOutputFolderThatExists) {
    Form1->Edit1->SetText(folder_.Path());
    Form1->ImageButton1Click(nullptr);  // the list is empty
    ExpectIdle();

    AddRows({"C:\\a.mp4", "C:\\b.mp4", "C:\\c.mp4"});
    const std::string gone = folder_.Path() + "deleted since\\";
    ::CreateDirectoryA(gone.c_str(), nullptr);
    Form1->Edit1->SetText(gone);
    ::RemoveDirectoryA(gone.c_str());
    Form1->ImageButton1Click(nullptr);
    ExpectIdle();
    EXPECT_EQ(Form1->ListView1->Count(), 3);
}

TEST_F(CommandsTest, StartWaitsForTheStartupStepAndNeverInterruptsABatch) {
    AddRows({"C:\\a.mp4"});
    Form1->Edit1->SetText(folder_.Path());
    // Pressed in the first second: the tool folder is not known yet.
    ToolReady = false;
    Form1->ImageButton1Click(nullptr);
    ExpectIdle();

    // Pressed while a batch runs (a second copy of the click, say).
    ToolReady = true;
    Converting = true;
    SourceFiles = {"C:\\running.mp4", "C:\\next.mp4"};
    SourceCount = 2;
    CurrentIndex = 1;
    Form1->ImageButton1Click(nullptr);
    EXPECT_EQ(SourceFiles, (std::vector<std::string>{"C:\\running.mp4", "C:\\next.mp4"}));
    EXPECT_EQ(SourceCount, 2);
    EXPECT_EQ(CurrentIndex, 1);
    EXPECT_FALSE(Form2->Visible());
    EXPECT_FALSE(Form2->Timer1->Enabled());
}

TEST_F(CommandsTest, StartHandsTheRowsToTheProgressWindow) {
    SourceFiles = {"left over"};
    AddRows({"C:\\v\\b.mp4", "C:\\v\\a.MP4", "D:\\x y\\c.mp4"});
    Form1->Edit1->SetText(folder_.Path());
    Form1->ImageButton1Click(nullptr);
    Form2->Timer1->SetEnabled(false);  // the batch itself is another test's
    EXPECT_EQ(OutputFolder, folder_.Path());
    EXPECT_EQ(SourceFiles, (std::vector<std::string>{"C:\\v\\b.mp4", "C:\\v\\a.MP4", "D:\\x y\\c.mp4"}));
    EXPECT_EQ(SourceCount, 3);
    EXPECT_EQ(CurrentIndex, 0);
    EXPECT_TRUE(Converting);
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Form2->Visible());
    EXPECT_EQ(Form1->ListView1->Count(), 3) << "the rows stay until the batch ends";
}

TEST_F(CommandsTest, StartGivesAFolderWithoutItsBackslashOne) {
    // As read back from a settings file written by hand.
    std::string folder = folder_.Path();
    folder.pop_back();
    AddRows({"C:\\a.mp4"});
    Form1->Edit1->SetText(folder);
    Form1->ImageButton1Click(nullptr);
    Form2->Timer1->SetEnabled(false);
    EXPECT_EQ(OutputFolder, folder + "\\");
    EXPECT_TRUE(Converting);
}

TEST_F(CommandsTest, HelpMenuOpensAtThePointerWithItsThreeCommands) {
    ::SetCursorPos(300, 200);
    {
        MenuChooser user(-1);
        Form1->ImageButton6Click(nullptr);
        ASSERT_TRUE(user.Shown());
        EXPECT_EQ(user.Captions(), (std::vector<std::string>{"&Contents", "&About Quendrix Ombrelo...", "-",
                                                             "&Visit Quendrix Web Site ->"}));
        POINT pointer;
        ::GetCursorPos(&pointer);
        EXPECT_EQ(user.Place().left, pointer.x);
        EXPECT_EQ(user.Place().top, pointer.y);
    }
    EXPECT_TRUE(shell_.Requests().empty());

    {
        MenuChooser user(0);  // Contents
        Form1->ImageButton6Click(nullptr);
    }
    ASSERT_EQ(shell_.Requests().size(), 1u);
    const tk::ShellRequest& help = shell_.Requests()[0];
    EXPECT_EQ(help.file, folder_.Path() + "help.htm");
    EXPECT_TRUE(help.noVerb);
    EXPECT_FALSE(help.noParameters);
    EXPECT_EQ(help.parameters, "");
    EXPECT_EQ(help.show, SW_RESTORE);

    {
        MenuChooser user(2);  // Visit, past the separator
        Form1->ImageButton6Click(nullptr);
    }
    ASSERT_EQ(shell_.Requests().size(), 2u);
    const tk::ShellRequest& visit = shell_.Requests()[1];

    {
        MenuChooser user(1);  // About
        const UINT_PTR closer = ::SetTimer(nullptr, 0, 100, &CloseAboutBox);
        Form1->ImageButton6Click(nullptr);
        ::KillTimer(nullptr, closer);
    }
    EXPECT_TRUE(aboutShown) << "the About box was shown modally";
    EXPECT_FALSE(AboutForm->Visible());
    EXPECT_EQ(visit.file, "iexplore");
    EXPECT_EQ(visit.parameters, kWebSite);
    EXPECT_EQ(visit.show, SW_RESTORE);
    EXPECT_TRUE(errors_.Errors().empty());
}

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
