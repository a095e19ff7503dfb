// Shows one of the program's windows as it looks in use, for screenshots:
//   Showcase.exe main | progress | prompt | hint | about
// The main window has three files listed; the progress window shows the
// second of them converting, its bars and labels set by its own code; the
// dialogs come up modally.
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/SourceList.h"
#include "app/Startup.h"
#include "app/Unit1.h"
#include "conversion/BatchNames.h"
#include "conversion/Unit2.h"
#include "dialogs/AboutUnit.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit5.h"
#include "toolkit/Application.h"
#include "toolkit/Text.h"

namespace {

// The files of the batch the windows show: listed in the main window, the
// second of them converting in the progress window.
struct Source {
    const char* path;
    int64_t bytes;
};
const Source kSources[] = {
    {"C:\\users\\me\\Videos\\birthday party.mp4", 24536514},
    {"C:\\users\\me\\Videos\\holiday in rome.mp4", 48234496},
    {"C:\\users\\me\\Videos\\lecture, part 2.mp4", 137412608},
};
const char kOutputFolder[] = "C:\\users\\me\\Videos\\Converted\\";

// The progress window as the batch leaves it while the second of three files
// is at 45 %, painted by the window's own code.
void ShowProgress() {
    OutputFolder = kOutputFolder;
    SourceFiles.clear();
    for (const Source& source : kSources) SourceFiles.push_back(source.path);
    SourceCount = static_cast<int>(SourceFiles.size());
    CurrentIndex = 2;
    const int percent = 45;
    Form2->Label1->SetCaption(OperationText(tk::Widen(SourceFiles[CurrentIndex - 1])));
    Form2->PaintBar(percent, Form2->Image6);
    Form2->Label3->SetCaption(std::to_string(percent) + "%");
    const int total = TotalPercent(percent, CurrentIndex, SourceCount);
    Form2->PaintBar(total, Form2->Image7);
    Form2->Label4->SetCaption(std::to_string(total) + "%");
    Form2->Show();
}

// The main window with the files listed and an output folder chosen.
void ShowMain() {
    Form1->Edit1->SetText(kOutputFolder);
    for (const Source& source : kSources) Form1->ListView1->AddItem(source.path, {SizeText(source.bytes, ".")});
    Form1->Label1->SetCaption("Added " + std::to_string(Form1->ListView1->Count()) + " file(s).");
    Form1->Show();
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
        ShowProgress();
    } else if (which == "prompt" || which == "hint" || which == "about") {
        // The dialogs are shown modally, as the program shows them (shown
        // plainly before the message loop runs, the codec prompt's title bar
        // under Wine lacks its close button).
        tk::Form* dialog = which == "prompt" ? static_cast<tk::Form*>(Form3)
                           : which == "hint" ? static_cast<tk::Form*>(Form5)
                                             : static_cast<tk::Form*>(AboutForm);
        dialog->ShowModal();
        return 0;
    } else {
        ShowMain();
    }
    while (app.HandleMessage()) {
    }
    return 0;
}
