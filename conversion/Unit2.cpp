#include "conversion/Unit2.h"

#include "toolkit/Application.h"
#include "toolkit/Files.h"

TForm2* Form2 = nullptr;
std::string OutputFolder;
std::vector<std::string> SourceFiles;
int SourceCount = 0;
int CurrentIndex = 0;
std::string ToolFolder;

std::shared_ptr<Tmpegconverter> Converter;
TMyThread* Worker = nullptr;
std::atomic<int> DurationSeconds{0};

namespace {

constexpr DWORD kJobCheckPause = 500;  // ms between looks for a job; below the batch timer's 1000 ms
constexpr DWORD kToolEndPause = 500;   // ms between looks at whether the tool has ended
constexpr DWORD kShutdownWait = 1000;  // ms the progress window gives the worker to end

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

void SetFatalEndForTesting(FatalEnd end) { FatalEndOverride() = std::move(end); }

int PercentOf(int positionSeconds, int durationSeconds) {
    if (durationSeconds <= 0) return 0;
    return static_cast<int>(static_cast<long long>(positionSeconds) * 100 / durationSeconds);
}

// ---- TForm2 -------------------------------------------------------------------

TForm2::TForm2() : Form("tform2.json") {
    Field("Image1", Image1);
    Field("Timer1", Timer1);
    Handler("FormCreate", &TForm2::FormCreate);
    Handler("FormDestroy", &TForm2::FormDestroy);
}

void TForm2::FormCreate(tk::Component*) {
    Converter = std::make_shared<Tmpegconverter>();
    SourceFiles.clear();
    Worker = new TMyThread(Converter);
    Worker->Start();
}

void TForm2::FormDestroy(tk::Component*) {
    if (Worker) {
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
}

void TMyThread::UpdateProgress() {
    converter_->PollOutput();
    Percent = PercentOf(converter_->GetTime(), DurationSeconds);
}

void TMyThread::SyncProgress() {
    Synchronize([this] { UpdateProgress(); });
}

std::string TMyThread::BuildCommandLine(const std::string& source, const std::string& tempPath) {
    // The output file does not exist yet, so it has no short form.
    return ToolCommandLine(tk::ShortPathName(ToolFolder), tk::ShortPathName(source), tempPath);
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
        Pause(kJobCheckPause);
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
    if (!fatal.empty()) Synchronize([&] { EndProgram(fatal); });
    if (!unexpected.empty()) Synchronize([&] { tk::Application::Get().ShowError(unexpected); });

    // A started tool is never left behind: the next job must not start while
    // it still writes. Besides the progress window's polls the worker looks
    // itself, so the job is reported soon after the tool's end (and also when
    // nobody polls any more at shut-down).
    if (started) {
        while (!converter_->Finished()) {
            ::Sleep(kToolEndPause);
            converter_->PollOutput();
        }
    }
    // Percent ends at the tool's last position, whichever drain took it.
    Synchronize([this, started] {
        if (started) UpdateProgress();
        JobDone();
    });
}
