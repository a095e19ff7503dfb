// The image button under Wine: real windows from test layouts, real messages
// in (pointer moves and presses posted to the button's window with the
// cursor put on the same spot, keys through the application's message loop),
// then the recorded draws and events, the states, the window region and the
// screen's pixels checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "imagebutton/ButtonRecorder.h"
#include "imagebutton/PerPixelRegion.h"
#include "skin/ImageButton3.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Resources.h"

namespace {

using namespace imagebutton_test;
using namespace testing_support;

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr POINT kParking{2, 2};  // a desktop spot no test window covers

tk::Bitmap Picture(const char* file) { return tk::Bitmap::FromFile(file, tk::DataFile(file)); }

// A picture of the key colour with a block of another colour.
tk::Bitmap Blocked(int width, int height, RECT block, COLORREF colour) {
    tk::Bitmap picture(width, height);
    picture.Fill(kMagenta);
    for (int y = block.top; y < block.bottom; ++y)
        for (int x = block.left; x < block.right; ++x) picture.SetPixel(x, y, colour);
    return picture;
}

POINT OnScreen(const tk::WinControl& control, POINT client) {
    ::ClientToScreen(control.Handle(), &client);
    return client;
}

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

// The button's window region; nothing when the window has none.
std::optional<tk::Region> WindowRegion(const tk::WinControl& control) {
    tk::Region region(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(control.Handle(), region.Get()) == ERROR) return std::nullopt;
    return region;
}

// Every pixel of the button: inside the window region exactly where the
// expected shape has a pixel of another colour than the key.
void ExpectShape(const tk::WinControl& control, const tk::Bitmap& shape, COLORREF key, const char* what) {
    SCOPED_TRACE(what);
    auto region = WindowRegion(control);
    ASSERT_TRUE(region) << "the window has no region";
    int wrong = 0;
    for (int y = 0; y < shape.Height(); ++y)
        for (int x = 0; x < shape.Width(); ++x) {
            const bool inside = ::PtInRegion(region->Get(), x, y) != FALSE;
            const bool expected = shape.Pixel(x, y) != key;
            if (inside != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << (expected ? " should" : " should not")
                              << " be in the region";
        }
    EXPECT_EQ(wrong, 0);
}

class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterRecordingButton();
        ::SetCursorPos(kParking.x, kParking.y);
    }
    void TearDown() override {
        ::SetCursorPos(kParking.x, kParking.y);
        tk::Application::Get().ResetForTesting();
        RegisterImageButton();
    }

    template <typename T>
    T* Show() {
        T* form = nullptr;
        tk::Application::Get().CreateForm(form);
        form->Show();
        ::SetForegroundWindow(form->Handle());
        FlushEvents(150);
        for (tk::Control* c : form->Controls())
            if (auto* b = dynamic_cast<RecordingButton*>(c)) b->Record().clear();
        return form;
    }

    static POINT Centre(const tk::Control& b) { return POINT{b.Width() / 2, b.Height() / 2}; }

    // The cursor onto a spot of the button and the move that reports it.
    void PointerOnto(RecordingButton& b, std::optional<POINT> spot = std::nullopt) {
        const POINT p = spot.value_or(Centre(b));
        const POINT s = OnScreen(b, p);
        ::SetCursorPos(s.x, s.y);
        ::PostMessageA(b.Handle(), WM_MOUSEMOVE, 0, At(p));
        FlushEvents();
    }
    // The cursor back to the desktop; the system reports the leave.
    void PointerAway(RecordingButton& b) {
        ::SetCursorPos(kParking.x, kParking.y);
        EXPECT_TRUE(WaitFor([&] { return !b.MouseInside(); }, 3000)) << "no leave reported";
    }
    void Post(RecordingButton& b, UINT message, WPARAM wParam, std::optional<POINT> spot = std::nullopt) {
        ::PostMessageA(b.Handle(), message, wParam, At(spot.value_or(Centre(b))));
        FlushEvents();
    }
    void Key(HWND target, UINT message, WPARAM key, bool repeat = false) {
        LPARAM data = 1;
        if (message == WM_KEYUP || message == WM_SYSKEYUP) data |= 0xC0000000;
        else if (repeat) data |= 0x40000000;
        // Keys pressed with Alt held come as system keys whose context bit says so.
        if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) data |= 0x20000000;
        ::PostMessageA(target, message, key, data);
        FlushEvents();
    }
    void LeftClick(RecordingButton& b) {
        PointerOnto(b);
        Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
        Post(b, WM_LBUTTONUP, 0);
    }

    ErrorRecorder errors_;
};

// --- construction and layouts ------------------------------------------------------

TEST_F(ImageButtonTest, NewButtonHasItsDefaults) {
    TImageButton b;
    EXPECT_EQ(b.Width(), 35);
    EXPECT_EQ(b.Height(), 35);
    EXPECT_TRUE(b.Enabled());
    EXPECT_TRUE(b.IsEnabled());
    EXPECT_TRUE(b.TabStop());
    EXPECT_EQ(b.GroupIndex(), 0);
    EXPECT_FALSE(b.Down());
    EXPECT_FALSE(b.AllowAllUp());
    EXPECT_EQ(b.TransparentMode(), tmAuto);
    EXPECT_EQ(b.DisplayState(), dsNone);
    EXPECT_EQ(b.RegionState(), kNoRegion);
    EXPECT_FALSE(b.HasFocus());
    EXPECT_FALSE(b.MouseInside());
    EXPECT_FALSE(b.Default());
    EXPECT_FALSE(b.Cancel());
    EXPECT_EQ(b.ModalResult(), 0);
    for (const tk::Bitmap* p : {&b.DownBitmap(), &b.UpBitmap(), &b.NoneBitmap(), &b.OverBitmap(),
                                &b.DisabledBitmap(), &b.FocusedBitmap()})
        EXPECT_TRUE(p->Empty());
    const std::string homepage = b.Homepage();
    EXPECT_FALSE(homepage.empty());
    b.SetHomepage("http://elsewhere.example/");
    EXPECT_EQ(b.Homepage(), homepage);
}

struct LoadCase {
    const char* json;
    int groupIndex;
    bool down;
    TTransparentMode mode;
    COLORREF colour;  // the key colour before the first draw
    bool enabled;
};

