// The converter tool: its command line, the lines it prints, and the runner
// that starts it as a hidden process with its console on a pipe.
//
// The tool is FFmpeg, installed as "nnn.exe". Two generations of its output
// are understood: the older one prints its position as "time=83.2", the
// current one as "time=00:01:23.20"; both print "  Duration: 00:01:23.20"
// (or "  Duration: N/A") before the first status line.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "toolkit/Handles.h"
#include "toolkit/Text.h"

// ---- The command line -------------------------------------------------------

inline constexpr char kToolSwitches[] =
    " -vcodec mpeg4 -vtag divx -qscale 6 -b 320000 -acodec mp3 -ac 2 -ar 44100 -ab 128000 -f avi ";
// The output is a file the batch has reserved (made empty, exclusively) for
// this run: the tool may write over it, and over nothing else.
inline constexpr char kOverwriteSwitch[] = "-y ";

// One argument written so that the tool's runtime (the rules of
// CommandLineToArgvW) reads it back unchanged: as it is when it is not empty
// and holds no blank, tab, line end or quote; otherwise between quotes, each
// quote escaped by a backslash and the backslashes in front of a quote or of
// the closing quote doubled.
std::string QuoteArgument(const std::string& argument);

// "<toolFolder>nnn.exe -i <source> <switches> -y <output>", each path quoted
// where it has to be; toolFolder ends with a backslash.
std::string ToolCommandLine(const std::string& toolFolder, const std::string& source, const std::string& output);

// ---- What the tool prints -----------------------------------------------------

// True once the output holds what ends the wait at the start of a run: a
// duration line whose value is complete, or the tool's word that the input
// is not media ("Unknown format", "Invalid data found when processing input").
bool HasStartupMarker(const std::string& output);

// The value of the first duration line up to its whole seconds: "01:02:03"
// of "  Duration: 01:02:03.4, start: ...", "N/A" when the tool printed that,
// "00:00:00" when there is no duration line. A duration line begins its line
// (after blanks), so a title or file name holding "Duration: " does not count.
std::string DurationText(const std::string& output);

// The last position the tool printed, up to its whole seconds: "83" of
// "time=83.2", "00:01:23" of "time=00:01:23.20"; "0" before the first status
// line. A position cut off by the end of the output (the rest has not been
// read yet) gives way to the one before it.
std::string TimeText(const std::string& output);

// "hh:mm:ss" (two or more digits of hours) in seconds; 0 for any other text.
int ClockSeconds(const std::string& text);

// A time text in whole seconds: "83" or "00:01:23" give 83; 0 for any other
// text (such as "N/A" or a negative position).
int PositionSeconds(const std::string& text);

// Every NUL byte turned into a space.
void ReplaceNuls(std::string& bytes);

// ---- The runner ---------------------------------------------------------------

inline constexpr char kPipeFailure[] = "Can not create a pipe for STDOUT!";
inline constexpr char kCreateProcessFailure[] = "CreateProcess error!";

// A start of the tool that fails is tried again, this many times in all,
// after a pause that grows each time (in all about a second): under Wine a
// start fails now and then, and on Windows a scanner may still hold the
// freshly written tool.
inline constexpr int kStartAttempts = 3;
inline constexpr DWORD kFirstRetryPause = 300;  // ms; the second pause is twice as long

// How the runner starts a process: CreateProcessA with the command line
// (writable), the creation flags and the start-up information; true when it
// started. Tests put one in place that fails the first starts.
using ProcessStart = std::function<bool(std::string& commandLine, DWORD flags, STARTUPINFOA& startup,
                                        PROCESS_INFORMATION& started)>;

// The creation flags of the tool: suspended, so that it joins the runner's
// job before it runs; and out of the job the program itself runs in, where
// that job lets its processes break away (a job that allows no nested job,
// as on Windows 7, would otherwise keep the tool out of ours).
DWORD ToolCreationFlags(bool programInJob, DWORD outerJobLimits);

