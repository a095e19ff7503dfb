// The main window: the output folder, the start-up step that installs the
// converter tool, and the close query that saves the output folder.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Timer.h"

class TForm1 : public tk::Form {
public:
    TForm1();

    tk::Image* Image2 = nullptr;  // background, the whole face of the window
    tk::Image* Image1 = nullptr;  // logo
    tk::Label* Label2 = nullptr;  // title
    tk::Label* Label1 = nullptr;  // count of listed files
    tk::Label* Label3 = nullptr;  // "Output Folder:"
    tk::Edit* Edit1 = nullptr;    // output folder
    tk::CheckBox* CheckBox1 = nullptr;
    tk::Timer* Timer1 = nullptr;  // one tick: the start-up step

    void FormCreate(tk::Component* sender);
    void Timer1Timer(tk::Component* sender);
    void FormCloseQuery(tk::Component* sender, bool& canClose);

    // The short (8.3) form of a path that exists; the path itself when the
    // system has no short form for it.
    static std::string Win2DosName(const std::string& path);
};

extern TForm1* Form1;

// The tool folder in short form, ending with a backslash; empty until the
// start-up step has run.
extern std::string ToolFolder;
// True while a batch runs.
extern bool Converting;

// Installs the converter tool into the Windows directory's tool folder when
// "nnn.exe" is missing there, sets ToolFolder, and tells whether "nnn.exe"
// is in place.
bool InstallConverterTool();
// The same with the Windows directory and the module holding resources 1
// and 2 given.
bool InstallConverterToolInto(const std::string& windowsDirectory, HMODULE module);

// Folder and file names beside the program.
inline constexpr char kSettingsFile[] = "set.txt";
inline constexpr char kFirstRunMarker[] = "done.txt";
inline constexpr char kToolSubfolder[] = "\\quendrix_yt_1\\";
inline constexpr char kToolExe[] = "nnn.exe";
inline constexpr char kToolRuntime[] = "pthreadGC2.dll";
