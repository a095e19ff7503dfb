#include "conversion/mpegconverter.h"

#include <cstring>

namespace {

constexpr char kToolExe[] = "nnn.exe";
constexpr char kDurationMarker[] = "Duration: ";
constexpr char kTimeField[] = "time=";
constexpr const char* kNotMediaMarkers[] = {"Unknown format", "Invalid data found when processing input"};
constexpr DWORD kReadPause = 100;  // ms between drains while waiting for the start-up marker

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number written by text[from, from + count), all digits; -1 otherwise.
int Digits(const std::string& text, size_t from, size_t count) {
    if (count == 0 || count > 6 || from + count > text.size()) return -1;
    int value = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (!IsDigit(text[i])) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Where the value of the first duration line starts; npos when there is none.
size_t FirstDurationValue(const std::string& output) {
    const size_t length = std::strlen(kDurationMarker);
    for (size_t at = output.find(kDurationMarker); at != std::string::npos;
         at = output.find(kDurationMarker, at + 1)) {
        size_t lineStart = at;
        while (lineStart > 0 && IsBlank(output[lineStart - 1])) --lineStart;
        if (lineStart == 0 || IsLineEnd(output[lineStart - 1])) return at + length;
    }
    return std::string::npos;
}

std::string Trimmed(const std::string& text) {
    auto shown = [](char c) { return static_cast<unsigned char>(c) > ' '; };
    size_t first = 0, last = text.size();
    while (first < last && !shown(text[first])) ++first;
    while (last > first && !shown(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::string UpToDot(const std::string& text) { return text.substr(0, text.find('.')); }

}  // namespace

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only in front of a quote.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string ToolCommandLine(const std::string& toolFolder, const std::string& source, const std::string& output) {
    return QuoteArgument(toolFolder + kToolExe) + " -i " + QuoteArgument(source) + kToolSwitches +
           kOverwriteSwitch + QuoteArgument(output);
}

bool HasStartupMarker(const std::string& output) {
    const size_t value = FirstDurationValue(output);
    if (value != std::string::npos && output.find_first_of(",\r\n", value) != std::string::npos) return true;
    for (const char* marker : kNotMediaMarkers)
        if (output.find(marker) != std::string::npos) return true;
    return false;
}

std::string DurationText(const std::string& output) {
    const size_t value = FirstDurationValue(output);
    if (value == std::string::npos) return "00:00:00";
    const size_t end = output.find_first_of(",\r\n", value);
    return UpToDot(Trimmed(output.substr(value, end == std::string::npos ? std::string::npos : end - value)));
}

std::string TimeText(const std::string& output) {
    const size_t length = std::strlen(kTimeField);
    for (size_t at = output.rfind(kTimeField); at != std::string::npos;
         at = at == 0 ? std::string::npos : output.rfind(kTimeField, at - 1)) {
        if (at > 0 && !IsBlank(output[at - 1]) && !IsLineEnd(output[at - 1])) continue;  // part of another word
        const size_t value = at + length;
        const size_t end = output.find_first_of(" \t\r\n", value);
        const std::string text = output.substr(value, end == std::string::npos ? std::string::npos : end - value);
        // The whole seconds are complete once the tenths or the next field
        // have begun; a value cut off before that is still being written.
        if (end != std::string::npos || text.find('.') != std::string::npos) return UpToDot(text);
    }
    return "0";
}

int ClockSeconds(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || text.size() != colon + 6) return 0;
    if (text[colon + 3] != ':') return 0;
    const int hours = Digits(text, 0, colon);
    const int minutes = Digits(text, colon + 1, 2);
    const int seconds = Digits(text, colon + 4, 2);
    if (hours < 0 || minutes < 0 || seconds < 0 || minutes > 59 || seconds > 59) return 0;
    return hours * 3600 + minutes * 60 + seconds;
}

int PositionSeconds(const std::string& text) {
    if (text.find(':') != std::string::npos) return ClockSeconds(text);
    const int seconds = Digits(text, 0, text.size());
    return seconds < 0 ? 0 : seconds;
}

void ReplaceNuls(std::string& bytes) {
    for (char& c : bytes)
        if (c == '\0') c = ' ';
}

namespace {

// A job that ends its processes when its last handle closes. Not inherited:
// only the program holds it, so it closes when the program ends, however.
HANDLE MakeKillOnCloseJob() {
    tk::Handle job(::CreateJobObjectA(nullptr, nullptr));
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return nullptr;
    return job.Release();
}

// ToolCreationFlags for the job this program runs in, if any.
DWORD CreationFlagsHere() {
    BOOL inJob = FALSE;
    if (!::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob) || !inJob) return ToolCreationFlags(false, 0);
    // Where the system does not tell the job's limits, a start out of it is
    // tried all the same: a refusal falls back to the plain start at once.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof limits, nullptr))
        return ToolCreationFlags(true, JOB_OBJECT_LIMIT_BREAKAWAY_OK);
    return ToolCreationFlags(true, limits.BasicLimitInformation.LimitFlags);
}

}  // namespace

DWORD ToolCreationFlags(bool programInJob, DWORD outerJobLimits) {
    // A job that lets its processes break away silently starts them outside
    // by itself.
    const bool breakaway = programInJob && (outerJobLimits & JOB_OBJECT_LIMIT_BREAKAWAY_OK) &&
                           !(outerJobLimits & JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK);
    return CREATE_SUSPENDED | (breakaway ? CREATE_BREAKAWAY_FROM_JOB : 0);
}

bool StartOnce(DWORD flags, const std::function<bool(DWORD flags)>& start) {
    if (start(flags)) return true;
    // The outer job refused to let the tool out after all: a plain start.
    return (flags & CREATE_BREAKAWAY_FROM_JOB) && start(flags & ~CREATE_BREAKAWAY_FROM_JOB);
}

// ---- Tmpegconverter -----------------------------------------------------------

Tmpegconverter::Tmpegconverter() : job_(MakeKillOnCloseJob()), creationFlags_(CreationFlagsHere()) {}

bool Tmpegconverter::StartProcess(const std::string& commandLine, STARTUPINFOA& startup,
                                  PROCESS_INFORMATION& started) {
    const auto start = [&](DWORD flags) {
        std::string writable = commandLine;  // CreateProcessA may write into it
        if (start_) return start_(writable, flags, startup, started);
        return ::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                                &started) != FALSE;
    };
    DWORD pause = kFirstRetryPause;
    for (int attempt = 1;; ++attempt) {
        if (StartOnce(creationFlags_, start)) return true;
        if (attempt == kStartAttempts) return false;
        ::Sleep(pause);
        pause *= 2;
    }
}

void Tmpegconverter::RunTool(const std::string& commandLine) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        finished_ = false;
        output_.clear();
        markerSeen_ = false;
        exitCode_ = STILL_ACTIVE;
        readPipe_.Reset();
        process_.Reset();
        commandLine_ = commandLine;
    }
    // The pipe and the process are made outside the lock, so that a poll of
    // the UI thread never waits for the system to start a program; until the
    // handles are in place a poll finds no run and does nothing.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    tk::Handle readPipe, writePipe;
    if (!::CreatePipe(readPipe.Out(), writePipe.Out(), &inheritable, 0)) {
        finished_ = true;
        throw ToolStartFailure(kPipeFailure);
    }
    // The tool gets the write end only; our read end stays with us, so the
    // pipe breaks when the tool (and whatever it started) has ended.
    ::SetHandleInformation(readPipe.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    ::GetStartupInfoA(&startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    // Standard input too: reading it yields nothing.
    startup.hStdInput = writePipe.Get();
    startup.hStdOutput = writePipe.Get();
    startup.hStdError = writePipe.Get();

    PROCESS_INFORMATION started{};
    if (!StartProcess(commandLine, startup, started)) {
        finished_ = true;
        throw ToolStartFailure(kCreateProcessFailure);
    }
    tk::Handle process(started.hProcess);
    tk::Handle thread(started.hThread);
    // Everything is settled before the tool runs its first instruction: it
    // belongs to the job, so it ends with the program; and it runs below
    // normal priority, so the windows stay responsive while it takes every
    // core. (The priority is set here rather than as a creation flag, which
    // Wine does not take.) A program that runs inside a job that allows no
    // nested one and lets nothing break away cannot add the tool to ours; the
    // tool then runs all the same, in that job.
    if (job_) ::AssignProcessToJobObject(job_.Get(), process.Get());
    ::SetPriorityClass(process.Get(), BELOW_NORMAL_PRIORITY_CLASS);
    ::ResumeThread(thread.Get());
    std::lock_guard<std::mutex> hold(lock_);
    readPipe_ = std::move(readPipe);
    process_ = std::move(process);
    // writePipe closes here: the tool holds the only write end now.
}

void Tmpegconverter::ReadOutput() {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (!process_) return;
            DrainLocked();
            if (!process_ || markerSeen_) return;
        }
        // A tool that ends meanwhile ends the pause: its end is seen at once.
        WaitForToolEnd(kReadPause);
    }
}

