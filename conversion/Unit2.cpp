#include "conversion/Unit2.h"

#include <algorithm>
#include <mutex>

#include "conversion/BatchNames.h"
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
    // Where the file in work goes, as the worker has found it on the disk.
    Worker->OnFileReserved = [](const PreparedFile& file) {
        TargetFile = file.target;
        TempFile = file.temp;
    };
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
        Worker->OnFileReserved = nullptr;
        Worker->OnJobDone = nullptr;
        Worker->Terminate();
        // An idle worker ends at once. One still inside a job goes on until
        // its tool has ended and then frees itself, with its own hold on the
        // runner; it leaves the file in work as the tool left it, and the
        // steps it would report in are no longer taken.
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
        // not converted, and the next tick takes the next file. (Nothing of
        // it is on the disk: only the worker reserves a temporary file.)
        if (Worker && Worker->Idle && !Worker->JobRequested && !CurrentSource.empty()) {
            NoteNotConverted(CurrentSourceName, {FailureKind::NotHandedOver, {}});
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
        // A file is in work (its checks, its tool or its finishing): show
        // its progress.
        Worker->SyncProgress();
        const int percent = Worker->Percent;
        ShowFilePercent(percent);
        ShowTotalPercent(TotalPercent(percent, CurrentIndex, SourceCount));
        return;
    }
    // Handed over, not yet taken: nothing is done.
    if (Worker->JobRequested) return;

    if (CurrentIndex == 0) NotConverted.clear();
    NoteOutcome();
    ++CurrentIndex;
    if (CurrentIndex > SourceCount) {
        FinishBatch();
        return;
    }
    Timer1->SetEnabled(false);
    if (CurrentIndex != 1) ShowFilePercent(100);  // the previous file is complete
    const size_t index = static_cast<size_t>(CurrentIndex - 1);
    StartFile(SourceFiles.at(index), OutputFolder, index < SourceNames.size() ? SourceNames[index] : L"");
}

void TForm2::NoteNotConverted(const std::wstring& source, const Failure& why) {
    NotConverted.push_back({source, ReasonText(why)});
}

void TForm2::StartFile(const std::string& source, const std::string& folder, const std::wstring& realName) {
    CurrentSource = source;
    CurrentSourceName = realName.empty() ? tk::Widen(source) : realName;
    TargetFile.clear();
    TempFile.clear();
    Label1->SetCaption(OperationText(CurrentSourceName));
    Timer1->SetEnabled(true);
    Worker->HandOver({source, CurrentSourceName, folder});
}

// The file the worker has reported done: noted in the final box when it
// was not converted. The worker has already given it its name, or removed
// it, or kept it under its temporary name.
void TForm2::NoteOutcome() {
    if (CurrentSource.empty()) return;  // no file handed over yet
    const std::wstring source = CurrentSourceName;
    CurrentSource.clear();
    CurrentSourceName.clear();
    TempFile.clear();
    TargetFile = Worker->Outcome.target;
    if (Worker->Outcome.failure) NoteNotConverted(source, *Worker->Outcome.failure);
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

void TMyThread::HandOver(const BatchFile& file) {
    SourcePath = file.source;
    TempPath.clear();
    File = file;
    JobRequested = true;
    JobHandedOver();
}

void TMyThread::TakeJob() {
    RunNow = JobRequested;
    if (!JobRequested) return;
    Idle = false;
    // The bars show nothing of the new job until its tool prints its
    // duration.
    DurationSeconds = 0;
}

void TMyThread::JobDone() {
    SourcePath.clear();
    TempPath.clear();
    File.reset();
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
        std::optional<BatchFile> file;
        Synchronize([&] {
            TakeJob();
            run = RunNow;
            source = SourcePath;
            tempPath = TempPath;
            file = File;
        });
        if (run && file)
            RunFile(*file);
        else if (run)
            ReportDone(RunTool(source, tempPath), std::nullopt);
        // Nothing to do until a job is handed over (JobHandedOver) or the
        // window ends (Terminate): the idle program wakes for nothing. After
        // a job too: the next one is handed over only once the UI thread has
        // seen this one done, so looking again at once would find nothing.
        Pause(INFINITE);
    }
}

// A file of a batch, from the checks of its source to its final name. Every
// call that may wait for the disk is made here, on the worker thread; the
// UI thread hears of the file only twice: where it goes, and how it ended.
void TMyThread::RunFile(const BatchFile& file) {
    PreparedFile prepared;
    if (!AttemptFileWork([&] { prepared = PrepareFile(file); }))
        prepared = {{}, {}, Failure{FailureKind::NotHandedOver, {}}};
    if (prepared.passedOver) {
        ReportDone({}, FileOutcome{{}, prepared.passedOver});
        return;
    }
    const bool heard = Synchronize([&] {
        TempPath = prepared.temp;
        if (OnFileReserved) OnFileReserved(prepared);
    });
    // The program is ending and takes no more steps: the tool is not started
    // for nobody, and the file reserved for it goes.
    if (!heard) {
        ::DeleteFileA(prepared.temp.c_str());
        return;
    }
    const ToolRun run = RunTool(file.source, prepared.temp);
    // Told to stop (the progress window is gone): the file stays as its tool
    // left it, and nobody is left to hear how it ended.
    if (Terminated()) {
        ReportDone(run, std::nullopt);
        return;
    }
    FileOutcome outcome;
    // A failure of the finishing itself leaves the result where the tool
    // wrote it, as far as anyone can tell.
    if (!AttemptFileWork([&] { outcome = FinishFile(file, prepared, run.exitCode, run.output); }))
        outcome = {prepared.target, Failure{FailureKind::NotRenamed, FileNamePart(prepared.temp)}};
    ReportDone(run, outcome);
}

bool TMyThread::AttemptFileWork(const std::function<void()>& work) {
    std::string failure;
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error";
    }
    Synchronize([&] { tk::Application::Get().ShowError(failure); });
    return false;
}

// Runs the tool on one source into its temporary file, to the tool's end.
TMyThread::ToolRun TMyThread::RunTool(const std::string& source, const std::string& tempPath) {
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
    if (!fatal.empty()) {
        ::DeleteFileA(tempPath.c_str());
        Synchronize([&] { EndProgram(fatal); });
    }
    if (!unexpected.empty()) Synchronize([&] { tk::Application::Get().ShowError(unexpected); });

    // A started tool is never left behind: the next job must not start while
    // it still writes. Besides the progress window's polls the worker looks
    // itself, so the job is reported soon after the tool's end (and also when
    // nobody polls any more at shut-down).
    ToolRun run;
    run.started = started;
    if (started) {
        while (!converter_->Finished()) {
            converter_->WaitForToolEnd(kToolEndPause);
            converter_->PollOutput();
        }
        run.output = converter_->Output();
    }
    if (started && unexpected.empty()) run.exitCode = converter_->ExitCode();
    return run;
}

void TMyThread::ReportDone(const ToolRun& run, const std::optional<FileOutcome>& outcome) {
    Synchronize([&] {
        // Percent ends at the tool's last position, whichever drain took it.
        if (run.started) UpdateProgress();
        ToolExitCode = run.exitCode;
        ToolOutput = run.output;
        if (outcome) Outcome = *outcome;
        JobDone();
    });
}
