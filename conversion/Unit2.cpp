#include "conversion/Unit2.h"

#include <algorithm>
#include <mutex>

#include "conversion/AviFile.h"
#include "conversion/BatchNames.h"
#include "conversion/Mp4Protection.h"
#include "skin/DragMove.h"
#include "skin/ImageButton3.h"
#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Files.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

TForm2* Form2 = nullptr;
TBatchHost* BatchHost = nullptr;
std::string OutputFolder;
std::vector<std::string> SourceFiles;
std::vector<std::wstring> SourceNames;
int SourceCount = 0;
int CurrentIndex = 0;
std::string CurrentSource;
std::wstring CurrentSourceName;
std::wstring TargetFile;
std::string TempFile;
bool TickBusy = false;
std::vector<NotConvertedFile> NotConverted;
std::string ToolFolder;

std::shared_ptr<Tmpegconverter> Converter;
TMyThread* Worker = nullptr;
std::atomic<int> DurationSeconds{0};

namespace {

constexpr DWORD kToolEndPause = 500;   // ms between looks at whether the tool has ended
constexpr DWORD kShutdownWait = 1000;  // ms the progress window gives the worker to end
// Posted by the worker's end of a job: run the batch step now.
constexpr UINT kRunBatchStep = WM_APP + 20;
// How many "[k]" names a finished file tries when its names keep being taken.
constexpr int kMoveAttempts = 100;
// How often, and how many ms apart, a finished file is flushed before it is
// given up as held by another program.
constexpr int kFlushAttempts = 3;
constexpr DWORD kFlushPause = 100;

DragState ProgressDrag;

FatalEnd& FatalEndOverride() {
    static FatalEnd end;
    return end;
}

// On the UI thread.
void EndProgram(const std::string& message) {
    if (FatalEndOverride()) {
        FatalEndOverride()(message);
        return;
    }
    tk::ShowMessage(message);
    ::ExitProcess(1);
}

SizeLookup& SizeLookupOverride() {
    static SizeLookup lookup;
    return lookup;
}

ReserveName& ReserveNameOverride() {
    static ReserveName reserve;
    return reserve;
}

Reservation ReserveByCreating(const std::string& path) {
    if (ReserveNameOverride()) return ReserveNameOverride()(path);
    switch (tk::CreateNewFile(path)) {
    case tk::NewFile::Made: return Reservation::Reserved;
    case tk::NewFile::NameTaken: return Reservation::Taken;
    default: return Reservation::Failed;
    }
}

std::optional<long long> SourceSize(const std::string& path) {
    return SizeLookupOverride() ? SizeLookupOverride()(path) : tk::LookUpSize(path);
}

}  // namespace

size_t MessageLineBudget() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    int average = 0;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        tk::WindowDc screen(nullptr);
        tk::Font font(::CreateFontIndirectW(&metrics.lfMessageFont));
        if (screen.Get() && font) {
            tk::ScopedSelect select(screen.Get(), font.Get());
            TEXTMETRICW text{};
            if (::GetTextMetricsW(screen.Get(), &text)) average = text.tmAveCharWidth;
        }
    }
    return LineBudget(::GetSystemMetrics(SM_CXSCREEN), average > 0 ? average : 7);
}

void SetFatalEndForTesting(FatalEnd end) { FatalEndOverride() = std::move(end); }

void SetSizeLookupForTesting(SizeLookup lookup) { SizeLookupOverride() = std::move(lookup); }

void SetReserveNameForTesting(ReserveName reserve) { ReserveNameOverride() = std::move(reserve); }

int PercentOf(int positionSeconds, int durationSeconds) {
    if (durationSeconds <= 0) return 0;
    return static_cast<int>(static_cast<long long>(positionSeconds) * 100 / durationSeconds);
}

// ---- TForm2 -------------------------------------------------------------------

