#include "dialogs/Unit3.h"

#include "toolkit/Application.h"
#include "toolkit/Shell.h"

TForm3* Form3 = nullptr;

TForm3::TForm3() : Form("tform3.json") {
    Field("Image1", Image1);
    Field("Label1", Label1);
    Field("RadioButton1", RadioButton1);
    Field("RadioButton2", RadioButton2);
    Field("Button1", Button1);
    Handler("Button1Click", &TForm3::Button1Click);
}

void TForm3::Button1Click(tk::Component*) {
    Close();
    if (RadioButton1->Checked()) tk::OpenWebPage(kCodecDownloadAddress);
}
