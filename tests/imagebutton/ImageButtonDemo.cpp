// The main window's image buttons over its background, to try them by hand
// or to take a screenshot:
//   ImageButtonDemo.exe [ButtonName [press]]
// With a button's name the pointer is put on it (hover); with "press" the
// left button is held down on it too. A click shows the button's name in the
// title; the title buttons minimise and close.
#include <windows.h>

#include <string>

#include "skin/ImageButton3.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"

namespace {

class TDemoForm : public tk::Form {
public:
    TDemoForm() : tk::Form("timagebuttondemo.json") {
        Handler("ButtonClick", &TDemoForm::ButtonClick);
        Handler("ButtonDblClick", &TDemoForm::ButtonClick);
        Handler("ButtonEnter", &TDemoForm::Nothing);
        Handler("ButtonLeave", &TDemoForm::Nothing);
        Field("Label2", Label2);
    }
    tk::Label* Label2 = nullptr;

private:
    void ButtonClick(tk::Component* sender) {
        if (sender->Name() == "ImageButton9") Close();
        else if (sender->Name() == "ImageButton8") ::ShowWindow(Handle(), SW_MINIMIZE);
        else Label2->SetCaption("Clicked " + sender->Name());
    }
    void Nothing(tk::Component*) {}
};

TDemoForm* DemoForm = nullptr;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle("Image buttons");
    RegisterImageButton();
    try {
        app.CreateForm(DemoForm);
        DemoForm->Show();
        if (__argc > 1) {
            auto* button = dynamic_cast<TImageButton*>(DemoForm->FindComponent(__argv[1]));
            if (button) {
                POINT p{button->Width() / 2, button->Height() / 2};
                ::ClientToScreen(button->Handle(), &p);
                ::SetCursorPos(p.x, p.y);
                const LPARAM at = MAKELPARAM(button->Width() / 2, button->Height() / 2);
                ::PostMessageA(button->Handle(), WM_MOUSEMOVE, 0, at);
                if (__argc > 2 && std::string(__argv[2]) == "press")
                    ::PostMessageA(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
            }
        }
    } catch (...) {
        app.HandleException();
        return 1;
    }
    app.Run();
    return 0;
}
