// The program's windows at the display scale of the Wine prefix the test runs
// in. CTest runs this program three times, at 96, 144 and 192 DPI, each in a
// prefix of its own with LogPixels set (QUENDRIX_TEST_DPI tells the prefix
// and the row of the table below that applies); every test checks its row.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ProgramWindows.h"
#include "conversion/BatchNames.h"
#include "dialogs/Unit3.h"
#include "skin/ImageButton3.h"
#include "toolkit/Controls.h"
#include "toolkit/Dpi.h"
#include "toolkit/ListView.h"
#include "toolkit/Resources.h"
#include "toolkit/SkinPictures.h"

namespace {

using namespace testing_support;

struct Scale {
    int dpi;
    SIZE main;      // client area of the main window
    SIZE progress;  // client area of the progress window
    int set;        // the skin set drawn for it
};

const Scale kScales[] = {
    {96, {577, 367}, {387, 136}, 100},
    {144, {866, 551}, {581, 204}, 150},
    {192, {1154, 734}, {774, 272}, 200},
};

const Scale& ScaleOf(int dpi) {
    for (const Scale& s : kScales)
        if (s.dpi == dpi) return s;
    throw std::runtime_error("no row for this DPI");
}

// The DPI the prefix was made with.
int PrefixDpi() {
    const char* dpi = std::getenv("QUENDRIX_TEST_DPI");
    return dpi && *dpi ? std::atoi(dpi) : 96;
}

const Scale& Here() { return ScaleOf(PrefixDpi()); }

SIZE ClientSize(const tk::Form& form) {
    RECT r;
    ::GetClientRect(form.Handle(), &r);
    return SIZE{r.right, r.bottom};
}

std::vector<TImageButton*> Buttons(const tk::Form& form) {
    std::vector<TImageButton*> buttons;
    for (tk::Control* c : form.Controls())
        if (auto* b = dynamic_cast<TImageButton*>(c)) buttons.push_back(b);
    return buttons;
}

// The picture as its set holds it, decoded without any scaling.
tk::Bitmap SetPicture(const std::string& file, int set) {
    const std::string data = tk::SkinSetFile(file, set);
    return file.size() > 4 && file.substr(file.size() - 4) == ".bmp" ? LoadButtonPicture(data)
                                                                       : tk::DecodePictureFile(data);
}

bool SamePixels(const tk::Bitmap& a, const tk::Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

// The window region against the picture the button shows: a pixel is in the
// region exactly where the picture is not the key colour. Returns the count
// of pixels that differ.
int RegionMismatches(const TImageButton& b) {
    tk::Region region(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(b.Handle(), region.Get()) == ERROR) return -1;
    const tk::Bitmap& shape = b.NoneBitmap();
    const COLORREF key = shape.Pixel(0, shape.Height() - 1);
    int wrong = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const bool inside = ::PtInRegion(region.Get(), x, y) != FALSE;
            const COLORREF pixel = shape.Pixel(x, y);
            const bool expected = pixel != CLR_INVALID && pixel != key;
            if (inside != expected) ++wrong;
        }
    return wrong;
}

// Every button of the form shows its picture at its own size at `scale`, the
// region follows that picture, and the pictures come from the set for it
// (at exactly the set's scale: pixel for pixel).
void ExpectButtonsAt(const tk::Form& form, const Scale& scale) {
    for (TImageButton* b : Buttons(form)) {
        SCOPED_TRACE(b->Name());
        // A window never shown builds its region at its first draw.
        if (!form.Visible() && b->RegionState() == kNoRegion) b->DrawButton();
        const RECT want = tk::ScaleRect(b->DesignRect(), scale.dpi);
        EXPECT_EQ(b->Left(), want.left);
        EXPECT_EQ(b->Top(), want.top);
        EXPECT_EQ(b->Width(), want.right - want.left);
        EXPECT_EQ(b->Height(), want.bottom - want.top);
        RECT window;
        ::GetWindowRect(b->Handle(), &window);
        EXPECT_EQ(window.right - window.left, b->Width());
        EXPECT_EQ(b->NoneBitmap().Width(), b->Width());
        EXPECT_EQ(b->NoneBitmap().Height(), b->Height());
        EXPECT_EQ(b->OverBitmap().Width(), b->Width());
        EXPECT_EQ(b->DownBitmap().Height(), b->Height());
        EXPECT_EQ(RegionMismatches(*b), 0);
    }
}

class DpiTest : public ProgramWindowsTest {};

// --- the rounding rule ------------------------------------------------------------

struct ScaleCase {
    int value, dpi, scaled;
};

TEST(DpiRule, EdgesRoundHalvesAwayFromZero) {
    const ScaleCase cases[] = {
        {577, 96, 577}, {577, 144, 866}, {367, 144, 551}, {387, 144, 581}, {136, 144, 204},
        {577, 192, 1154}, {17, 144, 26},  {533, 144, 800}, {550, 144, 825}, {11, 120, 14},
        {-11, 144, -17},  {-11, 192, -22}, {0, 144, 0},     {1, 144, 2},     {1, 120, 1},
        {577, 120, 721},  {367, 120, 459}, {387, 168, 677}, {136, 168, 238},
    };
    for (const ScaleCase& c : cases)
        EXPECT_EQ(tk::ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
}

TEST(DpiRule, ControlsThatTouchStillTouch) {
    // Two controls side by side and one under the other, at odd places.
    const RECT a{533, 6, 550, 17}, b{550, 6, 567, 17}, c{533, 17, 550, 40};
    for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
        const RECT sa = tk::ScaleRect(a, dpi), sb = tk::ScaleRect(b, dpi), sc = tk::ScaleRect(c, dpi);
        EXPECT_EQ(sa.right, sb.left) << dpi;
        EXPECT_EQ(sa.bottom, sc.top) << dpi;
        EXPECT_EQ(sa.right - sa.left, tk::ScaleSpan(533, 17, dpi)) << dpi;
    }
}

TEST(DpiRule, EachScaleTakesTheNearestLargerSet) {
    const ScaleCase cases[] = {
        {0, 96, 100},  {0, 120, 150}, {0, 144, 150}, {0, 168, 200},
        {0, 192, 200}, {0, 216, 200}, {0, 288, 200}, {0, 72, 100},
    };
    for (const ScaleCase& c : cases) EXPECT_EQ(tk::SkinSetFor(c.dpi), c.scaled) << c.dpi;
}

// --- resampling between the sets ---------------------------------------------------

TEST(DpiPictures, ResampledKeyColourStaysExact) {
    // A button of the 200 % set scaled down to 175 % and up to 250 %: every
    // pixel is the key colour or none of it, the key goes on round the
    // shape, and the shape keeps to the picture's own at the new size.
    const tk::Bitmap source = SetPicture("main_start_none.bmp", 200);
    const COLORREF key = source.Pixel(0, source.Height() - 1);
    for (int dpi : {168, 240}) {
        SCOPED_TRACE(dpi);
        const int width = source.Width() * dpi / 192, height = source.Height() * dpi / 192;
        const tk::Bitmap scaled = tk::ResamplePicture(source, width, height, true);
        ASSERT_EQ(scaled.Width(), width);
        EXPECT_EQ(scaled.Pixel(0, height - 1), key);
        EXPECT_EQ(scaled.Pixel(width - 1, 0), key);
        EXPECT_NE(scaled.Pixel(width / 2, height / 2), key);
        int keyed = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF p = scaled.Pixel(x, y);
                // Never a blend of the key and the face: magenta-ish
                // pixels other than the key itself would show as fringes.
                if (p == key) ++keyed;
                else EXPECT_FALSE(GetRValue(p) > 240 && GetGValue(p) < 16 && GetBValue(p) > 240) << x << "," << y;
            }
        EXPECT_GT(keyed, 0);
        EXPECT_LT(keyed, width * height / 4);
    }
}