const LoadCase kLoadCases[] = {
    {R"({})", 0, false, tmAuto, 0, true},
    {R"({"groupIndex": 0, "down": true})", 0, false, tmAuto, 0, true},
    {R"({"groupIndex": 3, "down": true})", 3, true, tmAuto, 0, true},
    {R"({"transparentColor": "#010203"})", 0, false, tmFixed, RGB(1, 2, 3), true},
    {R"({"transparentMode": "tmFixed"})", 0, false, tmFixed, 0, true},
    {R"({"enabled": false, "homepage": "ignored"})", 0, false, tmAuto, 0, false},
};

TEST_F(ImageButtonTest, LayoutPropertiesAreRead) {
    for (const LoadCase& c : kLoadCases) {
        SCOPED_TRACE(c.json);
        TImageButton b;
        b.Load(tk::LayoutNode::parse(c.json));
        EXPECT_EQ(b.GroupIndex(), c.groupIndex);
        EXPECT_EQ(b.Down(), c.down);
        EXPECT_EQ(b.DisplayState(), c.down ? dsDown : dsNone);
        EXPECT_EQ(b.TransparentMode(), c.mode);
        EXPECT_EQ(b.TransparentColor(), c.colour);
        EXPECT_EQ(b.IsEnabled(), c.enabled);
        EXPECT_EQ(b.Enabled(), c.enabled);
    }
    TImageButton b;
    EXPECT_THROW(b.Load(tk::LayoutNode::parse(R"({"transparentMode": "tmSometimes"})")), tk::Error);
    EXPECT_THROW(b.Load(tk::LayoutNode::parse(R"({"noneBitmap": "no_such_picture.bmp"})")), tk::Error);
}

TEST_F(ImageButtonTest, LayoutPicturesAreLoadedWithoutDrawing) {
    auto* form = Show<DemoForm>();
    RecordingButton& start = form->Button("ImageButton1");
    const struct {
        const tk::Bitmap& loaded;
        const char* file;
    } pictures[] = {
        {start.NoneBitmap(), "main_start_none.bmp"},
        {start.OverBitmap(), "main_start_over.bmp"},
        {start.DownBitmap(), "main_start_down.bmp"},
        {start.UpBitmap(), "main_start_up.bmp"},
        // This one is stored in its stored form (byte count, then the BMP).
        {form->Button("ImageButton7").NoneBitmap(), "main_exit_none.bmp"},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.file);
        const tk::Bitmap expected = Picture(p.file);
        ASSERT_EQ(p.loaded.Width(), expected.Width());
        ASSERT_EQ(p.loaded.Height(), expected.Height());
        for (int y = 0; y < expected.Height(); ++y)
            for (int x = 0; x < expected.Width(); ++x) ASSERT_EQ(p.loaded.Pixel(x, y), expected.Pixel(x, y));
    }
    EXPECT_TRUE(start.FocusedBitmap().Empty());
    EXPECT_TRUE(start.DisabledBitmap().Empty());
    // The first paint drew (no recorded draws: loading does not draw) and
    // read the key colour from the base picture.
    EXPECT_GT(start.Repaints(), 0);
    EXPECT_EQ(start.TransparentColor(), kMagenta);
    EXPECT_EQ(start.RegionState(), dsNone);
    EXPECT_EQ(form->Button("ImageButton7").TransparentColor(), kMagenta);
    EXPECT_TRUE(errors_.Errors().empty());
}

std::string Stored(const std::string& bmp, size_t count) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    return data + bmp;
}

TEST_F(ImageButtonTest, StoredPictureIsByteCountThenBitmap) {
    const std::string bmp(tk::DataFile("main_close_none.bmp"));
    const tk::Bitmap expected = Picture("main_close_none.bmp");

    const tk::Bitmap read = ReadStoredBitmap(Stored(bmp, bmp.size()));
    ASSERT_EQ(read.Width(), 17);
    ASSERT_EQ(read.Height(), 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) EXPECT_EQ(read.Pixel(x, y), expected.Pixel(x, y));
    // What follows the counted bytes belongs to someone else.
    EXPECT_EQ(ReadStoredBitmap(Stored(bmp, bmp.size()) + "next property").Width(), 17);
    EXPECT_TRUE(ReadStoredBitmap(Stored("", 0)).Empty());

    const struct {
        const char* what;
        std::string data;
    } bad[] = {
        {"no count", std::string("\x10\x00", 2)},
        {"count beyond the data", Stored(bmp, bmp.size() + 1)},
        {"not a bitmap", Stored("GIF89a-and-more-bytes-than-a-header-needs-to-be-read", 52)},
        {"a bitmap cut short", Stored(bmp.substr(0, 30), 30)},
    };
    for (const auto& c : bad) EXPECT_THROW(ReadStoredBitmap(c.data), tk::Error) << c.what;
}

// --- Down and groups ---------------------------------------------------------------

TEST_F(ImageButtonTest, DownOutsideAGroupStaysUp) {
    auto* form = Show<GroupForm>();
    RecordingButton& plain = form->Button("ImageButton5");  // "down" in its layout, but in no group
    EXPECT_FALSE(plain.Down());
    plain.SetDown(true);
    EXPECT_FALSE(plain.Down());
    EXPECT_EQ(plain.DisplayState(), dsNone);
    EXPECT_RECORD(plain, {"draw none"});
}

TEST_F(ImageButtonTest, GroupKeepsOneButtonDown) {
    auto* form = Show<GroupForm>();
    RecordingButton& one = form->Button("ImageButton1");
    RecordingButton& two = form->Button("ImageButton2");
    RecordingButton& three = form->Button("ImageButton3");
    RecordingButton& other = form->Button("ImageButton4");  // group 2, down
    ASSERT_TRUE(one.Down());
    ASSERT_TRUE(other.Down());
    one.SetFocus();
    FlushEvents();
    one.Record().clear();

    // Clicking the down button without AllowAllUp leaves it down, drawn down again.
    LeftClick(one);
    EXPECT_TRUE(one.Down());
    EXPECT_EQ(one.DisplayState(), dsDown);
    // (Its layout attaches no enter handler.)
    EXPECT_RECORD(one, {"draw down+focus", "draw down+focus", "draw down+focus", "draw down+focus", "click",
                        "draw down+focus"});

    // Releasing it by writing Down is refused, with nothing drawn.
    one.SetDown(false);
    EXPECT_TRUE(one.Down());
    EXPECT_RECORD(one, {});

    // Clicking another member puts that one down and releases the first.
    LeftClick(two);
    EXPECT_TRUE(two.Down());
    EXPECT_EQ(two.DisplayState(), dsDown);
    EXPECT_FALSE(one.Down());
    EXPECT_EQ(one.DisplayState(), dsNone);
    EXPECT_FALSE(three.Down());
    EXPECT_TRUE(other.Down()) << "another group is left alone";
    EXPECT_EQ(std::count(two.Record().begin(), two.Record().end(), "click"), 1);

    // Moving the down button of group 2 into group 1 releases group 1's.
    other.SetGroupIndex(1);
    EXPECT_TRUE(other.Down());
    EXPECT_FALSE(two.Down());
    EXPECT_EQ(two.DisplayState(), dsNone);
}

