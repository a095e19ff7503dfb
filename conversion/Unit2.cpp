#include "conversion/Unit2.h"

TForm2* Form2 = nullptr;
std::string OutputFolder;
std::vector<std::string> SourceFiles;
int SourceCount = 0;
int CurrentIndex = 0;

TForm2::TForm2() : Form("tform2.json") {
    Field("Image1", Image1);
    Field("Timer1", Timer1);
    Handler("FormCreate", &TForm2::FormCreate);
}

void TForm2::FormCreate(tk::Component*) {}