TEST(DpiPictures, InBetweenScalesTakeTheControlsSize) {
    // 120 DPI (125 %) from the 150 % set, at the button's own place.
    const RECT start{16, 32, 81, 89}, close{552, 6, 569, 17};
    const tk::Bitmap b = LoadButtonPicture("main_close_none.bmp", 120, close);
    EXPECT_EQ(b.Width(), tk::ScaleSpan(552, 17, 120));
    EXPECT_EQ(b.Height(), tk::ScaleSpan(6, 11, 120));
    const tk::Bitmap big = LoadButtonPicture("main_start_none.bmp", 240, start);
    EXPECT_EQ(big.Width(), tk::ScaleSpan(16, 65, 240));
    EXPECT_EQ(big.Height(), tk::ScaleSpan(32, 57, 240));
}

// --- the windows at the prefix's scale ---------------------------------------------

TEST_F(DpiTest, ThePrefixTellsTheProgramItsScale) {
    tk::WindowDc screen(nullptr);
    EXPECT_EQ(::GetDeviceCaps(screen.Get(), LOGPIXELSX), Here().dpi) << "LogPixels of the prefix";
    EXPECT_EQ(Form1->Dpi(), Here().dpi);
    EXPECT_EQ(Form2->Dpi(), Here().dpi);
}