TEST_F(ImageButtonTest, AllowAllUpSpreadsToTheGroupOfTheSameForm) {
    GroupForm* first = nullptr;
    GroupForm* second = nullptr;
    tk::Application::Get().CreateForm(first);
    tk::Application::Get().CreateForm(second);  // the same group numbers under another parent
    first->Show();
    ::SetForegroundWindow(first->Handle());
    FlushEvents(150);

    first->Button("ImageButton2").SetAllowAllUp(true);
    for (const char* name : {"ImageButton1", "ImageButton2", "ImageButton3"}) {
        EXPECT_TRUE(first->Button(name).AllowAllUp()) << name;
        EXPECT_FALSE(second->Button(name).AllowAllUp()) << "other form's " << name;
    }
    EXPECT_FALSE(first->Button("ImageButton4").AllowAllUp()) << "group 2";
    EXPECT_FALSE(first->Button("ImageButton5").AllowAllUp()) << "no group";

    // With AllowAllUp, clicking the down button releases it: none is down.
    RecordingButton& one = first->Button("ImageButton1");
    ASSERT_TRUE(one.Down());
    LeftClick(one);
    for (const char* name : {"ImageButton1", "ImageButton2", "ImageButton3"})
        EXPECT_FALSE(first->Button(name).Down()) << name;
    EXPECT_EQ(one.DisplayState(), dsOver) << "released under the pointer";
    EXPECT_TRUE(second->Button("ImageButton1").Down()) << "the other form's group is left alone";
    // And clicking it again latches it.
    LeftClick(one);
    EXPECT_TRUE(one.Down());
}

TEST_F(ImageButtonTest, GroupIndexZeroReleasesTheDownButton) {
    auto* form = Show<GroupForm>();
    RecordingButton& one = form->Button("ImageButton1");
    RecordingButton& two = form->Button("ImageButton2");
    form->Button("ImageButton5").SetFocus();
    FlushEvents();
    one.Record().clear();
    one.SetGroupIndex(0);
    EXPECT_EQ(one.GroupIndex(), 0);
    EXPECT_FALSE(one.Down());
    EXPECT_EQ(one.DisplayState(), dsNone);
    EXPECT_RECORD(one, {"draw none"});
    ExpectShape(one, Picture("main_add_none.bmp"), kMagenta, "normal look");
    // It no longer takes part: the group's next click leaves it alone.
    LeftClick(two);
    EXPECT_TRUE(two.Down());
    EXPECT_RECORD(one, {});
}

// --- pointer and mouse -----------------------------------------------------------------

TEST_F(ImageButtonTest, PointerEntersAndLeavesTheShape) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");

    // A key-coloured corner is not part of the button.
    PointerOnto(b, POINT{0, 0});
    EXPECT_FALSE(b.MouseInside());
    EXPECT_RECORD(b, {});

    PointerOnto(b);
    EXPECT_TRUE(b.MouseInside());
    EXPECT_EQ(b.DisplayState(), dsOver);
    EXPECT_RECORD(b, {"draw over", "enter"});
    PointerOnto(b, POINT{10, 10});  // moving within draws nothing
    EXPECT_RECORD(b, {});

    PointerAway(b);
    EXPECT_EQ(b.DisplayState(), dsNone);
    EXPECT_RECORD(b, {"draw none", "leave"});
}

TEST_F(ImageButtonTest, RightAndMiddlePressesShowPressedThenHover) {
    const struct {
        const char* what;
        UINT down, up;
        WPARAM held;
    } presses[] = {
        {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
        {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
    };
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton2");
    PointerOnto(b);
    b.Record().clear();
    for (const auto& p : presses) {
        SCOPED_TRACE(p.what);
        Post(b, p.down, p.held);
        EXPECT_EQ(b.DisplayState(), dsDown);
        EXPECT_NE(::GetCapture(), b.Handle()) << "only the left button captures";
        Post(b, p.up, 0);
        EXPECT_EQ(b.DisplayState(), dsOver);
        EXPECT_RECORD(b, {"draw down", "draw over"});
    }
}

TEST_F(ImageButtonTest, FullLeftClickDraws) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    PointerOnto(b);
    EXPECT_RECORD(b, {"draw over", "enter"});

    Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
    EXPECT_EQ(::GetCapture(), b.Handle());
    EXPECT_RECORD(b, {"draw down"});
    Post(b, WM_LBUTTONUP, 0);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(::GetFocus(), b.Handle());
    // The click: the focus comes (drawn), the click draws the base picture
    // with the focus, OnClick; then the release draws the hover picture.
    EXPECT_RECORD(b, {"draw none+focus", "draw none+focus", "click", "draw over+focus"});

    // A double click: the second press is a double click and a press, and
    // its release does not click again.
    Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
    Post(b, WM_LBUTTONUP, 0);
    Post(b, WM_LBUTTONDBLCLK, MK_LBUTTON);
    Post(b, WM_LBUTTONUP, 0);
    EXPECT_RECORD(b, {"draw down+focus", "draw none+focus", "click", "draw over+focus", "dblclick",
                      "draw down+focus", "draw over+focus"});
}

TEST_F(ImageButtonTest, LeftPressReleasedOutsideDoesNotClick) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    const POINT outside{b.Width() + 20, b.Height() / 2};

    // The pointer leaves while the button holds the mouse: the leave comes,
    // and the release outside neither clicks nor shows the hover picture.
    PointerOnto(b);
    Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
    ASSERT_EQ(::GetCapture(), b.Handle());
    PointerOnto(b, outside);
    EXPECT_FALSE(b.MouseInside());
    Post(b, WM_LBUTTONUP, 0, outside);
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(b.DisplayState(), dsNone);
    EXPECT_RECORD(b, {"draw over", "enter", "draw down", "draw none", "leave", "draw none"});

    // Released outside with no move reported before: the button still
    // counts the pointer inside and shows the hover picture, no click.
    PointerOnto(b);
    Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
    Post(b, WM_LBUTTONUP, 0, outside);
    EXPECT_EQ(b.DisplayState(), dsOver);
    EXPECT_RECORD(b, {"draw over", "enter", "draw down", "draw over"});

    // Released on a key-coloured corner, inside the rectangle: that is a
    // click (the release tests the rectangle), then the pointer is outside.
    Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
    PointerOnto(b, POINT{0, 0});
    Post(b, WM_LBUTTONUP, 0, POINT{0, 0});
    EXPECT_EQ(b.DisplayState(), dsNone);
    EXPECT_RECORD(b, {"draw down", "draw none", "leave", "draw none+focus", "draw none+focus", "click",
                      "draw none+focus"});
}