TForm2::TForm2() : Form("tform2.json") {
    Field("ImageButton9", ImageButton9);
    Field("Image1", Image1);
    Field("Image2", Image2);
    Field("Image3", Image3);
    Field("Image4", Image4);
    Field("Image5", Image5);
    Field("Image6", Image6);
    Field("Image7", Image7);
    Field("Label1", Label1);
    Field("Label2", Label2);
    Field("Label3", Label3);
    Field("Label4", Label4);
    Field("Timer1", Timer1);
    Handler("Image1MouseDown", &TForm2::Image1MouseDown);
    Handler("Image1MouseMove", &TForm2::Image1MouseMove);
    Handler("Image1MouseUp", &TForm2::Image1MouseUp);
    Handler("ImageButton9Click", &TForm2::ImageButton9Click);
    Handler("FormCreate", &TForm2::FormCreate);
    Handler("FormClose", &TForm2::FormClose);
    Handler("Timer1Timer", &TForm2::Timer1Timer);
    Handler("FormDestroy", &TForm2::FormDestroy);
}

void TForm2::FormCreate(tk::Component*) {
    Converter = std::make_shared<Tmpegconverter>();
    SourceFiles.clear();
    Worker = new TMyThread(Converter);
    // The worker's end of a job hands over the next file at once; a step
    // posted, not run inside the worker's synchronous call, so the worker
    // never waits for the final box.
    const HWND window = Handle();
    Worker->OnJobDone = [window] { ::PostMessageA(window, kRunBatchStep, 0, 0); };
    Worker->Start();
}

bool TForm2::BatchRunning() { return SourceCount > 0 && CurrentIndex <= SourceCount; }

void TForm2::FormClose(tk::Component*, tk::CloseAction& action) {
    // The finishing steps close this window once the last file is done.
    if (!BatchRunning()) return;
    action = tk::CloseAction::None;
    tk::Application::Get().Minimize(this);
}

void TForm2::FormDestroy(tk::Component*) {
    if (Worker) {
        Worker->OnJobDone = nullptr;
        Worker->Terminate();
        // An idle worker ends at once. One still inside a job goes on until
        // its tool has ended and then frees itself, with its own hold on the
        // runner.
        if (Worker->WaitFor(kShutdownWait))
            delete Worker;
        else
            Worker->FreeOnTerminate();
        Worker = nullptr;
    }
    Converter.reset();
    SourceFiles.clear();
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunBatchStep) {
        // Only while a batch runs; its timer is on from the first file to the
        // finishing steps.
        if (Timer1->Enabled()) Timer1Timer(Timer1);
        return 0;
    }
    // Shown for a batch (the Start command enables the timer before it shows
    // this window): the first step runs as soon as the Start command has
    // returned, instead of a whole tick later. Posted, so that the Start
    // command has written all of the batch before it runs; a step that comes
    // when nothing is due is harmless, as any tick is.
    if (message == WM_SHOWWINDOW && wParam && Timer1->Enabled()) ::PostMessageA(Handle(), kRunBatchStep, 0, 0);
    return DefaultHandling(message, wParam, lParam);
}

void TForm2::Image1MouseDown(tk::Component*, tk::MouseButton button, tk::ShiftState, int x, int y) {
    DragMouseDown(ProgressDrag, button, x, y);
}

void TForm2::Image1MouseMove(tk::Component*, tk::ShiftState shift, int x, int y) {
    DragMouseMove(ProgressDrag, *this, shift, x, y);
}

void TForm2::Image1MouseUp(tk::Component*, tk::MouseButton button, tk::ShiftState, int, int) {
    DragMouseUp(ProgressDrag, button);
}

// The batch goes on while the application is minimised; this button never
// touches it.
void TForm2::ImageButton9Click(tk::Component*) { tk::Application::Get().Minimize(this); }

void TForm2::Timer1Timer(tk::Component*) {
    if (TickBusy) return;
    TickBusy = true;
    try {
        BatchStep();
    } catch (...) {
        tk::Application::Get().HandleException();
        // The batch goes on. A file that could not be handed over counts as
        // not converted, and the next tick takes the next file.
        if (Worker && Worker->Idle && !Worker->JobRequested && !CurrentSource.empty()) {
            NoteNotConverted(CurrentSourceName, {FailureKind::NotHandedOver, {}});
            if (!TempFile.empty()) ::DeleteFileA(TempFile.c_str());  // reserved by us, never written
            CurrentSource.clear();
            CurrentSourceName.clear();
            TempFile.clear();
            TargetFile.clear();
        }
        if (CurrentIndex <= SourceCount) Timer1->SetEnabled(true);
    }
    TickBusy = false;
}

