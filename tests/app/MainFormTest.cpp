// The main window in the program's own process: its windows made in order,
// the output folder restored from "set.txt", and the close query.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
#include "dialogs/Unit5.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Controls.h"
#include "toolkit/Handles.h"
#include "toolkit/Files.h"

namespace {

using namespace std::string_literals;
using namespace testing_support;

bool QuitPosted() {
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

std::string Desktop() {
    char path[MAX_PATH] = "";
    ::SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE);
    return std::string(path) + "\\";
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override { tk::SetProgramFolderForTesting(folder_.Path()); }
    void TearDown() override {
        Converting = false;
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
    }
    std::string Settings() const { return folder_.Path() + "set.txt"; }

    ScratchFolder folder_;
    ErrorRecorder errors_;
    ShellRecorder shell_;
};

TEST_F(MainFormTest, WindowsAreMadeHiddenInTheirOrder) {
    CreateApplicationForms();
    const auto& forms = tk::Application::Get().Forms();
    std::vector<std::string> names;
    for (const auto& form : forms) {
        names.push_back(form->Name());
        EXPECT_FALSE(form->Visible()) << form->Name();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"TForm1", "TForm2", "TForm3", "TForm5", "TAboutForm"}));
    EXPECT_EQ(tk::Application::Get().MainForm(), Form1);
    EXPECT_EQ(Form1->Caption(), "Quendrix Ombrelo 1.0");
    EXPECT_TRUE(errors_.Errors().empty());
}

struct SettingsCase {
    const char* what;
    std::optional<std::string> file;  // nothing: no "set.txt"
    std::optional<std::string> edit;  // nothing: the desktop folder
};

const SettingsCase kSettingsCases[] = {
    {"no file", std::nullopt, std::nullopt},
    {"one line", "D:\\converted\\\r\n", "D:\\converted\\"},
    {"several lines", "D:\\one\\\r\nD:\\two\\\r\n", "D:\\one\\"},
    {"no backslash is added", "D:\\as saved", "D:\\as saved"},
    {"empty first line", "\r\nD:\\two\\\r\n", ""},
    {"zero bytes, as after a crash", "", std::nullopt},
    {"only a NUL", "\0"s, std::nullopt},
};

TEST_F(MainFormTest, OutputFolderComesFromSettingsOrTheDesktop) {
    for (const SettingsCase& c : kSettingsCases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileA(Settings().c_str());
        if (c.file) WriteBytes(Settings(), *c.file);
        CreateApplicationForms();
        EXPECT_EQ(Form1->Edit1->Text(), c.edit ? *c.edit : Desktop());
        EXPECT_TRUE(errors_.Errors().empty()) << errors_.Errors().front();
        tk::Application::Get().ResetForTesting();
    }
}