TEST_F(ImageButtonTest, HintShowsWhileThePointerRests) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    PointerOnto(b);
    EXPECT_TRUE(WaitFor([] { return FindOwnWindow("Start Converting.", TOOLTIPS_CLASSA) != nullptr; }, 5000));
}

// --- keyboard ------------------------------------------------------------------------

TEST_F(ImageButtonTest, SpaceClicksOnRelease) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    PointerOnto(b);
    b.SetFocus();
    FlushEvents();
    ASSERT_EQ(::GetFocus(), b.Handle());
    EXPECT_RECORD(b, {"draw over", "enter", "draw over+focus"});

    Key(b.Handle(), WM_KEYDOWN, VK_SPACE);
    EXPECT_RECORD(b, {"draw down+focus"});
    Key(b.Handle(), WM_KEYDOWN, VK_SPACE, true);  // auto-repeat only draws again
    Key(b.Handle(), WM_KEYDOWN, VK_SPACE, true);
    EXPECT_RECORD(b, {"draw down+focus", "draw down+focus"});
    Key(b.Handle(), WM_KEYUP, VK_SPACE);
    EXPECT_RECORD(b, {"draw none+focus", "click"});

    // Other keys draw and do nothing else.
    Key(b.Handle(), WM_KEYDOWN, 'A');
    Key(b.Handle(), WM_KEYUP, 'A');
    EXPECT_RECORD(b, {"draw none+focus"});

    // The base picture stays under the resting pointer until it leaves and comes back.
    PointerOnto(b, POINT{20, 20});
    EXPECT_EQ(b.DisplayState(), dsNone);
    EXPECT_RECORD(b, {});
    PointerAway(b);
    PointerOnto(b);
    EXPECT_EQ(b.DisplayState(), dsOver);
    EXPECT_RECORD(b, {"draw none+focus", "leave", "draw over+focus", "enter"});
}

