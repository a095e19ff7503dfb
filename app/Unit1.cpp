#include "app/Unit1.h"

#include <shlobj.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "app/Settings.h"
#include "app/SourceList.h"
#include "app/ToolCheck.h"
#include "dialogs/AboutUnit.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit5.h"
#include "toolkit/Application.h"
#include "toolkit/DroppedFiles.h"
#include "toolkit/Files.h"
#include "toolkit/FolderBrowser.h"
#include "toolkit/Handles.h"
#include "toolkit/Resources.h"
#include "toolkit/Shell.h"
#include "toolkit/Text.h"

TForm1* Form1 = nullptr;
bool Converting = false;
bool ToolReady = false;

// The drag state of the main window, shared by its picture and its title.
static DragState MainDrag;

namespace {

std::string WindowsDirectory() {
    std::vector<char> buffer(MAX_PATH + 1);
    UINT length = ::GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    return length < buffer.size() ? std::string(buffer.data(), length) : std::string();
}

std::string DesktopFolder() {
    char path[MAX_PATH + 1] = "";
    if (!::SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE)) return {};
    return path;
}

// Inflates `size` bytes of zlib data read from `in` into `out`, a piece at a
// time; false, with the system's error set, when a read or a write fails or
// the data are not whole zlib data.
bool Inflate(HANDLE in, unsigned long long size, HANDLE out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    struct End {
        z_stream& stream;
        ~End() { inflateEnd(&stream); }
    } end{stream};
    std::vector<unsigned char> input(256 * 1024), output(1024 * 1024);
    unsigned long long left = size;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (left == 0) break;  // the data end before the stream does
            const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(left, input.size()));
            DWORD read = 0;
            if (!::ReadFile(in, input.data(), want, &read, nullptr)) return false;
            if (read != want) {
                ::SetLastError(ERROR_HANDLE_EOF);
                return false;
            }
            left -= read;
            stream.next_in = input.data();
            stream.avail_in = read;
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) break;
        const DWORD produced = static_cast<DWORD>(output.size() - stream.avail_out);
        DWORD written = 0;
        if (produced > 0 && (!::WriteFile(out, output.data(), produced, &written, nullptr) || written != produced))
            return false;
    }
    if (status == Z_STREAM_END) return true;
    ::SetLastError(ERROR_INVALID_DATA);
    return false;
}

