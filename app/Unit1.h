// The main window: the output folder, the start-up step that installs the
// converter tool, the close query that saves the output folder, and the list
// of source files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "conversion/Unit2.h"
#include "skin/DragMove.h"
#include "skin/ImageButton3.h"
#include "toolkit/Controls.h"
#include "toolkit/FileDialogs.h"
#include "toolkit/Form.h"
#include "toolkit/ListView.h"
#include "toolkit/Menu.h"
#include "toolkit/Timer.h"

class TForm1 : public tk::Form, public TBatchHost {
public:
    TForm1();
    ~TForm1() override;

    tk::Image* Image2 = nullptr;  // background, the whole face of the window
    tk::Image* Image1 = nullptr;  // logo
    tk::Label* Label2 = nullptr;  // title
    tk::Label* Label1 = nullptr;  // count of listed files
    tk::Label* Label3 = nullptr;  // "Output Folder:"
    tk::Edit* Edit1 = nullptr;    // output folder
    tk::CheckBox* CheckBox1 = nullptr;
    tk::Timer* Timer1 = nullptr;  // one tick: the start-up step
    TImageButton* ImageButton8 = nullptr;  // title bar: minimise
    TImageButton* ImageButton9 = nullptr;  // title bar: close
    TImageButton* ImageButton1 = nullptr;   // start a batch
    TImageButton* ImageButton6 = nullptr;   // the Help menu
    TImageButton* ImageButton7 = nullptr;   // exit
    TImageButton* ImageButton10 = nullptr;  // choose the output folder
    tk::PopupMenu* PopupMenu4 = nullptr;    // the Help menu
    tk::MenuItem* Contents1 = nullptr;
    tk::MenuItem* AboutQuendrix1 = nullptr;
    tk::MenuItem* MenuItem1 = nullptr;  // separator
    tk::MenuItem* VisitQuendrixWebSite1 = nullptr;

    void FormCreate(tk::Component* sender);
    void Timer1Timer(tk::Component* sender);
    void FormCloseQuery(tk::Component* sender, bool& canClose);

    // The borderless window's chrome: dragging by the picture and the title,
    // the title buttons.
    void Image2MouseDown(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void Image2MouseMove(tk::Component* sender, tk::ShiftState shift, int x, int y);
    void Image2MouseUp(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void Label2MouseDown(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void Label2MouseMove(tk::Component* sender, tk::ShiftState shift, int x, int y);
    void Label2MouseUp(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void ImageButton8Click(tk::Component* sender);
    void ImageButton9Click(tk::Component* sender);

    // The main window's commands.
    void ImageButton1Click(tk::Component* sender);
    void ImageButton6Click(tk::Component* sender);
    void ImageButton7Click(tk::Component* sender);
    void ImageButton10Click(tk::Component* sender);
    // The shell's folder browser; the chosen folder with a trailing
    // backslash, or an empty text.
    std::string BrowseOutputFolder();
    void Contents1Click(tk::Component* sender);
    void AboutQuendrix1Click(tk::Component* sender);
    void VisitQuendrixWebSite1Click(tk::Component* sender);

    // The end of a batch.
    void ClearSourceList() override;
    void BatchEnded() override;
    void OpenOutputFolderIfAsked() override;

    // The short (8.3) form of a path that exists; the path itself when the
    // system has no short form for it.
    static std::string Win2DosName(const std::string& path);

    // ---- Source file list ----------------------------------------------------
    // Rows: the source's path (as the dialog or the drop gave it; the short
    // form for a name outside the ANSI code page), then its size in MB; each
    // row keeps the file's real name beside it.
    tk::ListView* ListView1 = nullptr;
    TImageButton* ImageButton2 = nullptr;  // add files
    TImageButton* ImageButton3 = nullptr;  // remove the selected file
    TImageButton* ImageButton4 = nullptr;  // remove all files
    TImageButton* ImageButton5 = nullptr;  // play the selected file
    tk::PopupMenu* PopupMenu1 = nullptr;   // the list's context menu
    tk::MenuItem* Add1 = nullptr;
    tk::MenuItem* Delete1 = nullptr;
    tk::MenuItem* Clear1 = nullptr;
    tk::MenuItem* Play1 = nullptr;
    tk::OpenDialog* OpenDialog1 = nullptr;

    void ImageButton2Click(tk::Component* sender);
    void ImageButton3Click(tk::Component* sender);
    void ImageButton4Click(tk::Component* sender);
    void ImageButton5Click(tk::Component* sender);
    void Add1Click(tk::Component* sender);
    void Delete1Click(tk::Component* sender);
    void Clear1Click(tk::Component* sender);
    void Play1Click(tk::Component* sender);
    // Files dropped anywhere on the window: the .mp4 ones are listed. The
    // drop is released in every case.
    void WMDropFiles(HDROP drop);

    // The rows' paths, in row order (ListView1->Count() of them).
    std::vector<std::string> SourcePaths() const;
    // The rows' real names, in row order: what the file is called, in wide
    // form (the row's path where the row keeps none).
    std::vector<std::wstring> RowNames() const;

protected:
    // Files dropped from the shell come as WM_DROPFILES.
    DWORD ExtraExStyle() const override { return WS_EX_ACCEPTFILES; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BindSourceList();
    // Lists each path the system gave that is not listed yet.
    void AddSourcePaths(const std::vector<std::wstring>& paths);
    void RefreshCountLabel();
};

extern TForm1* Form1;

// True while a batch runs.
extern bool Converting;
// True once the start-up step has installed the converter tool (and set
// ToolFolder): Start does nothing before.
extern bool ToolReady;

// Installs the converter tool into the Windows directory's tool folder when
// "nnn.exe" is missing there, sets ToolFolder, and tells whether "nnn.exe"
// is in place.
bool InstallConverterTool();
// The same with the Windows directory and the module holding resource 1
// (the tool) given.
bool InstallConverterToolInto(const std::string& windowsDirectory, HMODULE module);

// Folder and file names beside the program.
inline constexpr char kSettingsFile[] = "set.txt";
inline constexpr char kFirstRunMarker[] = "done.txt";
inline constexpr char kToolSubfolder[] = "\\quendrix_yt_1\\";
inline constexpr char kToolExe[] = "nnn.exe";