void TForm2::BatchStep() {
    if (!Worker->Idle) {
        // A file converts: show its progress.
        Worker->SyncProgress();
        const int percent = Worker->Percent;
        ShowFilePercent(percent);
        ShowTotalPercent(TotalPercent(percent, CurrentIndex, SourceCount));
        return;
    }
    // Handed over, not yet taken: nothing is finished.
    if (Worker->JobRequested) return;

    if (CurrentIndex == 0) NotConverted.clear();
    FinishFile();
    // The next file that can be handed over; a file whose temporary file
    // cannot be made is noted and passed over at once.
    for (;;) {
        ++CurrentIndex;
        if (CurrentIndex > SourceCount) {
            FinishBatch();
            return;
        }
        Timer1->SetEnabled(false);
        if (CurrentIndex != 1) ShowFilePercent(100);  // the previous file is complete
        const size_t index = static_cast<size_t>(CurrentIndex - 1);
        if (StartFile(SourceFiles.at(index), OutputFolder, index < SourceNames.size() ? SourceNames[index] : L""))
            return;
    }
}

void TForm2::NoteNotConverted(const std::wstring& source, const Failure& why) {
    NotConverted.push_back({source, ReasonText(why)});
}

bool TForm2::StartFile(const std::string& source, const std::string& folder, const std::wstring& realName) {
    CurrentSource = source;
    CurrentSourceName = realName.empty() ? tk::Widen(source) : realName;
    Label1->SetCaption(OperationText(CurrentSourceName));
    Timer1->SetEnabled(true);
    // A file that cannot be handed over is noted, and nothing of it stays.
    const auto passOver = [this](const Failure& why) {
        NoteNotConverted(CurrentSourceName, why);
        CurrentSource.clear();
        CurrentSourceName.clear();
        TargetFile.clear();
        return false;
    };
    // A source gone or emptied since it was listed is not worth a run.
    if (!tk::FileExists(source)) return passOver({FailureKind::SourceMissing, {}});
    // Only a size known to be 0 is empty; a size that cannot be looked up
    // leaves it to the tool.
    const std::optional<long long> size = SourceSize(source);
    if (size && *size == 0) return passOver({FailureKind::SourceEmpty, {}});
    // Encrypted pictures or sound would come out scrambled, or not at all:
    // the tool is not run for them. A source the check cannot follow goes
    // to the tool, which tells what it is.
    if (Mp4ProtectionOfFile(tk::Widen(source)) == Mp4Protection::Protected)
        return passOver({FailureKind::CopyProtected, {}});
    TargetFile = MakeOutputName(CurrentSourceName, folder);
    TempFile = ReserveTempName(folder, TargetFile, ReserveByCreating);
    // No temporary file: the output folder is gone or takes no file. A
    // folder that takes a file of another name is writable: this file alone
    // could not be handed over.
    if (TempFile.empty()) {
        if (!tk::DirectoryExists(folder)) return passOver({FailureKind::OutputFolderMissing, {}});
        return passOver({tk::FolderTakesNewFile(folder) ? FailureKind::NotHandedOver
                                                        : FailureKind::OutputFolderNotWritable,
                         {}});
    }
    Worker->SourcePath = source;
    Worker->TempPath = TempFile;
    Worker->JobRequested = true;
    Worker->JobHandedOver();
    return true;
}

std::wstring TForm2::MakeOutputName(const std::wstring& source, const std::string& folder) {
    return FreeNameIn(tk::Widen(folder), OutputBaseName(source), [](const std::wstring& path) {
        return tk::PathExists(path);
    });
}