// Writes resource `id` (RT_RCDATA) of the module, the converter compressed
// with zlib, to `path`, inflated; throws on any failure. The compressed bytes
// are read from the program's file, not from its image in memory: the
// converter is installed once, at the first start, and its pages must not
// stay in the working set of the program that then converts for an evening.
void ExtractResource(HMODULE module, int id, const std::string& path) {
    const auto data = tk::FindResourceInFile(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
    if (!data) throw tk::Error(tk::Format("Resource %d not found", id));
    tk::FileHandle program(::CreateFileW(data->file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(data->offset);
    if (!program || !::SetFilePointerEx(program.Get(), at, nullptr, FILE_BEGIN))
        throw tk::Error(tk::Format("Resource %d cannot be read", id));
    tk::WriteFileReplacing(path, [&](HANDLE file) { return Inflate(program.Get(), data->size, file); });
}

}  // namespace

bool InstallConverterToolInto(const std::string& windowsDirectory, HMODULE module) {
    ToolFolder = windowsDirectory + kToolSubfolder;
    const std::string tool = ToolFolder + kToolExe;
    // Only a converter of this release serves: a tool of another build (and
    // its security fixes), a file cut short, empty or foreign is replaced
    // like a missing one. Either kind's converter of this release serves
    // where it runs, so the two programs of one release never take turns.
    bool installed = IsReleaseTool(tool, CarriedReleaseTools(module), WindowsIs64Bit());
    if (!installed) {
        // Trouble here is expected (a standard user cannot write the Windows
        // directory): stop at the first failure and let the check below decide.
        // The tool is written beside its final name and then renamed over it,
        // so an interrupted extraction never leaves a cut-short "nnn.exe".
        try {
            ::CreateDirectoryA(ToolFolder.c_str(), nullptr);
            ExtractResource(module, 1, tool);
            installed = true;
        } catch (...) {
        }
    }
    ToolFolder = TForm1::Win2DosName(ToolFolder);
    return installed && tk::FileExists(ToolFolder + kToolExe);
}

bool InstallConverterTool() { return InstallConverterToolInto(WindowsDirectory(), ::GetModuleHandleA(nullptr)); }

TForm1::TForm1() : Form("tform1.json") {
    BatchHost = this;
    Field("Image2", Image2);
    Field("Image1", Image1);
    Field("Label2", Label2);
    Field("Label1", Label1);
    Field("Label3", Label3);
    Field("Edit1", Edit1);
    Field("CheckBox1", CheckBox1);
    Field("Timer1", Timer1);
    Field("ImageButton8", ImageButton8);
    Field("ImageButton9", ImageButton9);
    Field("ImageButton1", ImageButton1);
    Field("ImageButton6", ImageButton6);
    Field("ImageButton7", ImageButton7);
    Field("ImageButton10", ImageButton10);
    Field("PopupMenu4", PopupMenu4);
    Field("Contents1", Contents1);
    Field("AboutQuendrix1", AboutQuendrix1);
    Field("MenuItem1", MenuItem1);
    Field("VisitQuendrixWebSite1", VisitQuendrixWebSite1);
    Handler("FormCreate", &TForm1::FormCreate);
    Handler("Timer1Timer", &TForm1::Timer1Timer);
    Handler("FormCloseQuery", &TForm1::FormCloseQuery);
    Handler("Image2MouseDown", &TForm1::Image2MouseDown);
    Handler("Image2MouseMove", &TForm1::Image2MouseMove);
    Handler("Image2MouseUp", &TForm1::Image2MouseUp);
    Handler("Label2MouseDown", &TForm1::Label2MouseDown);
    Handler("Label2MouseMove", &TForm1::Label2MouseMove);
    Handler("Label2MouseUp", &TForm1::Label2MouseUp);
    Handler("ImageButton8Click", &TForm1::ImageButton8Click);
    Handler("ImageButton9Click", &TForm1::ImageButton9Click);
    Handler("ImageButton1Click", &TForm1::ImageButton1Click);
    Handler("ImageButton6Click", &TForm1::ImageButton6Click);
    Handler("ImageButton7Click", &TForm1::ImageButton7Click);
    Handler("ImageButton10Click", &TForm1::ImageButton10Click);
    Handler("Contents1Click", &TForm1::Contents1Click);
    Handler("AboutQuendrix1Click", &TForm1::AboutQuendrix1Click);
    Handler("VisitQuendrixWebSite1Click", &TForm1::VisitQuendrixWebSite1Click);
    BindSourceList();
}

TForm1::~TForm1() {
    if (BatchHost == this) BatchHost = nullptr;
}

std::string TForm1::Win2DosName(const std::string& path) { return tk::ShortPathName(path); }

void TForm1::FormCreate(tk::Component*) {
    const std::string settings = tk::ProgramFolder() + kSettingsFile;
    if (tk::FileExists(settings)) {
        const auto bytes = tk::ReadWholeFile(settings);
        if (!bytes)
            throw tk::Error(tk::Format("Cannot open file \"%s\". %s", settings.c_str(),
                                       tk::SysErrorMessage(::GetLastError()).c_str()));
        if (const auto line = SettingsFirstLine(*bytes)) {
            Edit1->SetText(*line);
            return;
        }
        // A settings file without a single line (cut short by a crash, say)
        // counts as no settings file.
    }
    const std::string desktop = DesktopFolder();
    if (!desktop.empty()) Edit1->SetText(WithTrailingBackslash(desktop));
}

void TForm1::Timer1Timer(tk::Component*) {
    // A message box during creation runs a message loop; the step waits for
    // every window to exist.
    if (!tk::Application::Get().Running()) return;
    Timer1->SetEnabled(false);

    if (!InstallConverterTool()) {
        Hide();
        Form5->ShowModal();  // closing it ends the application
        return;
    }
    ToolReady = true;
    const std::string marker = tk::ProgramFolder() + kFirstRunMarker;
    if (!tk::FileExists(marker)) {
        Hide();
        Form3->ShowModal();
        // While the prompt was open every other window was disabled, so no
        // batch can have started; the check keeps it that way.
        if (!Converting) {
            Show();
            BringToFront();
        }
        tk::WriteFileReplacing(marker, "Done\r\n");
    }
}

void TForm1::FormCloseQuery(tk::Component*, bool& canClose) {
    if (Converting) canClose = false;
    // A folder that cannot be saved is reported, but it never keeps the
    // window from closing.
    tk::Guarded([&] { tk::WriteFileReplacing(tk::ProgramFolder() + kSettingsFile, SettingsText(Edit1->Text())); });
}

// ---- Window chrome ------------------------------------------------------------

void TForm1::Image2MouseDown(tk::Component*, tk::MouseButton button, tk::ShiftState, int x, int y) {
    DragMouseDown(MainDrag, button, x, y);
}

void TForm1::Image2MouseMove(tk::Component*, tk::ShiftState shift, int x, int y) {
    DragMouseMove(MainDrag, *this, shift, x, y);
}

void TForm1::Image2MouseUp(tk::Component*, tk::MouseButton button, tk::ShiftState, int, int) {
    DragMouseUp(MainDrag, button);
}

void TForm1::Label2MouseDown(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y) {
    Image2MouseDown(sender, button, shift, x, y);
}

void TForm1::Label2MouseMove(tk::Component* sender, tk::ShiftState shift, int x, int y) {
    Image2MouseMove(sender, shift, x, y);
}

void TForm1::Label2MouseUp(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y) {
    Image2MouseUp(sender, button, shift, x, y);
}

void TForm1::ImageButton8Click(tk::Component*) { tk::Application::Get().Minimize(this); }

void TForm1::ImageButton9Click(tk::Component*) { Close(); }

// ---- Source file list -----------------------------------------------------------

void TForm1::BindSourceList() {
    Field("ListView1", ListView1);
    Field("ImageButton2", ImageButton2);
    Field("ImageButton3", ImageButton3);
    Field("ImageButton4", ImageButton4);
    Field("ImageButton5", ImageButton5);
    Field("PopupMenu1", PopupMenu1);
    Field("Add1", Add1);
    Field("Delete1", Delete1);
    Field("Clear1", Clear1);
    Field("Play1", Play1);
    Field("OpenDialog1", OpenDialog1);
    Handler("ImageButton2Click", &TForm1::ImageButton2Click);
    Handler("ImageButton3Click", &TForm1::ImageButton3Click);
    Handler("ImageButton4Click", &TForm1::ImageButton4Click);
    Handler("ImageButton5Click", &TForm1::ImageButton5Click);
    Handler("Add1Click", &TForm1::Add1Click);
    Handler("Delete1Click", &TForm1::Delete1Click);
    Handler("Clear1Click", &TForm1::Clear1Click);
    Handler("Play1Click", &TForm1::Play1Click);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        const LRESULT result = DefaultHandling(message, wParam, lParam);
        WMDropFiles(reinterpret_cast<HDROP>(wParam));
        return result;
    }
    return Form::HandleMessage(message, wParam, lParam);
}

void TForm1::RefreshCountLabel() { Label1->SetCaption("Added " + std::to_string(ListView1->Count()) + " file(s)."); }

std::vector<std::string> TForm1::SourcePaths() const {
    std::vector<std::string> paths;
    const int count = ListView1->Count();
    for (int row = 0; row < count; ++row) paths.push_back(ListView1->Caption(row));
    return paths;
}

std::vector<std::wstring> TForm1::RowNames() const {
    std::vector<std::wstring> names;
    const int count = ListView1->Count();
    for (int row = 0; row < count; ++row) {
        std::wstring name = ListView1->ItemData(row);
        names.push_back(name.empty() ? tk::Widen(ListView1->Caption(row)) : std::move(name));
    }
    return names;
}

void TForm1::AddSourcePaths(const std::vector<std::wstring>& paths) {
    std::vector<ListedFile> candidates;
    for (const std::wstring& path : paths) {
        // A name that can be written neither in the ANSI code page nor in
        // short form could never be opened by the program: it is passed over.
        if (auto listed = ListedPath(path)) candidates.push_back({*listed, path});
    }
    for (const ListedFile& file : FilesToAdd(RowNames(), candidates))
        ListView1->AddItem(file.path, {FileSizeText(file.path)}, file.name);
}

void TForm1::ImageButton2Click(tk::Component*) {
    // Typed names are taken whatever they end in.
    if (OpenDialog1->Execute()) AddSourcePaths(OpenDialog1->Files());
    RefreshCountLabel();
}

void TForm1::ImageButton3Click(tk::Component*) {
    const int row = ListView1->SelectedIndex();
    if (row >= 0) ListView1->DeleteItem(row);
    RefreshCountLabel();
}

void TForm1::ImageButton4Click(tk::Component*) {
    ListView1->Clear();
    RefreshCountLabel();
}

void TForm1::ImageButton5Click(tk::Component*) {
    const int row = ListView1->SelectedIndex();
    if (row < 0) return;
    tk::ShellRequest request;
    request.owner = Handle();
    request.file = ListView1->Caption(row);
    request.show = SW_SHOW;
    tk::ShellOpen(request);
}

void TForm1::Add1Click(tk::Component*) { ImageButton2Click(nullptr); }

void TForm1::Delete1Click(tk::Component*) { ImageButton3Click(nullptr); }

void TForm1::Clear1Click(tk::Component*) { ImageButton4Click(nullptr); }

void TForm1::Play1Click(tk::Component*) { ImageButton5Click(nullptr); }

void TForm1::WMDropFiles(HDROP drop) {
    {
        tk::DropHandle files(drop);  // released however the listing ends
        std::vector<std::wstring> movies;
        for (std::wstring& path : tk::DroppedFiles(drop))
            if (HasMp4Extension(path)) movies.push_back(std::move(path));
        AddSourcePaths(movies);
    }
    RefreshCountLabel();
}

void TForm1::ClearSourceList() {
    ListView1->Clear();
    RefreshCountLabel();
}

// ---- Commands -----------------------------------------------------------------

// Start: only once the converter tool is in place, never during a batch,
// with files in the list and an output folder that exists; otherwise
// nothing happens. Every global is written before the progress window's
// first tick can come.
void TForm1::ImageButton1Click(tk::Component*) {
    if (!ToolReady || Converting) return;
    if (ListView1->Count() == 0) return;
    if (!tk::DirectoryExists(Edit1->Text())) return;
    // Output names go right behind the folder: a folder read back from an
    // older settings file without its backslash gets one here.
    OutputFolder = WithTrailingBackslash(Edit1->Text());
    SourceFiles = SourcePaths();
    SourceNames = RowNames();
    SourceCount = static_cast<int>(SourceFiles.size());
    CurrentIndex = 0;
    Form2->Timer1->SetEnabled(true);
    Hide();
    Form2->Show();
    Converting = true;
}

// The Help menu opens at the pointer; pressed by a key, the button has no
// pointer on it, and the menu opens below the button.
void TForm1::ImageButton6Click(tk::Component*) {
    POINT at{};
    if (ImageButton6->ClickedByKeyboard()) {
        at = POINT{0, ImageButton6->Height()};
        ::ClientToScreen(ImageButton6->Handle(), &at);
    } else {
        ::GetCursorPos(&at);
    }
    PopupMenu4->Popup(at.x, at.y);
}

void TForm1::Contents1Click(tk::Component*) {
    tk::ShellRequest open;
    open.owner = tk::Application::Get().Handle();
    open.file = tk::ProgramFolder() + "help.htm";
    open.noParameters = false;  // an empty parameter text
    open.show = SW_RESTORE;
    tk::ShellOpen(open);
}

void TForm1::AboutQuendrix1Click(tk::Component*) { AboutForm->ShowModal(); }

void TForm1::VisitQuendrixWebSite1Click(tk::Component*) { tk::OpenWebPage(kWebSite); }

void TForm1::ImageButton7Click(tk::Component*) { Close(); }

void TForm1::ImageButton10Click(tk::Component*) {
    const std::string folder = BrowseOutputFolder();
    if (tk::DirectoryExists(folder)) Edit1->SetText(folder);
}

std::string TForm1::BrowseOutputFolder() {
    std::string folder = tk::BrowseForFolder(tk::Application::Get().Handle());
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

// ---- The end of a batch -------------------------------------------------------

void TForm1::BatchEnded() {
    Show();
    Converting = false;
}

void TForm1::OpenOutputFolderIfAsked() {
    if (!CheckBox1->Checked()) return;
    tk::ShellRequest open;
    open.owner = Handle();
    open.file = Edit1->Text();
    open.show = SW_SHOW;
    tk::ShellOpen(open);
}
