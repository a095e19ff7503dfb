// The main window's list of source files, driven with real messages: files
// dropped as an HDROP made here, the Open dialog's answer given through its
// seam, the buttons clicked, the context menu chosen from with keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "app/SourceList.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/FileDialogs.h"
#include "toolkit/Files.h"

namespace {

using testing_support::MakeDrop;

using namespace std::string_literals;
using namespace testing_support;
using Row = std::pair<std::string, std::string>;  // path, size text

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                      static_cast<int>(wide.size())));
    return wide;
}


// Creates a file of that size without writing its bytes.
void MakeFile(const std::wstring& path, int64_t size) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = size;
    ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file);
    ::CloseHandle(file);
}


class SourceListTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolderForTesting(folder_.Path());
        previousRunner_ = tk::SetOpenDialogRunner([this](OPENFILENAMEW& ofn) { return AnswerDialog(ofn); });
        CreateApplicationForms();
        Form1->Timer1->SetEnabled(false);
        Form1->Show();
        FlushEvents(100);
    }
    void TearDown() override {
        tk::SetOpenDialogRunner(previousRunner_);
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
    }

    std::string Dir() const { return folder_.Path(); }
    std::wstring WideDir() const { return Wide(folder_.Path()); }

    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        for (int i = 0; i < Form1->ListView1->Count(); ++i)
            rows.emplace_back(Form1->ListView1->ItemText(i, 0), Form1->ListView1->ItemText(i, 1));
        return rows;
    }
    std::string Label() const { return Form1->Label1->Caption(); }

    // Drops the paths on the main window; tells whether the drop was
    // released.
    bool Drop(const std::vector<std::wstring>& paths) {
        const HDROP drop = MakeDrop(paths);
        ::SendMessageA(Form1->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        FlushEvents(20);
        return ::GlobalFlags(drop) == GMEM_INVALID_HANDLE;
    }
    void DropAnsi(const std::vector<std::string>& paths) {
        std::vector<std::wstring> wide;
        for (const auto& p : paths) wide.push_back(Wide(p));
        EXPECT_TRUE(Drop(wide));
    }

    // A left click in the middle of an image button.
    void Click(TImageButton* button) {
        const LPARAM at = MAKELPARAM(button->Width() / 2, button->Height() / 2);
        ::PostMessageA(button->Handle(), WM_MOUSEMOVE, 0, at);
        ::PostMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(button->Handle(), WM_LBUTTONUP, 0, at);
        FlushEvents(50);
    }
    // A left click on a row's size column.
    void ClickRow(int row) {
        RECT r{};
        r.top = 1;  // the size column
        r.left = LVIR_BOUNDS;
        ::SendMessageA(Form1->ListView1->Handle(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
        ::PostMessageA(Form1->ListView1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageA(Form1->ListView1->Handle(), WM_LBUTTONUP, 0, at);
        FlushEvents(50);
    }
    // Opens the list's context menu as a right click does and chooses the item.
    std::vector<std::string> ChooseFromContextMenu(int index) {
        MenuChooser chooser(index);
        POINT at{40, 40};
        ::ClientToScreen(Form1->ListView1->Handle(), &at);
        ::SendMessageA(Form1->ListView1->Handle(), WM_CONTEXTMENU,
                       reinterpret_cast<WPARAM>(Form1->ListView1->Handle()), MAKELPARAM(at.x, at.y));
        FlushEvents(50);
        EXPECT_TRUE(chooser.Shown());
        return chooser.Captions();
    }

    // The Open dialog's seam: notes what was asked and gives the answer.
    BOOL AnswerDialog(OPENFILENAMEW& ofn) {
        ++dialogRuns_;
        asked_ = ofn;
        filter_.clear();
        for (const wchar_t* p = ofn.lpstrFilter; p && (p[0] || p[1]); ++p) filter_.push_back(*p);
        if (!answer_) return FALSE;
        if (answer_->size() >= ofn.nMaxFile) return FALSE;
        std::copy(answer_->begin(), answer_->end(), ofn.lpstrFile);
        return TRUE;
    }

    ScratchFolder folder_;
    ErrorRecorder errors_;
    ShellRecorder shell_;
    tk::OpenDialogRunner previousRunner_;
    std::optional<std::wstring> answer_;  // nothing: the user cancels
    int dialogRuns_ = 0;
    OPENFILENAMEW asked_{};
    std::wstring filter_;
};

TEST_F(SourceListTest, ListLooksAsDesigned) {
    tk::ListView* list = Form1->ListView1;
    RECT r;
    ::GetWindowRect(list->Handle(), &r);
    ::MapWindowPoints(nullptr, Form1->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.top, 104);
    EXPECT_EQ(r.right - r.left, 473);
    EXPECT_EQ(r.bottom - r.top, 153);

    const LONG style = ::GetWindowLongA(list->Handle(), GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(style & LVS_SINGLESEL);
    EXPECT_TRUE(style & LVS_NOSORTHEADER);
    EXPECT_FALSE(style & (LVS_EDITLABELS | LVS_SORTASCENDING | LVS_SORTDESCENDING));
    EXPECT_TRUE(::SendMessageA(list->Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    // Only the main window takes drops: a drop on the list reaches it.
    EXPECT_FALSE(::GetWindowLongA(list->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(::GetWindowLongA(Form1->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    const std::pair<const char*, int> columns[] = {{"Source MP4 Files", 350}, {"Size (MB)", 75}};
    for (int i = 0; i < 2; ++i) {
        char text[64] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(::SendMessageA(list->Handle(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(Label(), "Added 0 file(s).");

    const std::pair<TImageButton*, int> buttons[] = {
        {Form1->ImageButton2, 104}, {Form1->ImageButton3, 136}, {Form1->ImageButton4, 168}, {Form1->ImageButton5, 200}};
    for (const auto& [button, top] : buttons) {
        EXPECT_EQ(button->Left(), 496);
        EXPECT_EQ(button->Top(), top);
        EXPECT_EQ(button->Width(), 70);
        EXPECT_EQ(button->Height(), 25);
        EXPECT_FALSE(button->NoneBitmap().Empty());
        EXPECT_FALSE(button->OverBitmap().Empty());
        EXPECT_FALSE(button->DownBitmap().Empty());
    }
}

TEST_F(SourceListTest, ButtonsShowTheirHints) {
    HWND tips = nullptr;
    for (HWND w = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); w;
         w = ::FindWindowExA(nullptr, w, TOOLTIPS_CLASSA, nullptr))
        if (::GetWindow(w, GW_OWNER) == Form1->Handle()) tips = w;
    ASSERT_NE(tips, nullptr);
    const std::pair<TImageButton*, const char*> hints[] = {
        {Form1->ImageButton2, "Add GVI files to list..."},
        {Form1->ImageButton3, "Remove the selected file from list."},
        {Form1->ImageButton4, "Remove all files from list."},
        {Form1->ImageButton5, "Play the selected file."},
    };
    for (const auto& [button, hint] : hints) {
        char text[128] = "";
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = Form1->Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(button->Handle());
        tool.lpszText = text;
        ::SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(text, hint) << button->Name();
    }
}

TEST_F(SourceListTest, DroppedMp4FilesAreListedInTheirOrder) {
    MakeFile(WideDir() + L"a.MP4", 524288);
    MakeFile(WideDir() + L"b.mp4", 131072);
    MakeFile(WideDir() + L"d.avi", 1048576);
    DropAnsi({Dir() + "a.MP4", Dir() + "b.mp4", Dir() + "c.Mp4", Dir() + "d.avi"});
    EXPECT_EQ(Rows(), (std::vector<Row>{{Dir() + "a.MP4", "0.50"}, {Dir() + "b.mp4", "0.13"}, {Dir() + "c.Mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 3 file(s).");
    EXPECT_TRUE(errors_.Errors().empty());
}

// Windows file names ignore letter case: one file in two spellings is one row.
TEST_F(SourceListTest, DropsSkipDuplicatesInAnyLetterCase) {
    DropAnsi({"C:\\v\\a.mp4", "C:\\v\\a.mp4", "C:\\V\\A.MP4", "C:\\v\\b.mp4"});
    EXPECT_EQ(Rows(), (std::vector<Row>{{"C:\\v\\a.mp4", "0.00"}, {"C:\\v\\b.mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 2 file(s).");

    Form1->Label1->SetCaption("stale");
    DropAnsi({"c:\\V\\B.Mp4", "C:\\IN\\C1.MP4"});
    DropAnsi({"C:\\in\\c1.mp4"});
    EXPECT_EQ(Rows(), (std::vector<Row>{{"C:\\v\\a.mp4", "0.00"}, {"C:\\v\\b.mp4", "0.00"}, {"C:\\IN\\C1.MP4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 3 file(s).");
}

TEST_F(SourceListTest, DropsTakeOnlyMp4NamesAndFoldersCountAsEmpty) {
    ::CreateDirectoryA((Dir() + "x.mp4").c_str(), nullptr);
    MakeFile(WideDir() + L"x.mp4\\file", 1048576);
    MakeFile(WideDir() + L"clip.mp4.bak", 1048576);
    DropAnsi({Dir() + "clip.mp4.bak", Dir() + "x.mp4\\file", Dir() + "x.mp4"});
    EXPECT_EQ(Rows(), (std::vector<Row>{{Dir() + "x.mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 1 file(s).");
}

TEST_F(SourceListTest, LongDroppedPathsArriveWhole) {
    // 258 characters: more than the 255 that a fixed buffer would keep.
    const std::string sub = Dir() + std::string(120, 'd') + "\\";
    ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), nullptr));
    const std::string file = sub + std::string(258 - sub.size() - 4, 'f') + ".mp4";
    ASSERT_EQ(file.size(), 258u);
    MakeFile(Wide(file), 524288);
    // And one far longer than any path the system opens by its ANSI name.
    const std::string longer = "C:\\" + std::string(200, 'a') + "\\" + std::string(200, 'b') + ".mp4";
    DropAnsi({file, longer});
    EXPECT_EQ(Rows(), (std::vector<Row>{{file, "0.50"}, {longer, "0.00"}}));
}

TEST_F(SourceListTest, NamesOutsideTheAnsiCodePageAreListedInShortForm) {
    const std::wstring name = WideDir() + L"clip \x4e2d\x6587.mp4";
    MakeFile(name, 1048576);
    const std::wstring shortName = ShortPathOf(name);
    ASSERT_FALSE(shortName.empty());
    EXPECT_TRUE(Drop({name}));
    ASSERT_EQ(Rows().size(), 1u);
    const auto [path, size] = Rows()[0];
    EXPECT_EQ(Wide(path), shortName);
    for (char c : path) EXPECT_TRUE(c > 0 && c != '?') << path;
    EXPECT_TRUE(tk::FileExists(path)) << path;
    EXPECT_EQ(size, "1.00");

    // A name that cannot be written in ANSI and has no short form (it does
    // not exist) is passed over; the label still counts.
    EXPECT_TRUE(Drop({WideDir() + L"\x4e2d missing.mp4"}));
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Label(), "Added 1 file(s).");
}

TEST_F(SourceListTest, OpenDialogAsksAsDesignedAndListsEveryChosenName) {
    MakeFile(WideDir() + L"a.mp4", 1048576);
    MakeFile(WideDir() + L"notes.txt", 5243);
    std::wstring folder = WideDir();
    folder.pop_back();  // the dialog gives the folder without its backslash
    answer_ = folder + L"\0a.mp4\0notes.txt\0a.mp4\0missing.mp4\0\0"s;
    Click(Form1->ImageButton2);
    ASSERT_EQ(dialogRuns_, 1);
    EXPECT_EQ(asked_.hwndOwner, Form1->Handle());
    EXPECT_EQ(asked_.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT | OFN_ENABLESIZING));
    EXPECT_EQ(filter_, L"Google Video (*.MP4)\0*.mp4"s);
    EXPECT_EQ(asked_.nFilterIndex, 1u);
    EXPECT_EQ(asked_.lpstrTitle, nullptr);
    EXPECT_EQ(asked_.lpstrInitialDir, nullptr);
    EXPECT_EQ(asked_.lpstrDefExt, nullptr);
    EXPECT_GE(asked_.nMaxFile, 32768u);
    // Typed names are taken whatever they end in, and need not exist.
    EXPECT_EQ(Rows(), (std::vector<Row>{{Dir() + "a.mp4", "1.00"}, {Dir() + "notes.txt", "0.01"},
                                        {Dir() + "missing.mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 3 file(s).");

    // One chosen file comes as one full path; a listed one is not added again.
    answer_ = Wide(Dir()) + L"a.mp4\0\0"s;
    Click(Form1->ImageButton2);
    EXPECT_EQ(Rows().size(), 3u);

    // Cancelled: the rows stay, the label is written again.
    answer_.reset();
    Form1->Label1->SetCaption("stale");
    Click(Form1->ImageButton2);
    EXPECT_EQ(dialogRuns_, 3);
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Label(), "Added 3 file(s).");
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(SourceListTest, RemoveSelectedRemoveAllAndPlay) {
    DropAnsi({"C:\\v\\1.mp4", "C:\\v\\2.mp4", "C:\\v\\3.mp4"});

    // Nothing selected: remove rewrites the label only, play does nothing.
    Form1->Label1->SetCaption("stale");
    Click(Form1->ImageButton3);
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Label(), "Added 3 file(s).");
    Click(Form1->ImageButton5);
    EXPECT_TRUE(shell_.Requests().empty());

    // A click anywhere on a row selects the whole row.
    ClickRow(1);
    EXPECT_EQ(Form1->ListView1->SelectedIndex(), 1);
    Click(Form1->ImageButton5);
    ASSERT_EQ(shell_.Requests().size(), 1u);
    const tk::ShellRequest& play = shell_.Requests()[0];
    EXPECT_EQ(play.owner, Form1->Handle());
    EXPECT_TRUE(play.noVerb);
    EXPECT_EQ(play.file, "C:\\v\\2.mp4");
    EXPECT_TRUE(play.noParameters);
    EXPECT_EQ(play.directory, "");
    EXPECT_EQ(play.show, SW_SHOW);
    EXPECT_EQ(Rows().size(), 3u);

    Click(Form1->ImageButton3);
    EXPECT_EQ(Rows(), (std::vector<Row>{{"C:\\v\\1.mp4", "0.00"}, {"C:\\v\\3.mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 2 file(s).");

    Click(Form1->ImageButton4);
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Label(), "Added 0 file(s).");
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(SourceListTest, ContextMenuItemsDoWhatTheButtonsDo) {
    DropAnsi({"C:\\v\\1.mp4", "C:\\v\\2.mp4"});
    Form1->ListView1->SetSelectedIndex(0);

    const std::vector<std::string> captions = ChooseFromContextMenu(3);  // Play
    EXPECT_EQ(captions, (std::vector<std::string>{"Add...", "Delete", "Clear", "Play"}));
    ASSERT_EQ(shell_.Requests().size(), 1u);
    EXPECT_EQ(shell_.Requests()[0].file, "C:\\v\\1.mp4");

    ChooseFromContextMenu(1);  // Delete
    EXPECT_EQ(Rows(), (std::vector<Row>{{"C:\\v\\2.mp4", "0.00"}}));
    EXPECT_EQ(Label(), "Added 1 file(s).");

    answer_ = L"C:\\v\\9.mp4\0\0"s;
    ChooseFromContextMenu(0);  // Add...
    EXPECT_EQ(dialogRuns_, 1);
    EXPECT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Label(), "Added 2 file(s).");

    ChooseFromContextMenu(-1);  // dismissed: nothing changes
    EXPECT_EQ(Rows().size(), 2u);

    ChooseFromContextMenu(2);  // Clear
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Label(), "Added 0 file(s).");
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(SourceListTest, EndOfBatchEmptiesTheList) {
    DropAnsi({"C:\\v\\1.mp4", "C:\\v\\2.mp4"});
    EXPECT_EQ(Form1->SourcePaths(), (std::vector<std::string>{"C:\\v\\1.mp4", "C:\\v\\2.mp4"}));
    Form1->ClearSourceList();
    EXPECT_EQ(Form1->ListView1->Count(), 0);
    EXPECT_TRUE(Form1->SourcePaths().empty());
    EXPECT_EQ(Label(), "Added 0 file(s).");
}

}  // namespace