// One try at starting the tool with those flags: a start out of the
// program's job that the system refuses is made again at once as a plain
// one. True when one of them started.
bool StartOnce(DWORD flags, const std::function<bool(DWORD flags)>& start);

// RunTool could not start the tool; the text is one of the two messages
// above, which the program shows before it ends.
class ToolStartFailure : public tk::Error {
public:
    using tk::Error::Error;
};

// Runs the tool, one run at a time, and collects what it prints.
//
// Every run's process belongs to a job object of the runner's that ends its
// processes when its last handle closes: the tool never outlives the
// program, however the program ends.
//
// Threads: the worker calls RunTool and the first ReadOutput of a run and
// then polls for the tool's end; the UI thread polls for progress. Every
// drain of the pipe and every look at the collected text happens under one
// lock, so any thread may call any operation. Waiting is done outside the
// lock, in 100 ms pauses.
class Tmpegconverter {
public:
    Tmpegconverter();
    // Releases the handles of a run still held; a tool still running ends
    // with the job's handle.
    ~Tmpegconverter() = default;
    Tmpegconverter(const Tmpegconverter&) = delete;
    Tmpegconverter& operator=(const Tmpegconverter&) = delete;

    // Starts a run: clears the output and Finished, starts the tool hidden
    // with its standard output and error on a pipe, below normal priority
    // and inside the runner's job, and returns at once.
    // A start that fails is tried again (kStartAttempts in all); a start
    // out of the program's job that the system refuses is made again as a
    // plain one. Throws ToolStartFailure when the pipe cannot be made or the
    // process still cannot be started.
    void RunTool(const std::string& commandLine);

    // Tests: the process start to use; an empty function restores
    // CreateProcessA.
    void SetProcessStartForTesting(ProcessStart start) { start_ = std::move(start); }

    // Drains the pipe, then waits in 100 ms steps (draining after each; the
    // tool's end ends a step at once) until the output holds the duration
    // line or the not-media message, or the tool has ended. Returns at once
    // when no run is in progress.
    void ReadOutput();

    // Waits up to `milliseconds` for the tool of the current run to end
    // (returns at once when it has ended or no run is in progress). Drains
    // nothing: PollOutput afterwards takes what it printed.
    void WaitForToolEnd(DWORD milliseconds) const;

    // Drains the pipe once and notes whether the tool has ended; never waits.
    // The drain that notices the end takes what the tool printed last and
    // releases the run's pipe and process; nothing is read after that.
    void PollOutput();

    // The texts asked for (see DurationText and TimeText); "00:00:00" and
    // "0" for those not asked for.
    void ParseOutput(bool wantDuration, bool wantTime, std::string& durationText, std::string& timeText) const;
    std::string GetDuration() const;
    // The position reached, in whole seconds (tenths dropped).
    int GetTime() const;
    // "hh:mm:ss" in seconds; 0 for "N/A" or any other text.
    int TimeToSeconds(const std::string& text) const { return ClockSeconds(text); }

    // True once a drain has seen the tool of the current run end (or it could
    // not be started); false from RunTool on.
    bool Finished() const { return finished_; }
    // Everything read during the current run, NUL bytes as spaces.
    std::string Output() const;
    std::string CommandLine() const;
    // STILL_ACTIVE (259) until the end of the run has been seen.
    DWORD ExitCode() const;

private:
    void DrainLocked();
    bool StartProcess(const std::string& commandLine, STARTUPINFOA& startup, PROCESS_INFORMATION& started);

    mutable std::mutex lock_;  // guards everything below but finished_
    std::atomic<bool> finished_{false};
    tk::Handle readPipe_;  // ours; the read end, until the end of the run is seen
    tk::Handle process_;   // ours; the tool's process, until the end of the run is seen
    tk::Handle job_;       // ours; ends its processes when closed (none where no job can be made)
    DWORD creationFlags_;  // ToolCreationFlags for the job this program runs in
    ProcessStart start_;   // empty: CreateProcessA
    DWORD exitCode_ = STILL_ACTIVE;
    std::string commandLine_;
    std::string output_;
    bool markerSeen_ = false;  // output_ holds a start-up marker
};
