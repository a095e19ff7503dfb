#include "dialogs/AboutUnit.h"

#include <string>

#include "toolkit/Application.h"
#include "toolkit/Shell.h"

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm() : Form("taboutform.json") {
    Field("Panel1", Panel1);
    Field("Label1", Label1);
    Field("Label2", Label2);
    Field("Bevel1", Bevel1);
    Field("Label5", Label5);
    Field("Label3", Label3);
    Field("Label4", Label4);
    Field("Button3", Button3);
    Handler("FormShow", &TAboutForm::FormShow);
    Handler("Label3Click", &TAboutForm::Label3Click);
    Handler("Label4Click", &TAboutForm::Label4Click);
    Handler("Button3Click", &TAboutForm::Button3Click);
}

// Every showing starts on "OK", so Enter or Space closes the box at once.
void TAboutForm::FormShow(tk::Component*) { Button3->SetFocus(); }

void TAboutForm::Label3Click(tk::Component*) { tk::OpenWebPage(kWebSite); }

void TAboutForm::Label4Click(tk::Component*) { tk::OpenMail(kSupportMail); }

// The title-bar close and Alt+F4 end the box the same way.
void TAboutForm::Button3Click(tk::Component*) { Close(); }
