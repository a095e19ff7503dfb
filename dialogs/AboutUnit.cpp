#include "dialogs/AboutUnit.h"

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm() : Form("taboutform.json") {}
