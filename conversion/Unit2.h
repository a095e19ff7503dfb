// The progress window, the batch state it drives, and the conversion worker.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/BatchFile.h"
#include "conversion/BatchNames.h"
#include "conversion/FailureReasons.h"
#include "conversion/mpegconverter.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Thread.h"
#include "toolkit/Timer.h"

class TImageButton;

// The main window as the batch sees it: the main window makes itself known
// when it is created, and the batch reaches it only through this.
class TBatchHost {
public:
    virtual ~TBatchHost() = default;
    // Empties the source list and sets its count label to "Added 0 file(s).".
    virtual void ClearSourceList() = 0;
    // Shows the main window again; the batch is over (Converting false).
    virtual void BatchEnded() = 0;
    // Opens the output folder in the shell when the user asked for it.
    virtual void OpenOutputFolderIfAsked() = 0;
};
extern TBatchHost* BatchHost;

// The progress window. Its timer drives the batch: each tick either polls
// the file in work or, when the worker is idle, notes how the last file
// ended and hands over the next one. The worker's end of a job runs the same
// step at once, so no file waits for the next tick to be handed over; and so
// does showing this window for a batch, for the first file.
//
// Everything here runs on the UI thread, and none of it asks the disk: the
// worker checks each source, names and reserves its output, and finishes it
// (BatchFile.h); this window only hands files over, shows their progress and
// notes what the worker reports.
class TForm2 : public tk::Form {
public:
    TForm2();

    TImageButton* ImageButton9 = nullptr;  // title bar: minimises the application
    tk::Image* Image1 = nullptr;           // background; the drag surface
    tk::Image* Image2 = nullptr;           // edge strip of the bars (hidden)
    tk::Image* Image3 = nullptr;           // fill strip of the bars (hidden)
    tk::Image* Image4 = nullptr;           // trough of the current-file bar
    tk::Image* Image5 = nullptr;           // trough of the total bar
    tk::Image* Image6 = nullptr;           // current-file bar
    tk::Image* Image7 = nullptr;           // total bar
    tk::Label* Label1 = nullptr;           // the operation
    tk::Label* Label2 = nullptr;           // "Total Progress:"
    tk::Label* Label3 = nullptr;           // current-file percentage
    tk::Label* Label4 = nullptr;           // total percentage
    tk::Timer* Timer1 = nullptr;           // the batch driver

    void Image1MouseDown(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void Image1MouseMove(tk::Component* sender, tk::ShiftState shift, int x, int y);
    void Image1MouseUp(tk::Component* sender, tk::MouseButton button, tk::ShiftState shift, int x, int y);
    void ImageButton9Click(tk::Component* sender);
    void FormCreate(tk::Component* sender);
    // While a batch runs, a close request (Alt+F4, the task bar) minimises
    // the application instead: the batch goes on, and the program keeps its
    // task bar button.
    void FormClose(tk::Component* sender, tk::CloseAction& action);
    void Timer1Timer(tk::Component* sender);
    void FormDestroy(tk::Component* sender);

    // Hands one file to the worker, with the folder its output goes to and
    // its real name (the listed path when none is given), and shows it as
    // the operation. The worker reports it done either way: converted, or
    // not and why (a source that is missing, empty or copy-protected when
    // its turn comes is not given to the tool at all).
    void StartFile(const std::string& source, const std::string& folder, const std::wstring& realName = {});
    // Paints a bar of `percent` into the target picture (Image6 or Image7),
    // at most the bar's full width.
    void PaintBar(int percent, tk::Image* target);
    // The bars, their percentages and what screen readers are told of them.
    void ShowFilePercent(int percent);
    void ShowTotalPercent(int percent);
    // True from the Start command to the end of the batch's last file.
    static bool BatchRunning();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The bars are painted again at the new scale.
    void DpiChanged() override;

private:
    void BatchStep();
    void NoteOutcome();
    void FinishBatch();
    void NoteNotConverted(const std::wstring& source, const Failure& why);
    int filePercent_ = 0, totalPercent_ = 0;  // as the bars show them
};

extern TForm2* Form2;

// The batch, as the main window's Start command hands it over.
extern std::string OutputFolder;               // ends with a backslash
extern std::vector<std::string> SourceFiles;  // full paths as listed, in list order
// The real names of SourceFiles, entry for entry, in wide form. A source
// without an entry here is named by its listed path.
extern std::vector<std::wstring> SourceNames;
extern int SourceCount;
extern int CurrentIndex;  // files handed over so far
// The file in work.
// Set when it is handed over, until the worker reports it done:
extern std::string CurrentSource;       // as listed; the tool gets this one
extern std::wstring CurrentSourceName;  // its real name
// As the worker reports them: where the file goes, once its temporary file
// is reserved, and the name it took (or was to take) once it is done.
extern std::wstring TargetFile;  // its final output path
extern std::string TempFile;     // where the tool writes it; reserved by this batch; empty once done
// True while Timer1Timer runs.
extern bool TickBusy;
// The sources of the current batch that gave no whole output, in batch
// order: each one's real name and why.
extern std::vector<NotConvertedFile> NotConverted;

// The tool folder in short form, ending with a backslash; set by the main
// window's start-up step, read by the worker for every job.
extern std::string ToolFolder;

// The one background thread: converts one file at a time.
//
// A job is either a file of a batch (HandOver) or a bare run of the tool
// (SourcePath and TempPath set, then JobRequested and JobHandedOver). For a
// file of a batch the worker does everything that asks the disk: it checks
// the source, names the output and reserves its temporary file
// (PrepareFile), runs the tool, and then checks, flushes and names the result
// or removes it (FinishFile). A bare run only runs the tool on SourcePath
// into TempPath.
//
// Threads and data: the fields below (the hand-over, Idle, Percent, the
// tool's end and Outcome) are read and changed on the UI thread only, by the
// progress window and by the worker's synchronous steps, which run there
// while the worker waits: TakeJob, the report of a reserved temporary file,
// and JobDone. The hand-over is written only while Idle is true; the body
// takes its copies of it inside the TakeJob step. Whatever the body finds out
// on its own thread it hands over inside those steps. The body never touches
// a window, and the progress window never waits for the disk. The runner is
// shared: the worker holds it for as long as the body runs, so it never
// touches a freed one.
class TMyThread : public tk::Thread {
public:
    explicit TMyThread(std::shared_ptr<Tmpegconverter> converter);

