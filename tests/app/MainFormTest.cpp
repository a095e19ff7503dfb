// The main window in the program's own process: its windows made in order,
// the output folder restored from "set.txt", and the close query.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <optional>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
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

TEST_F(MainFormTest, CountLabelShowsItsWholeText) {
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);
    Form1->Show();
    FlushEvents(200);
    tk::Label* label = Form1->Label1;
    EXPECT_EQ(label->Caption(), "Added 0 file(s).");
    HDC dc = ::GetDC(Form1->Handle());
    HGDIOBJ old = ::SelectObject(dc, Form1->FontFor(label->Font()));
    SIZE extent;
    ::GetTextExtentPoint32A(dc, "Added 0 file(s).", 16, &extent);
    ::SelectObject(dc, old);
    EXPECT_GE(label->Width(), extent.cx);
    // The full stop is the last thing drawn: dark pixels in the last columns.
    int dark = 0;
    for (int x = label->Left() + extent.cx - 4; x < label->Left() + extent.cx; ++x)
        for (int y = label->Top(); y < label->Top() + label->Height(); ++y) dark += ::GetPixel(dc, x, y) == RGB(0, 0, 0);
    ::ReleaseDC(Form1->Handle(), dc);
    EXPECT_GT(dark, 0) << "width " << label->Width() << " extent " << extent.cx;
}

}  // namespace
