#include "dialogs/Unit5.h"

#include "toolkit/Application.h"

TForm5* Form5 = nullptr;

TForm5::TForm5() : Form("tform5.json") {
    Field("Label1", Label1);
    Field("Image1", Image1);
    Field("Button1", Button1);
    Handler("Button1Click", &TForm5::Button1Click);
    Handler("FormClose", &TForm5::FormClose);
}

void TForm5::Button1Click(tk::Component*) { Close(); }

// However the hint is closed, the application ends.
void TForm5::FormClose(tk::Component*, tk::CloseAction&) { tk::Application::Get().Terminate(); }
