// The progress window and the batch state it drives.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Timer.h"

class TForm2 : public tk::Form {
public:
    TForm2();

    tk::Image* Image1 = nullptr;  // background
    tk::Timer* Timer1 = nullptr;  // the batch driver

    void FormCreate(tk::Component* sender);
};

extern TForm2* Form2;

// The batch, as the main window's Start command hands it over.
extern std::string OutputFolder;               // ends with a backslash
extern std::vector<std::string> SourceFiles;  // full paths, in list order
extern int SourceCount;
extern int CurrentIndex;  // files handed over so far