enum Modifier : unsigned { kNone = 0, kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

struct DialogKeyCase {
    const char* what;
    WORD key;
    int focus;          // 1..4: that button; 0: the edit field
    int defaults[4];    // per button: 1 Default, 0 not
    int cancels[4];     // per button: 1 Cancel, 0 not
    int disabled;       // 1..4: that button is disabled; 0: none
    int hidden;         // 1..4: that button is hidden; 0: none
    unsigned modifiers;
    int clicked;        // 1..4: the button that clicks; 0: none
};

const DialogKeyCase kDialogKeyCases[] = {
    {"Enter on the focused button", VK_RETURN, 3, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, kNone, 3},
    {"a Default button before the focused one wins", VK_RETURN, 3, {0, 1, 0, 0}, {0, 0, 0, 0}, 0, 0, kNone, 2},
    {"the focused button before the Default one wins", VK_RETURN, 1, {0, 1, 0, 0}, {0, 0, 0, 0}, 0, 0, kNone, 1},
    {"Enter in the edit field goes to the Default button", VK_RETURN, 0, {0, 0, 0, 1}, {0, 0, 0, 0}, 0, 0, kNone, 4},
    {"a disabled Default button cannot take the focus", VK_RETURN, 0, {0, 1, 0, 1}, {0, 0, 0, 0}, 2, 0, kNone, 4},
    {"nor can a hidden one", VK_RETURN, 0, {1, 0, 1, 0}, {0, 0, 0, 0}, 0, 1, kNone, 3},
    {"no Default button: nobody", VK_RETURN, 0, {0, 0, 0, 0}, {1, 1, 1, 1}, 0, 0, kNone, 0},
    {"Escape goes to the first Cancel button", VK_ESCAPE, 1, {1, 1, 1, 1}, {0, 0, 1, 1}, 0, 0, kNone, 3},
    {"a disabled Cancel button is passed over", VK_ESCAPE, 0, {0, 0, 0, 0}, {0, 1, 0, 1}, 2, 0, kNone, 4},
    {"Escape ignores the focus", VK_ESCAPE, 2, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, kNone, 0},
    {"Shift does not matter", VK_RETURN, 0, {0, 1, 0, 0}, {0, 0, 0, 0}, 0, 0, kShiftKey, 2},
    {"Ctrl does not matter", VK_RETURN, 4, {0, 1, 0, 0}, {0, 0, 0, 0}, 0, 0, kCtrlKey, 2},
    {"Shift and Ctrl with Escape", VK_ESCAPE, 0, {0, 0, 0, 0}, {1, 0, 0, 0}, 0, 0, kShiftKey | kCtrlKey, 1},
    {"Alt with Enter on the focused button", VK_RETURN, 3, {0, 0, 0, 0}, {0, 0, 0, 0}, 0, 0, kAltKey, 3},
    {"Alt with Enter in the edit field", VK_RETURN, 0, {0, 0, 0, 1}, {0, 0, 0, 0}, 0, 0, kAltKey, 4},
    {"Alt with Escape", VK_ESCAPE, 1, {0, 0, 0, 0}, {0, 1, 0, 0}, 0, 0, kAltKey, 2},
    {"Alt and Shift with Escape", VK_ESCAPE, 0, {0, 0, 0, 0}, {0, 0, 1, 0}, 0, 0, kAltKey | kShiftKey, 3},
    {"Alt with Enter and no Default button: nobody", VK_RETURN, 0, {0, 0, 0, 0}, {1, 1, 1, 1}, 0, 0, kAltKey, 0},
};

TEST_F(ImageButtonTest, EnterAndEscapeGoToTheFirstButtonThatTakesThem) {
    auto* form = Show<KeysForm>();
    auto* edit = dynamic_cast<tk::Edit*>(form->FindComponent("Edit1"));
    ASSERT_NE(edit, nullptr);
    const char* names[] = {"ImageButton1", "ImageButton2", "ImageButton3", "ImageButton4"};
    for (const DialogKeyCase& c : kDialogKeyCases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < 4; ++i) {
            RecordingButton& b = form->Button(names[i]);
            b.SetDefault(c.defaults[i] != 0);
            b.SetCancel(c.cancels[i] != 0);
            b.SetEnabled(c.disabled != i + 1);
            b.SetVisible(c.hidden != i + 1);
        }
        tk::WinControl& focus = c.focus ? static_cast<tk::WinControl&>(form->Button(names[c.focus - 1])) : *edit;
        focus.SetFocus();
        FlushEvents();
        ASSERT_EQ(::GetFocus(), focus.Handle());
        for (const char* name : names) form->Button(name).Record().clear();

        BYTE keys[256];
        ::GetKeyboardState(keys);
        BYTE held[256];
        std::copy(std::begin(keys), std::end(keys), held);
        if (c.modifiers & kShiftKey) held[VK_SHIFT] = 0x80;
        if (c.modifiers & kCtrlKey) held[VK_CONTROL] = 0x80;
        const bool alt = (c.modifiers & kAltKey) != 0;
        if (alt) held[VK_MENU] = 0x80;
        ::SetKeyboardState(held);
        Key(focus.Handle(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, c.key);
        Key(focus.Handle(), alt ? WM_SYSKEYUP : WM_KEYUP, c.key);
        ::SetKeyboardState(keys);

        for (int i = 0; i < 4; ++i) {
            const auto& record = form->Button(names[i]).Record();
            const auto clicks = std::count(record.begin(), record.end(), "click");
            EXPECT_EQ(clicks, c.clicked == i + 1 ? 1 : 0) << names[i];
        }
        if (c.clicked) {
            EXPECT_EQ(::GetFocus(), form->Button(names[c.clicked - 1]).Handle());
        }
    }
    EXPECT_TRUE(errors_.Errors().empty());
}

// Records the system commands that reach the given windows while it lives,
// and keeps them from acting: no window closes, no menu opens.
class SystemCommands {
public:
    explicit SystemCommands(std::vector<HWND> windows) : windows_(std::move(windows)) {
        for (HWND w : windows_) ::SetWindowSubclass(w, &Record, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~SystemCommands() {
        for (HWND w : windows_) ::RemoveWindowSubclass(w, &Record, 1);
    }
    std::vector<WPARAM>& Commands() { return commands_; }

private:
    static LRESULT CALLBACK Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
        if (message != WM_SYSCOMMAND) return ::DefSubclassProc(hwnd, message, wParam, lParam);
        reinterpret_cast<SystemCommands*>(self)->commands_.push_back(wParam & 0xFFF0);
        return 0;
    }
    std::vector<HWND> windows_;
    std::vector<WPARAM> commands_;
};

TEST_F(ImageButtonTest, AltKeysOtherThanTheDialogKeysStillReachTheSystem) {
    auto* form = Show<KeysForm>();
    RecordingButton& b = form->Button("ImageButton1");
    b.SetFocus();
    FlushEvents();
    ASSERT_EQ(::GetFocus(), b.Handle());
    SystemCommands system({form->Handle(), b.Handle()});
    BYTE keys[256];
    ::GetKeyboardState(keys);
    BYTE held[256];
    std::copy(std::begin(keys), std::end(keys), held);
    held[VK_MENU] = 0x80;

    // Alt+F4 asks the window to close; Alt and a letter go to the menu keys.
    ::SetKeyboardState(held);
    Key(b.Handle(), WM_SYSKEYDOWN, VK_F4);
    Key(b.Handle(), WM_SYSKEYUP, VK_F4);
    Key(b.Handle(), WM_SYSKEYDOWN, 'X');
    Key(b.Handle(), WM_SYSKEYUP, 'X');
    ::SetKeyboardState(keys);
    EXPECT_EQ(system.Commands(), (std::vector<WPARAM>{SC_CLOSE, SC_KEYMENU}));
    EXPECT_RECORD(b, {});
    system.Commands().clear();

    // Alt pressed, Enter with it, Alt released (a plain key release, as
    // another key came between): a click, and no window menu.
    ::SetKeyboardState(held);
    Key(b.Handle(), WM_SYSKEYDOWN, VK_MENU);
    Key(b.Handle(), WM_SYSKEYDOWN, VK_RETURN);
    Key(b.Handle(), WM_SYSKEYUP, VK_RETURN);
    ::SetKeyboardState(keys);
    Key(b.Handle(), WM_KEYUP, VK_MENU);
    EXPECT_EQ(std::count(b.Record().begin(), b.Record().end(), "click"), 1);
    EXPECT_TRUE(system.Commands().empty());
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(ImageButtonTest, ModalResultEndsTheModalRun) {
    KeysForm* form = nullptr;
    tk::Application::Get().CreateForm(form);
    RecordingButton& b = form->Button("ImageButton2");
    b.SetModalResult(tk::mrOk);
    // The click waits in the queue for the modal loop.
    ::PostMessageA(b.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(Centre(b)));
    ::PostMessageA(b.Handle(), WM_LBUTTONUP, 0, At(Centre(b)));
    EXPECT_EQ(form->ShowModal(), tk::mrOk);
    EXPECT_EQ(std::count(b.Record().begin(), b.Record().end(), "click"), 1);
}

// --- the region ------------------------------------------------------------------------

TEST_F(ImageButtonTest, RegionCoversExactlyThePicturePixels) {
    auto* form = Show<DemoForm>();
    const struct {
        const char* button;
        TDisplayState state;
        const char* picture;
    } cases[] = {
        {"ImageButton1", dsNone, "main_start_none.bmp"}, {"ImageButton1", dsOver, "main_start_over.bmp"},
        {"ImageButton1", dsDown, "main_start_down.bmp"}, {"ImageButton2", dsNone, "main_add_none.bmp"},
        {"ImageButton2", dsOver, "main_add_over.bmp"},   {"ImageButton9", dsNone, "main_close_none.bmp"},
        {"ImageButton9", dsDown, "main_close_down.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        RecordingButton& b = form->Button(c.button);
        if (c.state != dsNone) PointerOnto(b);
        if (c.state == dsDown) Post(b, WM_LBUTTONDOWN, MK_LBUTTON);
        ASSERT_EQ(b.DisplayState(), c.state);
        ExpectShape(b, Picture(c.picture), kMagenta, c.picture);
        if (c.state == dsDown) Post(b, WM_LBUTTONUP, 0, POINT{-5, -5});
        PointerAway(b);
    }
}

TEST_F(ImageButtonTest, ShapeRegionEqualsThePerPixelUnion) {
    std::mt19937 random(2953);
    tk::Bitmap scattered(70, 25);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 70; ++x) scattered.SetPixel(x, y, random() % 3 ? kMagenta : RGB(0, 0, random() % 256));
    tk::Bitmap checkers(17, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x) checkers.SetPixel(x, y, (x + y) % 2 ? kMagenta : RGB(1, 1, 1));
    tk::Bitmap allKey(65, 57);
    allKey.Fill(kMagenta);
    tk::Bitmap single(65, 57);
    single.Fill(kMagenta);
    single.SetPixel(64, 56, RGB(255, 0, 254));  // one step from the key is not the key

    const struct {
        const char* what;
        tk::Bitmap picture;
        COLORREF key;
    } cases[] = {
        {"start", Picture("main_start_none.bmp"), kMagenta},
        {"start at 150 %", Picture("skin150/main_start_none.bmp"), kMagenta},
        {"start at 200 %", Picture("skin200/main_start_none.bmp"), kMagenta},
        {"close at 200 %, hovered", Picture("skin200/main_close_over.bmp"), kMagenta},
        {"add, pressed", Picture("main_add_down.bmp"), kMagenta},
        {"close", Picture("main_close_over.bmp"), kMagenta},
        {"logo", Picture("main_logo.bmp"), kMagenta},
        {"scattered", std::move(scattered), kMagenta},
        {"checkers", std::move(checkers), kMagenta},
        {"one pixel in the last corner", std::move(single), kMagenta},
        {"all key colour", std::move(allKey), kMagenta},
        {"a key no pixel has", Picture("main_start_none.bmp"), RGB(1, 2, 3)},
        {"a colour value above any pixel's", Picture("main_start_none.bmp"), kMagenta | 0x02000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const tk::Region fast = ShapeRegion(c.picture, c.key);
        const tk::Region reference = PerPixelRegion(c.picture, c.key);
        ASSERT_EQ(static_cast<bool>(fast), static_cast<bool>(reference));
        if (reference) {
            EXPECT_TRUE(::EqualRgn(fast.Get(), reference.Get()));
        }
    }
}

// The region of a button is built from its rows' runs, so its cost grows
// with the rows and not with the pixels: a rounded button has one run per
// row, at 200 % as at 100 %, and the region holds at most one rectangle per row.
TEST_F(ImageButtonTest, RegionAt200PercentHoldsOneRectanglePerRow) {
    for (const char* file : {"skin200/main_start_none.bmp", "skin200/main_add_over.bmp", "skin200/main_close_down.bmp",
                             "skin200/main_logo.bmp", "main_start_none.bmp"}) {
        SCOPED_TRACE(file);
        const tk::Bitmap picture = Picture(file);
        const tk::Region region = ShapeRegion(picture, kMagenta);
        ASSERT_TRUE(region);
        const DWORD bytes = ::GetRegionData(region.Get(), 0, nullptr);
        std::vector<unsigned char> data(bytes);
        ASSERT_EQ(::GetRegionData(region.Get(), bytes, reinterpret_cast<RGNDATA*>(data.data())), bytes);
        const auto* header = reinterpret_cast<const RGNDATAHEADER*>(data.data());
        EXPECT_LE(header->nCount, static_cast<DWORD>(picture.Height()));
        EXPECT_GT(header->nCount, 0u);
    }
}

TEST_F(ImageButtonTest, AllKeyColouredButtonHasNoRegion) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    ASSERT_TRUE(WindowRegion(b));
    tk::Bitmap blank(65, 57);
    blank.Fill(kMagenta);
    b.SetNoneBitmap(blank);
    EXPECT_FALSE(WindowRegion(b)) << "the region is removed";
    // The whole rectangle responds to the pointer now, corners included.
    PointerOnto(b, POINT{0, 0});
    EXPECT_TRUE(b.MouseInside());
}

TEST_F(ImageButtonTest, RegionIsRebuiltOnlyWhenTheLookChanges) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    // A region of our own: as long as it stays, the button built none.
    // It covers the centre, where the pointer comes, and not the corner.
    auto markRegion = [&] { ::SetWindowRgn(b.Handle(), ::CreateRectRgn(25, 25, 40, 40), FALSE); };
    auto marked = [&] {
        auto region = WindowRegion(b);
        RECT box{};
        return region && ::GetRgnBox(region->Get(), &box) == SIMPLEREGION && box.left == 25 && box.right == 40;
    };

    markRegion();
    ::InvalidateRect(b.Handle(), nullptr, FALSE);
    FlushEvents();
    b.DrawButton();
    PointerOnto(b, POINT{0, 0});  // not on the shape: no state change
    EXPECT_TRUE(marked()) << "repeated draws in the same state rebuilt the region";

    PointerOnto(b);  // dsOver: a new look
    ExpectShape(b, Picture("main_start_over.bmp"), kMagenta, "hover");
    markRegion();
    b.SetFocus();
    FlushEvents();
    EXPECT_FALSE(marked()) << "the focus forces a new region";
    markRegion();
    Key(b.Handle(), WM_KEYDOWN, VK_SPACE);
    markRegion();
    Key(b.Handle(), WM_KEYDOWN, VK_SPACE, true);
    EXPECT_TRUE(marked()) << "auto-repeat rebuilt the region";
    Key(b.Handle(), WM_KEYUP, VK_SPACE);
    PointerAway(b);

    // A picture change: the region follows the new picture, hole and all.
    const tk::Bitmap holed = Blocked(65, 57, RECT{0, 0, 65, 57}, RGB(20, 40, 60));
    tk::Bitmap withHole = holed.Copy();
    for (int y = 20; y < 30; ++y)
        for (int x = 20; x < 30; ++x) withHole.SetPixel(x, y, kMagenta);
    withHole.SetPixel(0, 56, kMagenta);
    markRegion();
    b.SetNoneBitmap(withHole);
    ExpectShape(b, withHole, kMagenta, "new picture");

    // A transparency change too: a fixed key of the picture's main colour
    // leaves the hole and the corner as the only shape.
    markRegion();
    b.SetTransparentColor(RGB(20, 40, 60));
    ExpectShape(b, withHole, RGB(20, 40, 60), "fixed key");
    markRegion();
    b.SetTransparentMode(tmAuto);
    ExpectShape(b, withHole, kMagenta, "automatic key again");

    // The overlays change the shape: the focus overlay covers a key corner.
    markRegion();
    b.SetFocusedBitmap(Blocked(65, 57, RECT{0, 56, 1, 57}, RGB(255, 255, 255)));
    auto region = WindowRegion(b);
    ASSERT_TRUE(region);
    EXPECT_TRUE(::PtInRegion(region->Get(), 0, 56));
    EXPECT_FALSE(::PtInRegion(region->Get(), 25, 25));
}

TEST_F(ImageButtonTest, FailedRegionBuildIsTriedAgainAtTheNextDraw) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    ASSERT_EQ(b.RegionState(), dsNone);

