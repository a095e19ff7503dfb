// The progress window, the batch state it drives, and the conversion worker.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "conversion/mpegconverter.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Thread.h"
#include "toolkit/Timer.h"

class TForm2 : public tk::Form {
public:
    TForm2();

    tk::Image* Image1 = nullptr;  // background
    tk::Timer* Timer1 = nullptr;  // the batch driver

    void FormCreate(tk::Component* sender);
    void FormDestroy(tk::Component* sender);
};

extern TForm2* Form2;

// The batch, as the main window's Start command hands it over.
extern std::string OutputFolder;               // ends with a backslash
extern std::vector<std::string> SourceFiles;  // full paths, in list order
extern int SourceCount;
extern int CurrentIndex;  // files handed over so far

// The tool folder in short form, ending with a backslash; set by the main
// window's start-up step, read by the worker for every job.
extern std::string ToolFolder;

// The one background thread: converts one file at a time.
//
// Threads and data: the hand-over fields (RunNow, SourcePath, TempPath,
// JobRequested, Idle) and Percent are changed on the UI thread only, by the
// progress window and by the worker's synchronous steps TakeJob and JobDone;
// SourcePath and TempPath are written only while Idle is true; the body takes
// its copies of them inside the TakeJob step. The runner is shared: the worker
// holds it for as long as the body runs, so it never touches a freed one.
class TMyThread : public tk::Thread {
public:
    explicit TMyThread(std::shared_ptr<Tmpegconverter> converter);

    bool RunNow = false;     // JobRequested as TakeJob last took it
    std::string SourcePath;  // the job's source file, full path
    std::string TempPath;    // where the tool writes the job's output
    bool JobRequested = false;
    bool Idle = true;  // no job in work
    int Percent = 0;   // the current file's progress, from the last UpdateProgress

    // On the UI thread, called synchronously by the worker.
    void TakeJob();
    void JobDone();
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
    void RunJob(const std::string& source, const std::string& tempPath);

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

// What the program does when the tool cannot be started: show the message
// (plain message dialog) and end at once. Runs on the UI thread. Tests that
// start workers put a recorder in its place; an empty function restores it.
using FatalEnd = std::function<void(const std::string& message)>;
void SetFatalEndForTesting(FatalEnd end);