// The file whose tool has ended gets its final name when the tool left a
// whole AVI; otherwise the file is noted with what the tool printed, and
// what its tool left under the temporary name goes. The temporary file was
// reserved by this batch for this file, so whatever is there is the tool's.
void TForm2::FinishFile() {
    if (TempFile.empty()) return;  // no file in work yet
    const std::wstring source = CurrentSourceName, temp = tk::Widen(TempFile);
    const std::string tempPath = TempFile;
    CurrentSource.clear();
    CurrentSourceName.clear();
    TempFile.clear();
    // An exit code alone can lie: a tool ended from outside may report 0.
    const AviCheck avi = Worker->ToolExitCode == 0 && !SourceCutShort(Worker->ToolOutput) ? CheckAviFile(temp)
                                                                                            : AviCheck{};
    // A whole AVI without a single frame is no conversion: the source had
    // nothing to convert (the first segment of a stream whose samples live
    // in the files after it).
    if (avi.whole && avi.frames == 0) {
        ::DeleteFileW(temp.c_str());
        NoteNotConverted(source, {FailureKind::NoMedia, {}});
        return;
    }
    if (!avi.whole) {
        // The disk is asked while the leftovers are still there: a delete
        // need not give their space back at once (a file still held open by
        // a scanner is only "delete pending"), and one may fail.
        const std::optional<unsigned long long> freeBytes = tk::FreeSpace(OutputFolder);
        ::DeleteFileW(temp.c_str());
        NoteNotConverted(source,
                         CheckedAgainstDisk(ToolFailure(Worker->ToolOutput, Worker->ToolExitCode, tempPath), freeBytes));
        return;
    }
    // Whole on disk before it takes its name, not only in the system's cache:
    // a power cut after "Done." must not leave zeros under the final name. A
    // file that another program holds open without write sharing cannot be
    // flushed for as long as it does: it is not called converted, keeps its
    // temporary name, and the box says so.
    bool flushed = false;
    for (int attempt = 0; attempt < kFlushAttempts && !flushed; ++attempt) {
        if (attempt > 0) ::Sleep(kFlushPause);
        flushed = tk::FlushToDisk(temp);
    }
    if (!flushed) {
        NoteNotConverted(source, {FailureKind::NotFlushed, FileNamePart(tempPath)});
        return;
    }
    // A name taken while the file converted gives way to the next free one;
    // nothing is ever replaced.
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (::MoveFileExW(temp.c_str(), TargetFile.c_str(), MOVEFILE_WRITE_THROUGH)) return;
        if (!tk::PathExists(TargetFile)) break;
        TargetFile = MakeOutputName(source, OutputFolder);
    }
    // It could not be moved: it stays where it is, under its temporary
    // name, and the box says so.
    NoteNotConverted(source, {FailureKind::NotRenamed, FileNamePart(tempPath)});
}

void TForm2::FinishBatch() {
    ShowFilePercent(100);
    ShowTotalPercent(100);
    Timer1->SetEnabled(false);
    // Each step is done even when one before it fails: the main window must
    // come back.
    tk::Guarded([] {
        if (BatchHost) BatchHost->ClearSourceList();
    });
    tk::Guarded([&] { tk::ShowMessage(DoneMessage(NotConverted, MessageLineBudget()), Handle()); });
    tk::Guarded([&] { Close(); });
    tk::Guarded([] {
        if (BatchHost) BatchHost->BatchEnded();
    });
    tk::Guarded([] {
        if (BatchHost) BatchHost->OpenOutputFolderIfAsked();
    });
}

// The bars tell screen readers their percentages too.
void TForm2::ShowFilePercent(int percent) {
    // A bar already showing this percentage is left as it is.
    if (percent != filePercent_ || Image6->Picture().Empty()) PaintBar(percent, Image6);
    filePercent_ = percent;
    const std::string text = std::to_string(percent) + "%";
    Image6->SetAccessibleValue(tk::Widen(text));
    Label3->SetCaption(text);
}

void TForm2::ShowTotalPercent(int percent) {
    if (percent != totalPercent_ || Image7->Picture().Empty()) PaintBar(percent, Image7);
    totalPercent_ = percent;
    const std::string text = std::to_string(percent) + "%";
    Image7->SetAccessibleValue(tk::Widen(text));
    Label4->SetCaption(text);
}

void TForm2::PaintBar(int percent, tk::Image* target) {
    // A source that plays longer than its stated duration goes past 100 %:
    // the bar stays full. The bar's place is scaled as the layout's are; the
    // edge strip stands at both ends and the fill stretches between.
    const int width = std::min(tk::ScaleToDpi(BarWidth(percent), Dpi()), target->Width());
    const int height = target->Height();
    tk::Bitmap bar(width, height);
    if (!bar.Empty()) {
        const tk::Bitmap& edge = Image2->Picture();
        const int edgeWidth = std::min(edge.Width(), width / 2);
        edge.StretchDraw(bar.Dc(), RECT{0, 0, edge.Width(), height});
        edge.StretchDraw(bar.Dc(), RECT{width - edge.Width(), 0, width, height});
        if (width > 2 * edgeWidth) Image3->Picture().StretchDraw(bar.Dc(), RECT{edgeWidth, 0, width - edgeWidth, height});
        ::GdiFlush();
    }
    target->SetPicture(std::move(bar));
}

