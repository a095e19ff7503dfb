// The program's windows as a screen reader and a keyboard user meet them:
// what the system's accessibility interface (AccessibleObjectFromWindow)
// reports for every image button and for the progress window's labels and
// bars, a button pressed through it, and the Help menu opened by a key.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/ProgramWindows.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
#include "support/TestSupport.h"
#include "toolkit/Application.h"
#include "toolkit/Text.h"

namespace {

using namespace testing_support;

// An IAccessible reference that releases itself.
class Accessible {
public:
    explicit Accessible(HWND window) {
        void* object = nullptr;
        result_ = ::AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), &object);
        if (SUCCEEDED(result_)) object_ = static_cast<IAccessible*>(object);
    }
    ~Accessible() {
        if (object_) object_->Release();
    }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    explicit operator bool() const { return object_ != nullptr; }
    HRESULT Result() const { return result_; }
    IAccessible* operator->() const { return object_; }

    static VARIANT Child(LONG id) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = id;
        return v;
    }
    std::wstring Name(LONG child = CHILDID_SELF) const { return Text(object_->get_accName(Child(child), &text_)); }
    std::wstring Value(LONG child = CHILDID_SELF) const { return Text(object_->get_accValue(Child(child), &text_)); }
    std::wstring DefaultAction() const { return Text(object_->get_accDefaultAction(Child(CHILDID_SELF), &text_)); }
    LONG Role(LONG child = CHILDID_SELF) const {
        VARIANT role;
        ::VariantInit(&role);
        if (FAILED(object_->get_accRole(Child(child), &role)) || role.vt != VT_I4) return -1;
        return role.lVal;
    }
    LONG State() const {
        VARIANT state;
        ::VariantInit(&state);
        if (FAILED(object_->get_accState(Child(CHILDID_SELF), &state)) || state.vt != VT_I4) return -1;
        return state.lVal;
    }
    LONG ChildCount() const {
        LONG count = -1;
        object_->get_accChildCount(&count);
        return count;
    }

private:
    // The BSTR the call gave (empty when there was none).
    std::wstring Text(HRESULT) const {
        std::wstring text;
        if (text_) {
            text.assign(text_, ::SysStringLen(text_));
            ::SysFreeString(text_);
            text_ = nullptr;
        }
        return text;
    }

    IAccessible* object_ = nullptr;
    HRESULT result_ = E_FAIL;
    mutable BSTR text_ = nullptr;
};

