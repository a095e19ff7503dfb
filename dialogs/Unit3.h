// The codec prompt of the first start: converted files need the DivX codec.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/Form.h"

class TForm3 : public tk::Form {
public:
    TForm3();

    tk::Image* Image1 = nullptr;
    tk::Label* Label1 = nullptr;
    tk::RadioButton* RadioButton1 = nullptr;  // "Install DivX video codec now"
    tk::RadioButton* RadioButton2 = nullptr;  // "... already installed ..."
    tk::Button* Button1 = nullptr;            // "Done"

    void Button1Click(tk::Component* sender);
};

extern TForm3* Form3;

// Where "Install DivX video codec now" sends the browser.
inline constexpr char kCodecDownloadAddress[] = "http://download.divx.com/divx/DivXInstaller.exe";