    // The hover look cannot get its region: the failure reaches the error
    // box, the window keeps the shape it had, and no region is claimed.
    b.FailRegionBuilds(1);
    PointerOnto(b);
    EXPECT_EQ(b.DisplayState(), dsOver);
    EXPECT_NE(b.RegionState(), dsOver);
    EXPECT_EQ(errors_.Errors(), std::vector<std::string>{"Cannot create the region of an image button."});
    ExpectShape(b, Picture("main_start_none.bmp"), kMagenta, "the old shape stays");

    // The next draw of the same look builds it.
    ::InvalidateRect(b.Handle(), nullptr, FALSE);
    FlushEvents();
    EXPECT_EQ(b.RegionState(), dsOver);
    ExpectShape(b, Picture("main_start_over.bmp"), kMagenta, "built at the next draw");

    // A forced rebuild (the focus) that fails is tried again as well.
    b.FailRegionBuilds(1);
    b.SetFocus();
    FlushEvents();
    EXPECT_EQ(b.RegionState(), kNoRegion);
    b.DrawButton();
    EXPECT_EQ(b.RegionState(), dsOver);
    ExpectShape(b, Picture("main_start_over.bmp"), kMagenta, "after the focus");
    EXPECT_EQ(errors_.Errors().size(), 2u);
}

// --- the key colour ----------------------------------------------------------------------

TEST_F(ImageButtonTest, TransparentColorWrittenSwitchesToFixed) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton2");
    ASSERT_EQ(b.TransparentMode(), tmAuto);
    ASSERT_EQ(b.TransparentColor(), kMagenta);

