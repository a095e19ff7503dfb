// The codec prompt and the elevation hint, shown modally as the start-up
// step shows them, operated through real messages.
#include <gtest/gtest.h>

#include <functional>

#include "app/Startup.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit5.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"

namespace {

using namespace testing_support;

bool QuitPosted() {
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

// Runs `user` from the modal loop once the dialog is up, as a user would act.
std::function<void()> g_user;
void CALLBACK ActAsUser(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto act = std::move(g_user);
    act();
}

int ShowModalAndAct(tk::Form* form, std::function<void()> user) {
    g_user = std::move(user);
    ::SetTimer(nullptr, 0, 150, &ActAsUser);
    return form->ShowModal();
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolderForTesting(folder_.Path());
        CreateApplicationForms();
    }
    void TearDown() override {
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
    }

    ScratchFolder folder_;
    ErrorRecorder errors_;
    ShellRecorder shell_;
};

TEST_F(DialogsTest, CodecPromptOpensWithTheFirstChoiceAndDoneFocused) {
    EXPECT_EQ(Form3->Caption(), "Quendrix Ombrelo Installation");
    RECT client;
    ::GetClientRect(Form3->Handle(), &client);
    EXPECT_EQ(client.right, 385);
    EXPECT_EQ(client.bottom, 211);
    EXPECT_TRUE(Form3->RadioButton1->Checked());
    EXPECT_FALSE(Form3->RadioButton2->Checked());
    ShowModalAndAct(Form3, [] {
        EXPECT_EQ(::GetFocus(), Form3->Button1->Handle());
        // The logo is drawn as it was decoded.
        HDC dc = ::GetDC(Form3->Handle());
        const tk::Bitmap& logo = Form3->Image1->Picture();
        EXPECT_EQ(logo.Width(), 158);
        EXPECT_EQ(logo.Height(), 44);
        for (POINT p : {POINT{5, 5}, POINT{79, 22}, POINT{150, 40}})
            EXPECT_EQ(::GetPixel(dc, 8 + p.x, 8 + p.y), logo.Pixel(p.x, p.y)) << p.x << "," << p.y;
        ::ReleaseDC(Form3->Handle(), dc);
        ClickButton(Form3->Button1->Handle());
    });
    EXPECT_FALSE(Form3->Visible());
}

struct PromptCase {
    const char* what;
    std::function<void()> user;
    bool browserStarted;
};

TEST_F(DialogsTest, CodecPromptStartsTheDownloadOnlyForTheFirstChoice) {
    const PromptCase cases[] = {
        {"Done untouched", [] { ClickButton(Form3->Button1->Handle()); }, true},
        {"Enter on Done",
         [] { ::PostMessageA(Form3->Button1->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001); }, true},
        {"already installed",
         [] {
             ClickButton(Form3->RadioButton2->Handle());
             EXPECT_FALSE(Form3->RadioButton1->Checked());
             ClickButton(Form3->Button1->Handle());
         },
         false},
        {"changed back to the first choice",
         [] {
             ClickButton(Form3->RadioButton2->Handle());
             ClickButton(Form3->RadioButton1->Handle());
             EXPECT_FALSE(Form3->RadioButton2->Checked());
             ClickButton(Form3->Button1->Handle());
         },
         true},
        {"title-bar close", [] { ::SendMessageA(Form3->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
        {"Escape does not close it", [] {
             ::PostMessageA(Form3->Button1->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
             FlushEvents(100);
             EXPECT_TRUE(Form3->Visible());
             ClickButton(Form3->RadioButton2->Handle());
             ClickButton(Form3->Button1->Handle());
         },
         false},
    };
    for (const PromptCase& c : cases) {
        SCOPED_TRACE(c.what);
        ShellRecorder shell;
        Form3->RadioButton1->SetChecked(true);
        ShowModalAndAct(Form3, c.user);
        EXPECT_FALSE(Form3->Visible());
        EXPECT_FALSE(QuitPosted()) << "the prompt never ends the application";
        if (c.browserStarted) {
            ASSERT_EQ(shell.Requests().size(), 1u);
            const tk::ShellRequest& r = shell.Requests()[0];
            EXPECT_TRUE(r.noVerb);
            EXPECT_EQ(r.file, "iexplore");
            EXPECT_EQ(r.parameters, "http://download.divx.com/divx/DivXInstaller.exe");
            EXPECT_TRUE(r.directory.empty());
            EXPECT_EQ(r.show, SW_RESTORE);
        } else {
            EXPECT_TRUE(shell.Requests().empty());
        }
    }
}

TEST_F(DialogsTest, ElevationHintEndsTheApplicationHoweverItCloses) {
    EXPECT_EQ(Form5->Caption(), "Windows User Account Control");
    EXPECT_EQ(Form5->Label1->Caption(), "Use \"Run as administrator\" context menu command:");
    const std::function<void()> ways[] = {
        [] { ClickButton(Form5->Button1->Handle()); },
        [] { ::PostMessageA(Form5->Button1->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001); },
        [] { ::SendMessageA(Form5->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& way : ways) {
        ShowModalAndAct(Form5, [&] {
            EXPECT_EQ(::GetFocus(), Form5->Button1->Handle());
            // The warning is written in red.
            HDC dc = ::GetDC(Form5->Handle());
            int red = 0;
            for (int y = 8; y < 21; ++y)
                for (int x = 8; x < 304; ++x) red += ::GetPixel(dc, x, y) == RGB(255, 0, 0);
            ::ReleaseDC(Form5->Handle(), dc);
            EXPECT_GT(red, 50);
            way();
        });
        EXPECT_FALSE(Form5->Visible());
        EXPECT_TRUE(QuitPosted());
        EXPECT_FALSE(tk::FileExists(folder_.Path() + "set.txt"));
        tk::Application::Get().ResetForTesting();
        CreateApplicationForms();
    }
    EXPECT_TRUE(shell_.Requests().empty());
}

}  // namespace