    bool RunNow = false;     // JobRequested as TakeJob last took it
    std::string SourcePath;  // the job's source file, full path
    // Where the tool writes the job's output: given with a bare run; for a
    // file of a batch, set once the worker has reserved it.
    std::string TempPath;
    std::optional<BatchFile> File;  // the job's file of a batch; nothing for a bare run
    bool JobRequested = false;
    bool Idle = true;  // no job in work
    int Percent = 0;   // the current file's progress, from the last UpdateProgress
    // How the last job's tool ended: its exit code, or kToolNotRun when it
    // did not run to its end (or, for a file passed over, at all).
    DWORD ToolExitCode = kToolNotRun;
    static constexpr DWORD kToolNotRun = 0xFFFFFFFF;
    // Everything the last job's tool printed, taken when the job ended: why
    // a file failed is read from it.
    std::string ToolOutput;
    // How the last file of a batch ended; a bare run leaves it as it is.
    FileOutcome Outcome;
    // Run on the UI thread: once a file's temporary file is reserved, before
    // its tool starts; and at the end of JobDone.
    std::function<void(const PreparedFile&)> OnFileReserved;
    std::function<void()> OnJobDone;

    // On the UI thread, while Idle: hands over a file of a batch and wakes
    // the worker.
    void HandOver(const BatchFile& file);
    // On the UI thread, called synchronously by the worker.
    void TakeJob();
    void JobDone();
    // On the UI thread: a job has been handed over (JobRequested set); the
    // worker looks at once. An idle worker looks only when woken so: it
    // never wakes by itself while no job comes.
    void JobHandedOver() { Wake(); }
    // On the UI thread: drains the tool's output and computes Percent.
    void UpdateProgress();
    // Runs UpdateProgress on the UI thread and waits for it (directly when
    // called on the UI thread).
    void SyncProgress();

    // The command line of a job: the tool in ToolFolder, the source's short
    // path, the fixed switches and the temporary path.
    static std::string BuildCommandLine(const std::string& source, const std::string& tempPath);

protected:
    void Execute() override;

private:
    // How a job's run of the tool ended.
    struct ToolRun {
        bool started = false;
        DWORD exitCode = kToolNotRun;
        std::string output;
    };

    // On the worker thread.
    void RunFile(const BatchFile& file);
    ToolRun RunTool(const std::string& source, const std::string& tempPath);
    // Runs a piece of a file's work; false when it failed, after the failure
    // was shown as a failing step's is (on the UI thread). The worker goes
    // on, and so does the batch.
    bool AttemptFileWork(const std::function<void()>& work);
    // Hands the job's end to the UI thread (JobDone); a bare run has no
    // outcome.
    void ReportDone(const ToolRun& run, const std::optional<FileOutcome>& outcome);

    std::shared_ptr<Tmpegconverter> converter_;
};

// The engine, made by the progress window's FormCreate, released by its
// FormDestroy.
extern std::shared_ptr<Tmpegconverter> Converter;
extern TMyThread* Worker;
// The current source's duration in whole seconds (0: unknown); written by the
// worker at the start of each job, read by UpdateProgress.
extern std::atomic<int> DurationSeconds;

// The per-file percentage: position ÷ duration × 100, truncated; 0 when the
// duration is unknown (0). Not clamped: a position past the duration gives
// more than 100.
int PercentOf(int positionSeconds, int durationSeconds);

// How many characters of the message font fit on a line of the final box,
// on this screen.
size_t MessageLineBudget();

// What the program does when the tool cannot be started: show the message
// (plain message dialog) and end at once. Runs on the UI thread, in a step
// the worker waits for. Tests that start workers put a recorder in its place
// before they hand a job over; an empty function restores it.
//
// The seams of the file work the worker does (the size look-up, the
// reservation of a temporary name, a slow disk) are in BatchFile.h.
using FatalEnd = std::function<void(const std::string& message)>;
void SetFatalEndForTesting(FatalEnd end);