std::string WindowText(HWND window) {
    char text[256] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

using AccessibilityTest = ProgramWindowsTest;

struct ButtonCase {
    bool progress;  // on the progress window, else the main window
    const char* button;
    const char* name;
};

const ButtonCase kButtonCases[] = {
    {false, "ImageButton8", "Minimize"},
    {false, "ImageButton9", "Close"},
    {false, "ImageButton1", "Start Converting"},
    {false, "ImageButton6", "Help"},
    {false, "ImageButton7", "Exit"},
    {false, "ImageButton2", "Add GVI files to list"},
    {false, "ImageButton3", "Remove the selected file from list"},
    {false, "ImageButton4", "Remove all files from list"},
    {false, "ImageButton5", "Play the selected file"},
    {false, "ImageButton10", "Select Output Folder"},
    // The progress window's title button minimises the program while the
    // batch goes on: named by what it does.
    {true, "ImageButton9", "Minimize"},
};

TEST_F(AccessibilityTest, EveryImageButtonIsANamedPushButton) {
    Form2->Show();
    FlushEvents();
    for (const ButtonCase& c : kButtonCases) {
        SCOPED_TRACE(std::string(c.progress ? "progress window " : "main window ") + c.button);
        tk::Form& form = c.progress ? static_cast<tk::Form&>(*Form2) : *Form1;
        auto* button = dynamic_cast<TImageButton*>(form.FindComponent(c.button));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(WindowText(button->Handle()), c.name);
        Accessible object(button->Handle());
        ASSERT_TRUE(object) << "AccessibleObjectFromWindow: 0x" << std::hex << object.Result();
        EXPECT_EQ(object.Name(), tk::Widen(c.name));
        EXPECT_EQ(object.Role(), ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(object.DefaultAction(), L"Press");
        EXPECT_TRUE(object.State() & STATE_SYSTEM_FOCUSABLE);
    }
    // Every image button of both windows is in the table.
    size_t buttons = 0;
    for (tk::Form* form : {static_cast<tk::Form*>(Form1), static_cast<tk::Form*>(Form2)})
        for (tk::Control* c : form->Controls()) buttons += dynamic_cast<TImageButton*>(c) != nullptr;
    EXPECT_EQ(buttons, std::size(kButtonCases));
    EXPECT_TRUE(errors_.Errors().empty());
}

// A screen reader walks the progress window's children with "first child",
// "next", "previous" and "last child": the bars and labels in the order it
// lists them, then the title button.
TEST_F(AccessibilityTest, NavigationWalksTheChildrenInTheOrderTheyAreListed) {
    Form2->Show();
    FlushEvents();
    Accessible progress(Form2->Handle());
    ASSERT_TRUE(progress);
    ASSERT_EQ(progress.ChildCount(), 7);
    auto move = [&](LONG direction, LONG from) {
        VARIANT end;
        ::VariantInit(&end);
        const HRESULT result = progress->accNavigate(direction, Accessible::Child(from), &end);
        if (result != S_OK) return result == S_FALSE && end.vt == VT_EMPTY ? 0L : -100L;
        if (end.vt != VT_I4) {
            ::VariantClear(&end);
            return -200L;
        }
        return end.lVal;
    };
    const struct {
        LONG direction, from, to;
        const wchar_t* name;  // of the item reached; the title button, a child window, is named by itself
    } moves[] = {
        {NAVDIR_FIRSTCHILD, CHILDID_SELF, 1, L"Current file progress"},
        {NAVDIR_NEXT, 1, 2, L"Total progress"},
        {NAVDIR_NEXT, 2, 3, L"Current Operation:"},
        {NAVDIR_NEXT, 6, 7, nullptr},  // the last label, then the title button
        {NAVDIR_NEXT, 7, 0, nullptr},
        {NAVDIR_PREVIOUS, 7, 6, L"0%"},
        {NAVDIR_PREVIOUS, 1, 0, nullptr},
        {NAVDIR_LASTCHILD, CHILDID_SELF, 7, nullptr},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(testing::Message() << "direction " << m.direction << " from " << m.from);
        const LONG to = move(m.direction, m.from);
        EXPECT_EQ(to, m.to);
        if (m.name && to > 0) {
            EXPECT_EQ(progress.Name(to), m.name);
        }
    }
    VARIANT end;
    EXPECT_EQ(progress->accNavigate(NAVDIR_NEXT, Accessible::Child(8), &end), E_INVALIDARG);
}

// What a screen reader gets when it asks the main window while the window's
// controls are being freed (recorded as the first of them goes).
WNDPROC gButtonProc = nullptr;
LRESULT gAnswerWhileFreed = -1;
LRESULT CALLBACK AskTheParentAtTheEnd(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && gAnswerWhileFreed == -1)
        gAnswerWhileFreed = ::SendMessageW(::GetParent(window), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    return ::CallWindowProcA(gButtonProc, window, message, wParam, lParam);
}

TEST_F(AccessibilityTest, AWindowStopsAnsweringBeforeItsControlsAreFreed) {
    Accessible main(Form1->Handle());
    ASSERT_TRUE(main);
    ASSERT_GT(main.ChildCount(), 0);
    const HWND button = Form1->ImageButton1->Handle();
    ASSERT_EQ(::GetParent(button), Form1->Handle());
    gAnswerWhileFreed = -1;
    gButtonProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AskTheParentAtTheEnd)));
    tk::Application::Get().ResetForTesting();  // the forms go
    EXPECT_EQ(gAnswerWhileFreed, 0) << "the system's proxy answers, not the window's own object";
}

TEST_F(AccessibilityTest, AScreenReaderPressesAButton) {
    Form1->ListView1->AddItem("C:\\a.mp4", {"1.00"});
    Form1->ListView1->AddItem("C:\\b.mp4", {"1.00"});
    {
        Accessible clear(Form1->ImageButton4->Handle());
        ASSERT_TRUE(clear);
        EXPECT_EQ(clear->accDoDefaultAction(Accessible::Child(CHILDID_SELF)), S_OK);
    }
    EXPECT_TRUE(WaitFor([] { return Form1->ListView1->Count() == 0; }, 2000));
    EXPECT_EQ(Form1->Label1->Caption(), "Added 0 file(s).");

    // A disabled button cannot be pressed.
    Form1->ImageButton4->SetEnabled(false);
    Accessible disabled(Form1->ImageButton4->Handle());
    ASSERT_TRUE(disabled);
    EXPECT_NE(disabled->accDoDefaultAction(Accessible::Child(CHILDID_SELF)), S_OK);
    EXPECT_TRUE(disabled.State() & STATE_SYSTEM_UNAVAILABLE);
    Form1->ImageButton4->SetEnabled(true);
}

struct Item {
    LONG role;
    std::wstring name;
    std::wstring value;
    bool operator==(const Item& o) const { return role == o.role && name == o.name && value == o.value; }
};