TEST_F(DpiTest, WindowsHaveTheirSizesAtThisScale) {
    const SIZE main = ClientSize(*Form1), progress = ClientSize(*Form2);
    EXPECT_EQ(main.cx, Here().main.cx);
    EXPECT_EQ(main.cy, Here().main.cy);
    EXPECT_EQ(progress.cx, Here().progress.cx);
    EXPECT_EQ(progress.cy, Here().progress.cy);
    // The background covers the whole client area, drawn for it.
    EXPECT_EQ(Form1->Image2->Picture().Width(), main.cx);
    EXPECT_EQ(Form1->Image2->Picture().Height(), main.cy);
    EXPECT_EQ(Form2->Image1->Picture().Width(), progress.cx);
    EXPECT_EQ(Form2->Image1->Picture().Height(), progress.cy);
}

TEST_F(DpiTest, PicturesComeFromTheSetForThisScale) {
    EXPECT_TRUE(SamePixels(Form1->Image2->Picture(), SetPicture("main_background.jpg", Here().set)));
    EXPECT_TRUE(SamePixels(Form1->Image1->Picture(), SetPicture("main_logo.bmp", Here().set)));
    EXPECT_TRUE(SamePixels(Form2->Image1->Picture(), SetPicture("progress_background.bmp", Here().set)));
    EXPECT_TRUE(SamePixels(Form1->ImageButton1->NoneBitmap(), SetPicture("main_start_none.bmp", Here().set)));
    EXPECT_TRUE(SamePixels(Form1->ImageButton9->OverBitmap(), SetPicture("main_close_over.bmp", Here().set)));
    EXPECT_TRUE(SamePixels(Form2->ImageButton9->DownBitmap(), SetPicture("progress_close_down.bmp", Here().set)));
}

TEST_F(DpiTest, EveryButtonsRegionIsItsPictureAtThisScale) {
    ExpectButtonsAt(*Form1, Here());
    ExpectButtonsAt(*Form2, Here());
}

TEST_F(DpiTest, HoverAndClickCountOnlyInsideTheShape) {
    TImageButton* b = Form1->ImageButton1;  // Start
    int clicks = 0;
    b->OnClick = [&](tk::Component*) { ++clicks; };
    ::SetForegroundWindow(Form1->Handle());
    FlushEvents(100);
    auto onScreen = [&](POINT p) {
        ::ClientToScreen(b->Handle(), &p);
        return p;
    };
    // A key-coloured corner of the button is the form's, not the button's;
    // its middle is the button's.
    const POINT corner = onScreen(POINT{0, 0}), middle = onScreen(POINT{b->Width() / 2, b->Height() / 2});
    EXPECT_NE(::WindowFromPoint(corner), b->Handle());
    EXPECT_EQ(::WindowFromPoint(middle), b->Handle());

    auto realClick = [&](POINT at) {
        ::SetCursorPos(at.x, at.y);
        FlushEvents(50);
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, input, sizeof(INPUT));
        FlushEvents(150);
    };
    ::SetCursorPos(corner.x, corner.y);
    ::PostMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    FlushEvents(100);
    EXPECT_FALSE(b->MouseInside()) << "hover on a key-coloured corner";
    realClick(corner);
    EXPECT_EQ(clicks, 0) << "a click on a key-coloured corner";

    ::SetCursorPos(middle.x, middle.y);
    ::PostMessageA(b->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(b->Width() / 2, b->Height() / 2));
    FlushEvents(100);
    EXPECT_TRUE(b->MouseInside()) << "hover in the middle";
    EXPECT_EQ(b->DisplayState(), dsOver);
    realClick(middle);
    EXPECT_EQ(clicks, 1) << "a click in the middle";
    ::SetCursorPos(0, 0);
    FlushEvents(50);
}