TEST_F(MainFormTest, CloseIsRefusedWhileConvertingButTheFolderIsSaved) {
    CreateApplicationForms();
    Form1->Show();
    Converting = true;
    Form1->Edit1->SetText("D:\\videos\\");
    ::SendMessageA(Form1->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(ReadBytes(Settings()), "D:\\videos\\\r\n");

    Converting = false;
    Form1->Edit1->SetText("E:\\later\\");
    ::SendMessageA(Form1->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(ReadBytes(Settings()), "E:\\later\\\r\n");
    EXPECT_FALSE(Exists(Settings() + ".new"));
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(MainFormTest, LoggingOffPassesTheCloseQuery) {
    CreateApplicationForms();
    Form1->Show();
    Converting = true;
    Form1->Edit1->SetText("D:\\busy\\");
    EXPECT_EQ(::SendMessageA(Form1->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    EXPECT_EQ(ReadBytes(Settings()), "D:\\busy\\\r\n");

    Converting = false;
    Form1->Edit1->SetText("D:\\idle\\");
    EXPECT_EQ(::SendMessageA(Form1->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(ReadBytes(Settings()), "D:\\idle\\\r\n");
    // The other windows leave the answer to the main window.
    EXPECT_EQ(::SendMessageA(Form2->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(MainFormTest, SettingsThatCannotBeSavedAreReportedAndTheWindowStillCloses) {
    ASSERT_TRUE(::CreateDirectoryA(Settings().c_str(), nullptr));  // a folder is in the way
    CreateApplicationForms();
    Form1->Show();
    ::SendMessageA(Form1->Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(errors_.Errors().size(), 1u);
    EXPECT_EQ(errors_.Errors()[0].rfind("Cannot create file \"" + Settings() + "\". ", 0), 0u) << errors_.Errors()[0];
    EXPECT_EQ(errors_.Errors()[0].back(), '.');
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainFormTest, StartUpStepWaitsUntilEveryWindowExists) {
    // Until the message loop runs, the timer's ticks pass without effect.
    CreateApplicationForms();
    FlushEvents(1300);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_TRUE(ToolFolder.empty());
}

}  // namespace

namespace {

// --- labels show their whole caption --------------------------------------------------

// What the form shows in a rectangle of its client area.
tk::Bitmap Shot(const tk::Form& form, const RECT& area) {
    tk::Bitmap shot(area.right - area.left, area.bottom - area.top);
    tk::WindowDc dc(form.Handle());
    ::BitBlt(shot.Dc(), 0, 0, shot.Width(), shot.Height(), dc.Get(), area.left, area.top, SRCCOPY);
    ::GdiFlush();
    return shot;
}

// The pixels where `b` differs from `a`, and the rightmost column of them
// (-1: none).
struct Ink {
    int pixels = 0;
    int right = -1;
};
Ink InkBetween(const tk::Bitmap& a, const tk::Bitmap& b) {
    Ink ink;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                ++ink.pixels;
                ink.right = std::max(ink.right, x);
            }
    return ink;
}

// Compares the label's caption on the screen with the same text drawn alone,
// unclipped, with the label's font and colour on what the form shows without
// the caption: every pixel of every glyph must be on the screen.
void ExpectWholeCaptionShown(tk::Form& form, tk::Label& label, UINT alignment = DT_LEFT) {
    SCOPED_TRACE(form.Name() + "." + label.Name() + " \"" + label.Caption() + "\"");
    const std::string caption = label.Caption();
    HFONT font = form.FontFor(label.Font());
    SIZE extent{};
    {
        tk::WindowDc dc(form.Handle());
        tk::ScopedSelect select(dc.Get(), font);
        ::GetTextExtentPoint32A(dc.Get(), caption.data(), static_cast<int>(caption.size()), &extent);
    }
    EXPECT_GE(label.Width(), extent.cx);
    RECT client;
    ::GetClientRect(form.Handle(), &client);
    const RECT area{std::max(0, label.Left() - 8), label.Top(),
                    std::min<int>(client.right, label.Left() + label.Width() + 16), label.Top() + label.Height()};

    label.SetCaption("");
    FlushEvents(100);
    const tk::Bitmap background = Shot(form, area);
    label.SetCaption(caption);
    FlushEvents(100);
    const tk::Bitmap shown = Shot(form, area);

    tk::Bitmap reference = background.Copy();
    {
        tk::ScopedSelect select(reference.Dc(), font);
        ::SetBkMode(reference.Dc(), TRANSPARENT);
        ::SetTextColor(reference.Dc(), label.Font().colour);
        int x = label.Left() - area.left;
        if (alignment == DT_RIGHT) x += label.Width() - extent.cx;
        ::TextOutA(reference.Dc(), x, 0, caption.data(), static_cast<int>(caption.size()));
        ::GdiFlush();
    }
    const Ink want = InkBetween(background, reference);
    const Ink got = InkBetween(background, shown);
    EXPECT_GT(want.pixels, 0);
    EXPECT_EQ(got.pixels, want.pixels) << "rightmost ink: on the screen " << got.right << ", drawn alone "
                                       << want.right << " (label from " << label.Left() - area.left << " to "
                                       << label.Left() + label.Width() - area.left << ")";
}

TEST_F(MainFormTest, CountLabelShowsItsWholeText) {
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);
    Form1->Show();
    FlushEvents(200);
    tk::Label* label = Form1->Label1;
    EXPECT_EQ(label->Caption(), "Added 0 file(s).");
    ExpectWholeCaptionShown(*Form1, *label);
    // The full stop of the caption a batch of three leaves.
    label->SetCaption("Added 3 file(s).");
    FlushEvents(100);
    ExpectWholeCaptionShown(*Form1, *label);
}

// A form paints what changed into a picture it keeps from paint to paint:
// after each change, what the screen shows must be what a repaint of the
// whole window shows.
TEST_F(MainFormTest, APartOfTheWindowRepaintedMatchesAWholeRepaint) {
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);
    Form2->Show();
    FlushEvents(200);
    RECT client;
    ::GetClientRect(Form2->Handle(), &client);
    const std::vector<std::function<void()>> changes = {
        [] { Form2->ShowFilePercent(37); },
        [] { Form2->ShowTotalPercent(7); },
        [] { Form2->Label1->SetCaption("Current Operation: C:\\Videos\\a rather long name.mp4"); },
        [] { Form2->ShowFilePercent(100); },
        [] { Form2->Label1->SetCaption("Current Operation: x.mp4"); },
        [] { Form2->ShowFilePercent(3); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        SCOPED_TRACE(i);
        changes[i]();
        FlushEvents(100);
        const tk::Bitmap part = Shot(*Form2, client);
        ::RedrawWindow(Form2->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const tk::Bitmap whole = Shot(*Form2, client);
        EXPECT_EQ(InkBetween(whole, part).pixels, 0);
    }
    Form2->Hide();
}

// A percentage shown again leaves its bar as it is; a new one paints it anew.
TEST_F(MainFormTest, AProgressBarIsPaintedOnlyWhenItsPercentageChanges) {
    CreateApplicationForms();
    Form2->ShowFilePercent(40);
    Form2->ShowTotalPercent(20);
    const HDC file = Form2->Image6->Picture().Dc(), total = Form2->Image7->Picture().Dc();
    Form2->ShowFilePercent(40);
    Form2->ShowTotalPercent(20);
    EXPECT_EQ(Form2->Image6->Picture().Dc(), file);
    EXPECT_EQ(Form2->Image7->Picture().Dc(), total);
    Form2->ShowFilePercent(41);
    Form2->ShowTotalPercent(21);
    EXPECT_EQ(Form2->Image6->Picture().Width(), BarWidth(41));
    EXPECT_EQ(Form2->Image7->Picture().Width(), BarWidth(21));
    EXPECT_EQ(Form2->Label3->Caption(), "41%");
    EXPECT_EQ(Form2->Label4->Caption(), "21%");
}

TEST_F(MainFormTest, LabelsShowTheirWholeCaptions) {
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);
    struct Case {
        tk::Form* form;
        tk::Label* label;
        const char* caption;  // nullptr: the layout's
        UINT alignment;
    };
    const Case cases[] = {
        {Form1, Form1->Label2, nullptr, DT_LEFT},  // the bold title
        {Form1, Form1->Label3, nullptr, DT_LEFT},
        {AboutForm, AboutForm->Label1, nullptr, DT_LEFT},
        {AboutForm, AboutForm->Label2, nullptr, DT_LEFT},
        {AboutForm, AboutForm->Label5, nullptr, DT_LEFT},
        {AboutForm, AboutForm->Label3, nullptr, DT_LEFT},
        {AboutForm, AboutForm->Label4, nullptr, DT_LEFT},
        {Form5, Form5->Label1, nullptr, DT_LEFT},
        {Form2, Form2->Label1, "Convert file \"holiday in rome.mp4\":", DT_LEFT},
        {Form2, Form2->Label2, nullptr, DT_LEFT},
        {Form2, Form2->Label3, "45%", DT_RIGHT},
        {Form2, Form2->Label4, "100%", DT_RIGHT},
    };
    for (const Case& c : cases) {
        c.form->Show();
        if (c.caption) c.label->SetCaption(c.caption);
        FlushEvents(200);
        ExpectWholeCaptionShown(*c.form, *c.label, c.alignment);
        c.form->Hide();
    }
}

}  // namespace
