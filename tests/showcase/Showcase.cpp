// Shows one of the program's windows as it looks in use, for screenshots:
//   Showcase.exe main | progress | prompt | hint | about
// The progress window gets both bars part-filled, painted from its strips.
#include <windows.h>

#include <string>

#include "app/SourceList.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit5.h"
#include "toolkit/Application.h"

namespace {

template <typename T>
T* Part(tk::Form* form, const char* name) {
    return dynamic_cast<T*>(form->FindComponent(name));
}

// The bar as the progress window paints it: the edge strip at both ends,
// the fill strip stretched between.
tk::Bitmap Bar(tk::Form* form, int percent) {
    const tk::Bitmap& edge = Part<tk::Image>(form, "Image2")->Picture();
    const tk::Bitmap& fill = Part<tk::Image>(form, "Image3")->Picture();
    const int width = percent * 357 / 100;
    tk::Bitmap bar(width, 14);
    edge.Draw(bar.Dc(), 0, 0);
    edge.Draw(bar.Dc(), width - 1, 0);
    if (width > 2) fill.StretchDraw(bar.Dc(), RECT{1, 0, width - 1, 14});
    ::GdiFlush();
    return bar;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    tk::Application& app = tk::Application::Get();
    app.Initialize();
    app.SetTitle(kApplicationTitle);
    CreateApplicationForms();
    Form1->Timer1->SetEnabled(false);
    const std::string which = __argc > 1 ? __argv[1] : "main";
    if (which == "progress") {
        Part<tk::Label>(Form2, "Label1")->SetCaption("Convert file \"holiday in rome.mp4\":");
        Part<tk::Image>(Form2, "Image6")->SetPicture(Bar(Form2, 45));
        Part<tk::Label>(Form2, "Label3")->SetCaption("45%");
        Part<tk::Image>(Form2, "Image7")->SetPicture(Bar(Form2, 70));
        Part<tk::Label>(Form2, "Label4")->SetCaption("70%");
        Form2->Show();
    } else if (which == "prompt") {
        Form3->Show();
    } else if (which == "hint") {
        Form5->Show();
    } else if (which == "about") {
        AboutForm->Show();
    } else {
        Form1->Edit1->SetText("C:\\users\\me\\Videos\\Converted\\");
        const std::pair<const char*, int64_t> sources[] = {
            {"C:\\users\\me\\Videos\\holiday in rome.mp4", 48234496},
            {"C:\\users\\me\\Videos\\birthday.mp4", 131072},
            {"C:\\users\\me\\Videos\\lecture, part 2.mp4", 2469396480LL},
        };
        for (const auto& [path, bytes] : sources) Form1->ListView1->AddItem(path, {SizeText(bytes, ".")});
        Form1->Label1->SetCaption("Added 3 file(s).");
        Form1->Show();
    }
    while (app.HandleMessage()) {
    }
    return 0;
}