// The text of a label with the label's own font fits in its bounds.
void ExpectUnclipped(tk::Form& form, tk::Label& label, const std::wstring& text) {
    tk::WindowDc screen(form.Handle());
    tk::ScopedSelect font(screen.Get(), form.FontFor(label.Font()));
    SIZE extent{};
    ::GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    EXPECT_LE(extent.cx, label.Width()) << label.Name();
    EXPECT_LE(extent.cy, label.Height()) << label.Name();
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.Get(), &metrics);
    // The font is made for this scale: 11 pixels at 96 DPI.
    EXPECT_GE(metrics.tmHeight, tk::ScaleToDpi(11, form.Dpi())) << label.Name();
}

TEST_F(DpiTest, TextFitsAtThisScale) {
    for (tk::Label* label : {Form1->Label1, Form1->Label2, Form1->Label3}) ExpectUnclipped(*Form1, *label, label->WideCaption());
    ExpectUnclipped(*Form2, *Form2->Label1, L"Current Operation:");
    ExpectUnclipped(*Form2, *Form2->Label1, OperationText(L"C:\\clips\\holiday in rome.mp4"));
    ExpectUnclipped(*Form2, *Form2->Label2, L"Total Progress:");
    ExpectUnclipped(*Form2, *Form2->Label3, L"100%");
    ExpectUnclipped(*Form2, *Form2->Label4, L"100%");
    // The list's columns take their widths at this scale and show their
    // captions whole.
    const HWND list = Form1->ListView1->Handle();
    const int widths[] = {350, 75};
    const char* captions[] = {"Source MP4 Files", "Size (MB)"};
    for (int i = 0; i < 2; ++i) {
        const int width = static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
        EXPECT_EQ(width, tk::ScaleToDpi(widths[i], Here().dpi));
        const int text = static_cast<int>(::SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(captions[i])));
        EXPECT_LT(text, width) << captions[i];
    }
}

// --- moving to a monitor of another scale -------------------------------------------

TEST_F(DpiTest, DpiChangedRebuildsTheWindowAtTheNewScale) {
    for (const Scale& to : kScales) {
        if (to.dpi == Here().dpi) continue;
        SCOPED_TRACE(to.dpi);
        for (tk::Form* form : {static_cast<tk::Form*>(Form1), static_cast<tk::Form*>(Form2)}) {
            const SIZE client = form == Form1 ? to.main : to.progress;
            // The system's suggestion: the window's corner kept, its size
            // the new client area (borderless windows have no frame).
            const RECT before = form->WindowRect();
            RECT suggested{before.left, before.top, before.left + client.cx, before.top + client.cy};
            ::SendMessageA(form->Handle(), tk::kDpiChangedMessage, MAKEWPARAM(to.dpi, to.dpi),
                           reinterpret_cast<LPARAM>(&suggested));
            FlushEvents(50);
            EXPECT_EQ(form->Dpi(), to.dpi);
            const RECT after = form->WindowRect();
            EXPECT_EQ(after.left, before.left);
            EXPECT_EQ(ClientSize(*form).cx, client.cx);
            EXPECT_EQ(ClientSize(*form).cy, client.cy);
            ExpectButtonsAt(*form, to);
        }
        EXPECT_TRUE(SamePixels(Form1->Image2->Picture(), SetPicture("main_background.jpg", to.set)));
        EXPECT_TRUE(SamePixels(Form1->ImageButton8->NoneBitmap(), SetPicture("main_minimize_none.bmp", to.set)));
        ExpectUnclipped(*Form1, *Form1->Label2, Form1->Label2->WideCaption());
        EXPECT_EQ(::SendMessageA(Form1->ListView1->Handle(), LVM_GETCOLUMNWIDTH, 0, 0), tk::ScaleToDpi(350, to.dpi));
    }
    // And back to where it started: as it was made.
    ::SendMessageA(Form1->Handle(), tk::kDpiChangedMessage, MAKEWPARAM(Here().dpi, Here().dpi), 0);
    EXPECT_EQ(ClientSize(*Form1).cx, Here().main.cx);
    ExpectButtonsAt(*Form1, Here());
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(DpiTest, TheBorderlessWindowStillDragsAfterADpiChange) {
    const int other = Here().dpi == 144 ? 192 : 144;
    ::SendMessageA(Form1->Handle(), tk::kDpiChangedMessage, MAKEWPARAM(other, other), 0);
    FlushEvents(50);
    const RECT before = Form1->WindowRect();
    // A press on the background, a move with the button held, a release.
    const int x = tk::ScaleToDpi(300, other), y = tk::ScaleToDpi(10, other);
    ::SendMessageA(Form1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::SendMessageA(Form1->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 30, y + 20));
    ::SendMessageA(Form1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x + 30, y + 20));
    FlushEvents(50);
    const RECT after = Form1->WindowRect();
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
}