std::ostream& operator<<(std::ostream& out, const Item& item) {
    return out << "{role " << item.role << ", \"" << tk::Narrow(item.name) << "\", \"" << tk::Narrow(item.value) << "\"}";
}

// The simple children of a window's client object: those with a role of
// their own that is neither a window nor a client area.
std::vector<Item> Items(const Accessible& object) {
    std::vector<Item> items;
    const LONG count = object.ChildCount();
    for (LONG id = 1; id <= count; ++id) {
        const LONG role = object.Role(id);
        if (role == ROLE_SYSTEM_STATICTEXT || role == ROLE_SYSTEM_PROGRESSBAR)
            items.push_back(Item{role, object.Name(id), object.Value(id)});
    }
    return items;
}

TEST_F(AccessibilityTest, TheProgressWindowReadsItsLabelsAndBars) {
    Accessible progress(Form2->Handle());
    ASSERT_TRUE(progress);
    EXPECT_EQ(Items(progress), (std::vector<Item>{
                                   {ROLE_SYSTEM_PROGRESSBAR, L"Current file progress", L"0%"},
                                   {ROLE_SYSTEM_PROGRESSBAR, L"Total progress", L"0%"},
                                   {ROLE_SYSTEM_STATICTEXT, L"Current Operation:", L""},
                                   {ROLE_SYSTEM_STATICTEXT, L"Total Progress:", L""},
                                   {ROLE_SYSTEM_STATICTEXT, L"0%", L""},
                                   {ROLE_SYSTEM_STATICTEXT, L"0%", L""},
                               }));
    // The child windows follow the items: the title button.
    EXPECT_EQ(progress.ChildCount(), 7);

    // As a file converts, the texts change and are read anew, a file name
    // outside the ANSI code page as it is shown.
    Form2->Label1->SetCaption(L"Convert file \"\u00dcn\u00efc\u00f8d\u00e9 \u65e5\u672c\u8a9e clip.mp4\":");
    Form2->Label3->SetCaption("42%");
    Form2->Image6->SetAccessibleValue(L"42%");
    const std::vector<Item> items = Items(progress);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0], (Item{ROLE_SYSTEM_PROGRESSBAR, L"Current file progress", L"42%"}));
    EXPECT_EQ(items[2].name, L"Convert file \"\u00dcn\u00efc\u00f8d\u00e9 \u65e5\u672c\u8a9e clip.mp4\":");
    EXPECT_EQ(items[4].name, L"42%");

    // The main window's labels too.
    Accessible main(Form1->Handle());
    ASSERT_TRUE(main);
    const std::vector<Item> labels = Items(main);
    EXPECT_NE(std::find(labels.begin(), labels.end(), Item{ROLE_SYSTEM_STATICTEXT, L"Added 0 file(s).", L""}),
              labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), Item{ROLE_SYSTEM_STATICTEXT, L"Output Folder:", L""}),
              labels.end());
}

TEST_F(AccessibilityTest, EnterOnHelpOpensTheMenuBelowTheButtonAndEscapeClosesIt) {
    ::SetForegroundWindow(Form1->Handle());
    Form1->ImageButton6->SetFocus();
    FlushEvents();
    ASSERT_EQ(::GetFocus(), Form1->ImageButton6->Handle());
    ::SetCursorPos(5, 5);  // nowhere near the button
    POINT below{0, Form1->ImageButton6->Height()};
    ::ClientToScreen(Form1->ImageButton6->Handle(), &below);
    {
        MenuChooser user(-1);  // Escape
        ::PostMessageA(Form1->ImageButton6->Handle(), WM_KEYDOWN, VK_RETURN, 1);
        FlushEvents(300);
        ASSERT_TRUE(user.Shown());
        EXPECT_EQ(user.Place().left, below.x);
        EXPECT_EQ(user.Place().top, below.y);
    }
    // Escape closed it; nothing was chosen, and the keys go on from the button.
    FlushEvents(200);
    EXPECT_FALSE(AboutForm->Visible());
    EXPECT_EQ(::GetFocus(), Form1->ImageButton6->Handle());

    // Clicked with the mouse, it still opens at the pointer.
    ::SetCursorPos(300, 200);
    {
        MenuChooser user(-1);
        ::PostMessageA(Form1->ImageButton6->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
        ::PostMessageA(Form1->ImageButton6->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
        FlushEvents(300);
        ASSERT_TRUE(user.Shown());
        EXPECT_EQ(user.Place().left, 300);
        EXPECT_EQ(user.Place().top, 200);
    }
    EXPECT_TRUE(errors_.Errors().empty());
}

}  // namespace