    // In tmAuto the key follows the base picture's bottom-left pixel.
    tk::Bitmap green = Picture("main_add_none.bmp");
    green.SetPixel(0, 24, RGB(0, 255, 0));
    b.SetNoneBitmap(green);
    EXPECT_EQ(b.TransparentColor(), RGB(0, 255, 0));
    auto region = WindowRegion(b);
    ASSERT_TRUE(region);
    EXPECT_FALSE(::PtInRegion(region->Get(), 0, 24));
    EXPECT_TRUE(::PtInRegion(region->Get(), 0, 0)) << "magenta is a colour like any other now";

    b.SetTransparentColor(kMagenta);
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    b.SetNoneBitmap(green);  // the fixed key stays whatever the picture
    b.DrawButton();
    EXPECT_EQ(b.TransparentColor(), kMagenta);
    region = WindowRegion(b);
    ASSERT_TRUE(region);
    EXPECT_TRUE(::PtInRegion(region->Get(), 0, 24));
    EXPECT_FALSE(::PtInRegion(region->Get(), 0, 0));

    b.SetTransparentMode(tmAuto);
    EXPECT_EQ(b.TransparentColor(), RGB(0, 255, 0));
}

// --- the look on the screen ----------------------------------------------------------------

// The screen's pixels of a control's rectangle.
tk::Bitmap Screenshot(const tk::WinControl& control) {
    tk::Bitmap shot(control.Width(), control.Height());
    const POINT origin = OnScreen(control, POINT{0, 0});
    tk::WindowDc screen(nullptr);
    ::BitBlt(shot.Dc(), 0, 0, control.Width(), control.Height(), screen.Get(), origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    return shot;
}

TEST_F(ImageButtonTest, FormBackgroundShowsAroundTheButtons) {
    auto* form = Show<DemoForm>();
    FlushEvents(300);
    const tk::Bitmap background = Picture("main_background.jpg");
    for (const char* name : {"ImageButton8", "ImageButton9", "ImageButton1", "ImageButton6", "ImageButton7",
                             "ImageButton2", "ImageButton3", "ImageButton4", "ImageButton5", "ImageButton10"}) {
        SCOPED_TRACE(name);
        RecordingButton& b = form->Button(name);
        const tk::Bitmap& picture = b.NoneBitmap();
        int wrong = 0;
        WaitFor(
            [&] {
                const tk::Bitmap shot = Screenshot(b);
                wrong = 0;
                for (int y = 0; y < b.Height(); ++y)
                    for (int x = 0; x < b.Width(); ++x) {
                        const COLORREF own = picture.Pixel(x, y);
                        const COLORREF expected =
                            own == kMagenta ? background.Pixel(b.Left() + x, b.Top() + y) : own;
                        if (shot.Pixel(x, y) != expected) ++wrong;
                    }
                return wrong == 0;
            },
            2000);
        EXPECT_EQ(wrong, 0) << "pixels that are neither the picture nor the background";
        // The rounded corners: the background, not the key colour.
        const tk::Bitmap shot = Screenshot(b);
        EXPECT_NE(shot.Pixel(0, 0), kMagenta);
        EXPECT_EQ(shot.Pixel(0, 0), background.Pixel(b.Left(), b.Top()));
    }
}

TEST_F(ImageButtonTest, OverlaysAreDrawnOverThePicture) {
    auto* form = Show<DemoForm>();
    RecordingButton& b = form->Button("ImageButton1");
    const tk::Bitmap none = Picture("main_start_none.bmp");
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    b.SetDisabledBitmap(Blocked(65, 57, RECT{10, 10, 30, 30}, black));
    b.SetFocusedBitmap(Blocked(65, 57, RECT{20, 20, 40, 40}, white));
    auto screenAt = [&](int x, int y) { return Screenshot(b).Pixel(x, y); };

    // UpBitmap is held, never drawn: a wholly black one changes nothing.
    b.SetUpBitmap(Blocked(65, 57, RECT{0, 0, 65, 57}, black));
    EXPECT_EQ(b.UpBitmap().Pixel(0, 0), black);
    FlushEvents();
    EXPECT_EQ(screenAt(35, 35), none.Pixel(35, 35));
    ExpectShape(b, none, kMagenta, "with an UpBitmap");

    b.SetFocus();
    FlushEvents();
    EXPECT_TRUE(WaitFor([&] { return screenAt(35, 35) == white; }, 2000));
    EXPECT_EQ(screenAt(15, 15), none.Pixel(15, 15)) << "no disabled overlay while enabled";

    b.SetEnabled(false);  // the focus goes with it
    FlushEvents();
    EXPECT_FALSE(b.HasFocus());
    EXPECT_FALSE(::IsWindowEnabled(b.Handle()));
    EXPECT_TRUE(WaitFor([&] { return screenAt(15, 15) == black; }, 2000));
    EXPECT_EQ(screenAt(35, 35), none.Pixel(35, 35));
    EXPECT_EQ(screenAt(25, 25), black);

    // Told it has the focus while disabled, it draws the focus over the disabled overlay.
    ::SendMessageA(b.Handle(), WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return screenAt(25, 25) == white; }, 2000));
    EXPECT_EQ(screenAt(15, 15), black);
    EXPECT_EQ(b.Record().back(), "draw none+disabled+focus");

    b.SetEnabled(true);
    ::SendMessageA(b.Handle(), WM_KILLFOCUS, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return screenAt(25, 25) == none.Pixel(25, 25); }, 2000));
    EXPECT_TRUE(errors_.Errors().empty());
}