// --- a real move: the size asked for first, then the move ----------------------------

// What the system proposes in WM_GETDPISCALEDSIZE, and suggests in
// WM_DPICHANGED where nobody answered (or where it never asks): the window's
// present size scaled in proportion to the two DPIs.
SIZE InProportion(const RECT& window, int from, int to) {
    return SIZE{::MulDiv(window.right - window.left, to, from), ::MulDiv(window.bottom - window.top, to, from)};
}

SIZE SizeOf(const RECT& r) { return SIZE{r.right - r.left, r.bottom - r.top}; }

// WM_DPICHANGED as the system sends it: both DPIs the same, a rectangle on
// the new monitor.
void SendDpiChanged(tk::Form& form, int dpi, const RECT& suggested) {
    ::SendMessageA(form.Handle(), tk::kDpiChangedMessage, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

struct Move {
    const char* what;
    tk::Form* (*form)();
    int from, to;       // to 0: the prefix's own DPI
    SIZE client;        // the layout's client area at `to` ({0, 0}: the one the window was made with here)
    SIZE proportional;  // the window at `from` scaled in proportion to `to` ({0, 0}: not looked at)
};

// Pairs where the layout's rounding and the proportional size part by a
// pixel: 577 x 367 is 721 x 459 at 120 DPI, which scales to 865 x 551 and
// not the layout's 866; 387 is 581 at 144 DPI, which scales to 678 and not
// 677. The dialog has a frame, which the answer counts at the new DPI; it
// goes back to the prefix's own, the one DPI Wine draws frames for.
const Move kMoves[] = {
    {"main window", [] { return static_cast<tk::Form*>(Form1); }, 120, 144, {866, 551}, {865, 551}},
    {"progress window", [] { return static_cast<tk::Form*>(Form2); }, 144, 168, {677, 238}, {678, 238}},
    {"installation dialog", [] { return static_cast<tk::Form*>(Form3); }, 120, 0, {0, 0}, {0, 0}},
};

TEST_F(DpiTest, AMovedWindowTakesTheLayoutsSizeAtTheNewScale) {
    // Where the system asks first, it suggests the size it was answered;
    // where it never asks, the proportional one.
    const struct {
        const char* what;
        bool answered;
    } suggestions[] = {{"suggesting the answered size", true}, {"suggesting the size in proportion", false}};
    for (const Move& move : kMoves) {
        tk::Form& form = *move.form();
        const SIZE made = ClientSize(form);
        const int to = move.to ? move.to : Here().dpi;
        const SIZE client = move.client.cx ? move.client : made;
        for (const auto& suggestion : suggestions) {
            SCOPED_TRACE(std::string(move.what) + " from " + std::to_string(move.from) + " to " + std::to_string(to) +
                         ", " + suggestion.what);
            // First to `from`, from wherever the window is.
            const RECT start = form.WindowRect();
            const SIZE there = InProportion(start, form.Dpi(), move.from);
            SendDpiChanged(form, move.from, RECT{start.left, start.top, start.left + there.cx, start.top + there.cy});
            ASSERT_EQ(form.Dpi(), move.from);
            const RECT before = form.WindowRect();
            const SIZE proportional = InProportion(before, move.from, to);
            if (move.proportional.cx) {
                EXPECT_EQ(proportional.cx, move.proportional.cx);
                EXPECT_EQ(proportional.cy, move.proportional.cy);
            }

            SIZE asked = proportional;
            const LRESULT answered =
                ::SendMessageA(form.Handle(), tk::kGetDpiScaledSizeMessage, to, reinterpret_cast<LPARAM>(&asked));
            EXPECT_TRUE(answered);
            const SIZE taken = suggestion.answered ? asked : proportional;
            const RECT suggested{before.left + 17, before.top + 11, before.left + 17 + taken.cx,
                                 before.top + 11 + taken.cy};
            SendDpiChanged(form, to, suggested);
            FlushEvents(20);

            EXPECT_EQ(form.Dpi(), to);
            const RECT after = form.WindowRect();
            EXPECT_EQ(after.left, suggested.left);
            EXPECT_EQ(after.top, suggested.top);
            // The answer was the size the window takes, and that size holds
            // the layout's client area.
            EXPECT_EQ(SizeOf(after).cx, asked.cx);
            EXPECT_EQ(SizeOf(after).cy, asked.cy);
            EXPECT_EQ(ClientSize(form).cx, client.cx);
            EXPECT_EQ(ClientSize(form).cy, client.cy);
        }
    }
    EXPECT_TRUE(errors_.Errors().empty());
}

// --- a form that is not centred ------------------------------------------------------

// The test layout's small dialog (tplacedform.json), at the case's place.
class PlacedForm : public tk::Form {
public:
    explicit PlacedForm(POINT design) : Form("tplacedform.json"), design_(design) {}
    void Load(const tk::LayoutNode& node) override {
        tk::LayoutNode placed = node;
        placed["left"] = design_.x;
        placed["top"] = design_.y;
        Form::Load(placed);
    }

private:
    POINT design_;
};

TEST_F(DpiTest, AFormThatIsNotCentredOpensInsideItsMonitorsWorkArea) {
    enum Where { kAtItsPlace, kAgainstTheFarEdges, kAgainstTheNearEdges };
    const struct {
        const char* what;
        POINT design;
        Where where;
    } cases[] = {
        {"a place inside the work area", {40, 30}, kAtItsPlace},
        {"a place past its right and bottom edges", {5000, 4000}, kAgainstTheFarEdges},
        {"a place before its left and top edges", {-300, -200}, kAgainstTheNearEdges},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlacedForm form(c.design);
        form.Create();
        form.Show();
        FlushEvents(20);
        EXPECT_EQ(form.Dpi(), Here().dpi);
        EXPECT_EQ(ClientSize(form).cx, tk::ScaleToDpi(240, Here().dpi));
        EXPECT_EQ(ClientSize(form).cy, tk::ScaleToDpi(120, Here().dpi));

        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(form.Handle(), MONITOR_DEFAULTTONULL), &monitor));
        const RECT& work = monitor.rcWork;
        const RECT r = form.WindowRect();
        EXPECT_GE(r.left, work.left);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.right, work.right);
        EXPECT_LE(r.bottom, work.bottom);
        switch (c.where) {
        case kAtItsPlace:
            EXPECT_EQ(r.left, work.left + tk::ScaleToDpi(c.design.x, Here().dpi));
            EXPECT_EQ(r.top, work.top + tk::ScaleToDpi(c.design.y, Here().dpi));
            break;
        case kAgainstTheFarEdges:
            EXPECT_EQ(r.right, work.right);
            EXPECT_EQ(r.bottom, work.bottom);
            break;
        case kAgainstTheNearEdges:
            EXPECT_EQ(r.left, work.left);
            EXPECT_EQ(r.top, work.top);
            break;
        }
    }
    EXPECT_TRUE(errors_.Errors().empty());
}

}  // namespace
