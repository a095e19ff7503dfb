// The codec prompt, the elevation hint and the About box, shown modally as
// the program shows them, operated through real messages.
#include <gtest/gtest.h>

#include <functional>

#include "app/Startup.h"
#include "app/Unit1.h"
#include "dialogs/AboutUnit.h"
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

// A dialog that the user's act did not close is closed after a while, so
// that the test fails instead of waiting forever.
tk::Form* g_modal = nullptr;
constexpr int kGaveUp = -1;
void CALLBACK GiveUp(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (g_modal && g_modal->Modal()) {
        ADD_FAILURE() << "the dialog is still open";
        g_modal->SetModalResult(kGaveUp);
    }
}

int ShowModalAndAct(tk::Form* form, std::function<void()> user) {
    g_user = std::move(user);
    g_modal = form;
    ::SetTimer(nullptr, 0, 150, &ActAsUser);
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 5000, &GiveUp);
    const int result = form->ShowModal();
    ::KillTimer(nullptr, watchdog);
    g_modal = nullptr;
    return result;
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

// --- the About box -------------------------------------------------------------

// A key as the keyboard sends it; with Alt held it is a system key whose
// context bit says so.
void PostKey(HWND target, WPARAM key, bool alt = false) {
    const LPARAM context = alt ? 0x20000000 : 0;
    ::PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | context);
    ::PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, key, 0xC0000001 | context);
}