int DifferingPixels(const tk::Bitmap& a, const tk::Bitmap& b) {
    int differ = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) differ += a.Pixel(x, y) != b.Pixel(x, y);
    return differ;
}

TEST_F(ImageButtonTest, FocusCueShowsOnlyOnceKeysMoveTheFocus) {
    auto* form = Show<KeysForm>();
    RecordingButton& first = form->Button("ImageButton1");
    RecordingButton& b = form->Button("ImageButton2");
    FlushEvents(200);
    ASSERT_NE(::GetFocus(), b.Handle());
    const tk::Bitmap today = Screenshot(b);  // the button as it looks without the focus
    EXPECT_FALSE(form->FocusCuesShown()) << "a form shown after the mouse starts without cues";

    // Focused by a mouse click, with the cues hidden: the look is today's.
    LeftClick(b);
    PointerAway(b);
    ASSERT_EQ(::GetFocus(), b.Handle());
    EXPECT_FALSE(b.FocusCueShown());
    int differ = -1;
    EXPECT_TRUE(WaitFor([&] { return (differ = DifferingPixels(Screenshot(b), today)) == 0; }, 2000))
        << differ << " pixels differ from the unfocused button";

    // Tab from the button before it: the cues show, and the button draws one.
    first.SetFocus();
    FlushEvents();
    Key(first.Handle(), WM_KEYDOWN, VK_TAB);
    Key(first.Handle(), WM_KEYUP, VK_TAB);
    ASSERT_EQ(::GetFocus(), b.Handle()) << "Tab moves to the next button";
    EXPECT_TRUE(form->FocusCuesShown());
    EXPECT_TRUE(b.FocusCueShown());
    EXPECT_TRUE(WaitFor([&] { return DifferingPixels(Screenshot(b), today) > 0; }, 2000)) << "no cue drawn";
    // The cue lies inside the shape, and the shape is still the picture's.
    const tk::Bitmap cued = Screenshot(b);
    auto region = WindowRegion(b);
    ASSERT_TRUE(region);
    int outside = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (cued.Pixel(x, y) != today.Pixel(x, y) && !::PtInRegion(region->Get(), x, y)) ++outside;
    EXPECT_EQ(outside, 0) << "cue pixels outside the button's shape";
    ExpectShape(b, b.NoneBitmap(), kMagenta, "with the cue");

    // The cue moves on with the focus.
    Key(b.Handle(), WM_KEYDOWN, VK_TAB);
    ASSERT_NE(::GetFocus(), b.Handle());
    EXPECT_TRUE(WaitFor([&] { return DifferingPixels(Screenshot(b), today) == 0; }, 2000));

    // Hidden again by the system's rule: today's look with the focus back.
    b.SetFocus();
    FlushEvents();
    EXPECT_TRUE(WaitFor([&] { return DifferingPixels(Screenshot(b), today) > 0; }, 2000));
    ::SendMessageA(form->Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_FALSE(b.FocusCueShown());
    EXPECT_TRUE(WaitFor([&] { return DifferingPixels(Screenshot(b), today) == 0; }, 2000));
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(ImageButtonTest, FocusCueStaysInsideEveryButtonSize) {
    // The cue of a title button, an Add button and a Start button stays
    // clear of their rounded corners.
    for (const SIZE size : {SIZE{17, 11}, SIZE{70, 25}, SIZE{65, 57}}) {
        const RECT cue = FocusCueRect(size.cx, size.cy);
        EXPECT_GE(cue.left, 2);
        EXPECT_GE(cue.top, 2);
        EXPECT_LE(cue.right, size.cx - 2);
        EXPECT_LE(cue.bottom, size.cy - 2);
        EXPECT_GE(cue.bottom - cue.top, 5) << "a visible rectangle";
    }
}

}  // namespace
