// The chrome of the two borderless windows: dragging by their pictures (and
// the main window's title), the title buttons, minimising the application.
#include <gtest/gtest.h>

#include "app/ProgramWindows.h"
#include "conversion/Unit2.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"

namespace {

using namespace testing_support;

void Send(HWND window, UINT message, WPARAM keys, int x, int y) {
    ::SendMessageA(window, message, keys, MAKELPARAM(static_cast<short>(x), static_cast<short>(y)));
}

POINT TopLeft(const tk::Form& form) {
    const RECT r = form.WindowRect();
    return {r.left, r.top};
}

// A left click on an image button, as its window receives it.
void ClickImageButton(HWND button) {
    Send(button, WM_LBUTTONDOWN, MK_LBUTTON, 8, 5);
    Send(button, WM_LBUTTONUP, 0, 8, 5);
}

using ChromeTest = ProgramWindowsTest;

struct DragCase {
    const char* what;
    bool progress;  // on the progress window, else the main window
    int x, y;       // the press, in the window's client area
    bool drags;
};

const DragCase kDragCases[] = {
    {"main window's picture", false, 300, 60, true},
    {"main window's title", false, 30, 8, true},
    {"logo", false, 480, 50, false},
    {"count label", false, 20, 348, false},
    {"folder caption", false, 20, 296, false},
    {"bevel line", false, 100, 96, false},
    {"progress window's picture", true, 60, 20, true},
    {"operation label", true, 20, 40, false},
    {"current-file bar's trough", true, 13, 60, false},
    {"total bar", true, 100, 110, false},
};

TEST_F(ChromeTest, OnlyTheBackgroundAndTheTitleDrag) {
    Form2->Show();
    for (const DragCase& c : kDragCases) {
        SCOPED_TRACE(c.what);
        tk::Form& form = c.progress ? static_cast<tk::Form&>(*Form2) : *Form1;
        form.MoveTo(100, 100);
        Send(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, c.x, c.y);
        EXPECT_EQ(::GetCapture(), form.Handle()) << "a left press captures the mouse";
        Send(form.Handle(), WM_MOUSEMOVE, MK_LBUTTON, c.x + 30, c.y - 10);
        const POINT moved = TopLeft(form);
        EXPECT_EQ(moved.x, c.drags ? 130 : 100);
        EXPECT_EQ(moved.y, c.drags ? 90 : 100);
        Send(form.Handle(), WM_LBUTTONUP, 0, c.x, c.y);
        EXPECT_EQ(::GetCapture(), nullptr);
    }
}

TEST_F(ChromeTest, DragFollowsThePointerOutsideTheWindowAndEndsWithTheRelease) {
    const HWND main = Form1->Handle();
    Form1->MoveTo(200, 150);
    Send(main, WM_LBUTTONDOWN, MK_LBUTTON, 300, 60);
    Send(main, WM_MOUSEMOVE, MK_LBUTTON, 310, 65);
    EXPECT_EQ(TopLeft(*Form1).x, 210);
    EXPECT_EQ(TopLeft(*Form1).y, 155);
    // A fast pointer far outside the window, even off the desktop: the
    // captured moves still come to the picture, and nothing pulls it back.
    Send(main, WM_MOUSEMOVE, MK_LBUTTON, 300 - 900, 60 + 2000);
    EXPECT_EQ(TopLeft(*Form1).x, 210 - 900);
    EXPECT_EQ(TopLeft(*Form1).y, 155 + 2000);
    Send(main, WM_LBUTTONUP, 0, 300 - 900, 60 + 2000);
    // After the release, moves over the picture do nothing.
    Form1->MoveTo(200, 150);
    Send(main, WM_MOUSEMOVE, 0, 350, 90);
    EXPECT_EQ(TopLeft(*Form1).x, 200);
    EXPECT_EQ(TopLeft(*Form1).y, 150);
}

TEST_F(ChromeTest, OtherButtonsAndOtherControlsNeverStartADrag) {
    const HWND main = Form1->Handle();
    Form1->MoveTo(200, 150);
    // Right and middle presses on the picture.
    for (auto [down, up, held] : {std::tuple{WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
                                  std::tuple{WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON}}) {
        Send(main, down, held, 300, 60);
        Send(main, WM_MOUSEMOVE, held, 340, 90);
        Send(main, up, 0, 340, 90);
        Send(main, WM_MOUSEMOVE, 0, 360, 100);
    }
    // A left press on the folder field, or on a title button released
    // elsewhere, then moves over the picture.
    Send(Form1->Edit1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 5, 5);
    Send(main, WM_MOUSEMOVE, MK_LBUTTON, 340, 90);
    Send(Form1->Edit1->Handle(), WM_LBUTTONUP, 0, 5, 5);
    Send(Form1->ImageButton8->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 8, 5);
    Send(Form1->ImageButton8->Handle(), WM_MOUSEMOVE, MK_LBUTTON, -200, 80);
    Send(Form1->ImageButton8->Handle(), WM_LBUTTONUP, 0, -200, 80);
    Send(main, WM_MOUSEMOVE, MK_LBUTTON, 300, 60);
    EXPECT_EQ(TopLeft(*Form1).x, 200);
    EXPECT_EQ(TopLeft(*Form1).y, 150);
    EXPECT_FALSE(::IsIconic(main)) << "released outside, the title button did nothing";
}

TEST_F(ChromeTest, LostCaptureEndsTheDrag) {
    const HWND main = Form1->Handle();
    Form1->MoveTo(200, 150);
    Send(main, WM_LBUTTONDOWN, MK_LBUTTON, 300, 60);
    ::ReleaseCapture();  // as when another window takes the mouse
    Send(main, WM_MOUSEMOVE, 0, 340, 90);  // the button is no longer held
    Send(main, WM_MOUSEMOVE, MK_LBUTTON, 360, 100);
    EXPECT_EQ(TopLeft(*Form1).x, 200);
    EXPECT_EQ(TopLeft(*Form1).y, 150);
}

TEST_F(ChromeTest, WindowsAreBorderlessAndTheMainWindowTakesDroppedFiles) {
    for (tk::Form* form : {static_cast<tk::Form*>(Form1), static_cast<tk::Form*>(Form2)}) {
        SCOPED_TRACE(form->Name());
        const LONG style = ::GetWindowLongA(form->Handle(), GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
        RECT client, window;
        ::GetClientRect(form->Handle(), &client);
        window = form->WindowRect();
        EXPECT_EQ(window.right - window.left, client.right);
        EXPECT_EQ(window.bottom - window.top, client.bottom);
    }
    EXPECT_TRUE(::GetWindowLongA(Form1->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_FALSE(::GetWindowLongA(Form2->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(Form2->Caption(), "Converting...");
    RECT client;
    ::GetClientRect(Form2->Handle(), &client);
    EXPECT_EQ(client.right, 387);
    EXPECT_EQ(client.bottom, 136);
}

TEST_F(ChromeTest, MinimiseTakesEveryWindowAwayAndRestoringBringsThemBack) {
    Form2->Show();  // two windows of the application on screen
    ClickImageButton(Form1->ImageButton8->Handle());
    FlushEvents(100);
    EXPECT_TRUE(::IsIconic(Form1->Handle()));
    EXPECT_FALSE(Form2->Visible()) << "one task bar button stays";

    ::SendMessageA(Form1->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    FlushEvents(100);
    EXPECT_FALSE(::IsIconic(Form1->Handle()));
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(Form2->Visible());
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(ChromeTest, ProgressWindowMinimisesWithoutTouchingTheBatch) {
    // As during a batch: the main window hidden, the timer running.
    Form1->Hide();
    Form2->Show();
    Form2->Timer1->SetEnabled(true);
    Converting = true;
    const int index = CurrentIndex;
    ClickImageButton(Form2->ImageButton9->Handle());
    FlushEvents(100);
    EXPECT_TRUE(::IsIconic(Form2->Handle()));
    EXPECT_FALSE(Form1->Visible());
    EXPECT_TRUE(Form2->Timer1->Enabled());
    EXPECT_TRUE(Converting);
    EXPECT_EQ(CurrentIndex, index);
    Form2->Timer1->SetEnabled(false);

    // Shown again later (the next batch), it comes back at its normal size.
    Form2->Hide();
    Form2->Show();
    EXPECT_FALSE(::IsIconic(Form2->Handle()));
}

TEST_F(ChromeTest, CloseButtonPassesTheCloseQuery) {
    Form1->Edit1->SetText("D:\\kept\\");
    Converting = true;
    ClickImageButton(Form1->ImageButton9->Handle());
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "refused while converting";
    EXPECT_EQ(ReadBytes(folder_.Path() + "set.txt"), "D:\\kept\\\r\n");
    Converting = false;
    ClickImageButton(Form1->ImageButton9->Handle());
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
