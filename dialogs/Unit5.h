// The elevation hint: the converter tool could not be installed; start the
// program with "Run as administrator". Closing it ends the application.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/Form.h"

class TForm5 : public tk::Form {
public:
    TForm5();

    tk::Label* Label1 = nullptr;
    tk::Image* Image1 = nullptr;
    tk::Button* Button1 = nullptr;  // "OK"

    void Button1Click(tk::Component* sender);
    void FormClose(tk::Component* sender, tk::CloseAction& action);
};

extern TForm5* Form5;