// A left click on a spot of the form's client area, pointer there first.
void ClickAt(tk::Form* form, POINT p) {
    POINT screen = p;
    ::ClientToScreen(form->Handle(), &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageA(form->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    ::PostMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ::PostMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    FlushEvents(100);
}

POINT CentreOf(const tk::Control& c) { return POINT{c.Left() + c.Width() / 2, c.Top() + c.Height() / 2}; }

LOGFONTA FontOf(HWND window) {
    LOGFONTA font{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST_F(DialogsTest, AboutBoxShowsTheProductAndTheMakersAddresses) {
    TAboutForm* about = AboutForm;
    EXPECT_EQ(about->Caption(), "About");
    EXPECT_FALSE(about->Visible());

    // A dialog frame with only the close button, sized to its panel, drawn at alpha 240.
    const LONG style = ::GetWindowLongA(about->Handle(), GWL_STYLE);
    const LONG exStyle = ::GetWindowLongA(about->Handle(), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    ASSERT_TRUE(exStyle & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(about->Handle(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 240);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    EXPECT_EQ(about->AlphaBlendValue(), 240);
    RECT client;
    ::GetClientRect(about->Handle(), &client);
    EXPECT_EQ(client.right, 393);
    EXPECT_EQ(client.bottom, 289);
    const RECT panel = about->Panel1->BoundsRect();
    EXPECT_EQ(panel.left, 0);
    EXPECT_EQ(panel.top, 0);
    EXPECT_EQ(panel.right, 393);
    EXPECT_EQ(panel.bottom, 289);
    const RECT window = about->WindowRect();
    EXPECT_NEAR((window.left + window.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    const struct {
        const tk::Label* label;
        const char* caption;
        POINT place;
    } labels[] = {
        {about->Label1, "Quendrix Ombrelo", {8, 8}},
        {about->Label2, "Version: 1.0", {8, 32}},
        {about->Label5, "Copyright (C) 2026 Quendrix Software", {8, 56}},
        {about->Label3, "http://www.quendrix.example/ombrelo/", {8, 80}},
        {about->Label4, "support@quendrix.example", {8, 104}},
    };
    for (const auto& l : labels) {
        SCOPED_TRACE(l.caption);
        EXPECT_EQ(l.label->Caption(), l.caption);
        EXPECT_EQ(l.label->Left(), l.place.x);
        EXPECT_EQ(l.label->Top(), l.place.y);
        EXPECT_GT(l.label->Width(), 0);
    }
    EXPECT_EQ(std::string(kWebSite), about->Label3->Caption());
    EXPECT_EQ(std::string(kSupportMail), about->Label4->Caption());
    EXPECT_TRUE(about->Label1->Font().bold);
    EXPECT_EQ(about->Label1->Font().height, -16);
    EXPECT_FALSE(about->Label2->Font().bold);
    EXPECT_EQ(about->Label2->Font().height, -11);
    const HCURSOR hand = ::LoadCursor(nullptr, IDC_HAND);
    for (const tk::Label* link : {about->Label3, about->Label4}) {
        EXPECT_EQ(link->Font().colour, RGB(0, 0, 255));
        EXPECT_TRUE(link->Font().underline);
        EXPECT_EQ(link->Cursor(), hand);
    }
    EXPECT_EQ(about->Label1->Cursor(), nullptr);
    const RECT rule = about->Bevel1->BoundsRect();
    EXPECT_EQ(rule.left, 8);
    EXPECT_EQ(rule.top, 48);
    EXPECT_EQ(rule.right - rule.left, 377);
    EXPECT_EQ(rule.bottom - rule.top, 2);

    const HWND ok = about->Button3->Handle();
    char caption[16] = "";
    ::GetWindowTextA(ok, caption, sizeof caption);
    EXPECT_STREQ(caption, "OK");
    EXPECT_EQ(::GetWindowLongA(ok, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_EQ(FontOf(ok).lfWeight, FW_BOLD);
    const RECT okBounds = about->Button3->BoundsRect();
    EXPECT_EQ(okBounds.left, 264);
    EXPECT_EQ(okBounds.top, 256);
    EXPECT_EQ(okBounds.right - okBounds.left, 121);
    EXPECT_EQ(okBounds.bottom - okBounds.top, 25);

    // Shown, the links are written in blue and the pointer over them is a hand.
    ShowModalAndAct(about, [about, hand] {
        HDC dc = ::GetDC(about->Handle());
        for (const tk::Label* link : {about->Label3, about->Label4}) {
            int blue = 0;
            const RECT r = link->BoundsRect();
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) blue += ::GetPixel(dc, x, y) == RGB(0, 0, 255);
            EXPECT_GT(blue, 40) << link->Caption();
        }
        ::ReleaseDC(about->Handle(), dc);
        POINT over = CentreOf(*about->Label3);
        ::ClientToScreen(about->Handle(), &over);
        ::SetCursorPos(over.x, over.y);
        ::SendMessageA(about->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about->Handle()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(::GetCursor(), hand);
        ClickButton(about->Button3->Handle());
    });
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(DialogsTest, AboutBoxHasOkFocusedAtEveryShowing) {
    // As from the main window's Help menu: the main window is up and holds the focus.
    Form1->Show();
    ::SetForegroundWindow(Form1->Handle());
    for (int showing = 1; showing <= 3; ++showing) {
        SCOPED_TRACE(showing);
        Form1->Edit1->SetFocus();
        FlushEvents();
        ASSERT_EQ(::GetFocus(), Form1->Edit1->Handle());
        ShowModalAndAct(AboutForm, [] {
            EXPECT_EQ(::GetFocus(), AboutForm->Button3->Handle());
            EXPECT_FALSE(::IsWindowEnabled(Form1->Handle())) << "the main window waits";
            // Moved away within the box before it closes: the next showing starts on OK again.
            ::SetFocus(AboutForm->Handle());
            FlushEvents();
            ::PostMessageA(AboutForm->Handle(), WM_CLOSE, 0, 0);
        });
        EXPECT_FALSE(AboutForm->Visible());
        EXPECT_TRUE(::IsWindowEnabled(Form1->Handle()));
    }
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(errors_.Errors().empty());
}

struct AboutCloseCase {
    const char* what;
    std::function<void()> user;
};

TEST_F(DialogsTest, AboutBoxEndsLikeOkHoweverItCloses) {
    const AboutCloseCase cases[] = {
        {"OK clicked", [] { ClickButton(AboutForm->Button3->Handle()); }},
        {"Enter on OK", [] { PostKey(AboutForm->Button3->Handle(), VK_RETURN); }},
        {"Space on OK", [] { PostKey(AboutForm->Button3->Handle(), VK_SPACE); }},
        {"Alt+Enter on OK", [] { PostKey(AboutForm->Button3->Handle(), VK_RETURN, true); }},
        {"Enter with the focus off OK", [] {
             ::SetFocus(AboutForm->Handle());
             FlushEvents();
             PostKey(AboutForm->Handle(), VK_RETURN);
         }},
        {"title-bar close", [] { ::SendMessageA(AboutForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"close message", [] { ::PostMessageA(AboutForm->Handle(), WM_CLOSE, 0, 0); }},
        {"Alt+F4", [] { PostKey(AboutForm->Button3->Handle(), VK_F4, true); }},
    };
    int okResult = 0;
    for (const AboutCloseCase& c : cases) {
        SCOPED_TRACE(c.what);
        ShellRecorder shell;
        const int result = ShowModalAndAct(AboutForm, c.user);
        if (okResult == 0) okResult = result;
        EXPECT_EQ(result, okResult);
        EXPECT_FALSE(AboutForm->Visible());
        EXPECT_FALSE(QuitPosted()) << "the About box never ends the application";
        EXPECT_TRUE(shell.Requests().empty());
    }
    EXPECT_NE(okResult, tk::mrNone);
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(DialogsTest, AboutBoxLinksAskTheShellAndLeaveTheBoxOpen) {
    ShellRecorder shell;
    ShowModalAndAct(AboutForm, [&shell] {
        ClickAt(AboutForm, CentreOf(*AboutForm->Label3));
        EXPECT_TRUE(AboutForm->Visible());
        ASSERT_EQ(shell.Requests().size(), 1u);
        ClickAt(AboutForm, CentreOf(*AboutForm->Label4));
        EXPECT_TRUE(AboutForm->Visible());
        ASSERT_EQ(shell.Requests().size(), 2u);
        // Next to the links, on the panel, nothing happens.
        ClickAt(AboutForm, POINT{300, 150});
        EXPECT_EQ(shell.Requests().size(), 2u);
        EXPECT_EQ(::GetFocus(), AboutForm->Button3->Handle());
        ClickButton(AboutForm->Button3->Handle());
    });
    EXPECT_FALSE(AboutForm->Visible());
    ASSERT_EQ(shell.Requests().size(), 2u);

    const tk::ShellRequest& web = shell.Requests()[0];
    EXPECT_EQ(web.owner, AboutForm->Handle());
    EXPECT_TRUE(web.noVerb);
    EXPECT_EQ(web.file, "iexplore");
    EXPECT_FALSE(web.noParameters);
    EXPECT_EQ(web.parameters, "http://www.quendrix.example/ombrelo/");
    EXPECT_TRUE(web.directory.empty());
    EXPECT_EQ(web.show, SW_RESTORE);

    const tk::ShellRequest& mail = shell.Requests()[1];
    EXPECT_EQ(mail.owner, AboutForm->Handle());
    EXPECT_TRUE(mail.noVerb);
    EXPECT_EQ(mail.file, "MailTo:support@quendrix.example");
    EXPECT_FALSE(mail.noParameters) << "an empty parameter text, not none";
    EXPECT_EQ(mail.parameters, "");
    EXPECT_TRUE(mail.directory.empty());
    EXPECT_EQ(mail.show, SW_RESTORE);
    EXPECT_TRUE(errors_.Errors().empty());
}

}  // namespace