void Tmpegconverter::WaitForToolEnd(DWORD milliseconds) const {
    // Another thread's drain may release the process handle meanwhile, so the
    // wait is on a handle of our own.
    tk::Handle process;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!process_) return;
        if (!::DuplicateHandle(::GetCurrentProcess(), process_.Get(), ::GetCurrentProcess(), process.Out(),
                               SYNCHRONIZE, FALSE, 0))
            process.Release();
    }
    if (process)
        ::WaitForSingleObject(process.Get(), milliseconds);
    else
        ::Sleep(milliseconds);
}

void Tmpegconverter::PollOutput() {
    std::lock_guard<std::mutex> hold(lock_);
    if (process_) DrainLocked();
}

void Tmpegconverter::DrainLocked() {
    // Whether the tool has ended is asked before the pipe is read, so that
    // this drain takes everything it printed.
    const bool ended = ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(readPipe_.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) break;
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!::ReadFile(readPipe_.Get(), chunk.data(), available, &read, nullptr) || read == 0) break;
        chunk.resize(read);
        ReplaceNuls(chunk);
        output_ += chunk;
    }
    if (!markerSeen_) markerSeen_ = HasStartupMarker(output_);
    if (ended) {
        ::GetExitCodeProcess(process_.Get(), &exitCode_);
        readPipe_.Reset();
        process_.Reset();
        finished_ = true;
    }
}

void Tmpegconverter::ParseOutput(bool wantDuration, bool wantTime, std::string& durationText,
                                 std::string& timeText) const {
    std::lock_guard<std::mutex> hold(lock_);
    durationText = wantDuration ? DurationText(output_) : "00:00:00";
    timeText = wantTime ? TimeText(output_) : "0";
}

std::string Tmpegconverter::GetDuration() const {
    std::string duration, time;
    ParseOutput(true, false, duration, time);
    return duration;
}

int Tmpegconverter::GetTime() const {
    std::string duration, time;
    ParseOutput(false, true, duration, time);
    return PositionSeconds(time);
}

std::string Tmpegconverter::Output() const {
    std::lock_guard<std::mutex> hold(lock_);
    return output_;
}

std::string Tmpegconverter::CommandLine() const {
    std::lock_guard<std::mutex> hold(lock_);
    return commandLine_;
}

DWORD Tmpegconverter::ExitCode() const {
    std::lock_guard<std::mutex> hold(lock_);
    return exitCode_;
}