void TForm2::DpiChanged() {
    PaintBar(filePercent_, Image6);
    PaintBar(totalPercent_, Image7);
}

// ---- TMyThread ----------------------------------------------------------------

TMyThread::TMyThread(std::shared_ptr<Tmpegconverter> converter) : converter_(std::move(converter)) {}

void TMyThread::TakeJob() {
    RunNow = JobRequested;
    if (JobRequested) Idle = false;
}

void TMyThread::JobDone() {
    SourcePath.clear();
    TempPath.clear();
    RunNow = false;
    JobRequested = false;
    Idle = true;
    if (OnJobDone) OnJobDone();
}

void TMyThread::UpdateProgress() {
    converter_->PollOutput();
    Percent = PercentOf(converter_->GetTime(), DurationSeconds);
}

void TMyThread::SyncProgress() {
    Synchronize([this] { UpdateProgress(); });
}

namespace {

// The tool folder's short form, made once for each value of ToolFolder: the
// folder stays where it is for the whole run, and each look-up walks its path
// on disk.
std::string ShortToolFolder() {
    static std::mutex lock;
    static std::string folder, shortForm;
    std::lock_guard<std::mutex> hold(lock);
    if (shortForm.empty() || folder != ToolFolder) {
        folder = ToolFolder;
        shortForm = tk::ShortPathName(ToolFolder);
    }
    return shortForm;
}

}  // namespace

std::string TMyThread::BuildCommandLine(const std::string& source, const std::string& tempPath) {
    // The output file does not exist yet, so it has no short form.
    return ToolCommandLine(ShortToolFolder(), tk::ShortPathName(source), tempPath);
}

void TMyThread::Execute() {
    while (!Terminated()) {
        bool run = false;
        std::string source, tempPath;
        Synchronize([&] {
            TakeJob();
            run = RunNow;
            source = SourcePath;
            tempPath = TempPath;
        });
        if (run) RunJob(source, tempPath);
        // Nothing to do until a job is handed over (JobHandedOver) or the
        // window ends (Terminate): the idle program wakes for nothing. After
        // a job too: the next one is handed over only once the UI thread has
        // seen this one done, so looking again at once would find nothing.
        Pause(INFINITE);
    }
}

void TMyThread::RunJob(const std::string& source, const std::string& tempPath) {
    DurationSeconds = 0;
    bool started = false;
    std::string fatal, unexpected;
    try {
        converter_->RunTool(BuildCommandLine(source, tempPath));
        started = true;
        converter_->ReadOutput();
        DurationSeconds = converter_->TimeToSeconds(converter_->GetDuration());
    } catch (const ToolStartFailure& failure) {
        fatal = failure.what();
    } catch (const std::exception& failure) {
        unexpected = failure.what();
    } catch (...) {
        unexpected = "Unknown error";
    }
    // The program ends: the file this batch reserved for the job goes first,
    // as the tool never wrote it.
    if (!fatal.empty()) Synchronize([&] {
        ::DeleteFileA(tempPath.c_str());
        EndProgram(fatal);
    });
    if (!unexpected.empty()) Synchronize([&] { tk::Application::Get().ShowError(unexpected); });

    // A started tool is never left behind: the next job must not start while
    // it still writes. Besides the progress window's polls the worker looks
    // itself, so the job is reported soon after the tool's end (and also when
    // nobody polls any more at shut-down).
    if (started) {
        while (!converter_->Finished()) {
            converter_->WaitForToolEnd(kToolEndPause);
            converter_->PollOutput();
        }
    }
    // Percent ends at the tool's last position, whichever drain took it.
    const DWORD exitCode = started && unexpected.empty() ? converter_->ExitCode() : kToolNotRun;
    Synchronize([this, started, exitCode] {
        if (started) UpdateProgress();
        ToolExitCode = exitCode;
        ToolOutput = started ? converter_->Output() : std::string();
        JobDone();
    });
}
