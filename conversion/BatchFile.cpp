#include "conversion/BatchFile.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "conversion/AviFile.h"
#include "conversion/Mp4Protection.h"
#include "toolkit/Files.h"
#include "toolkit/Text.h"

namespace {

// How many "[k]" names a finished file tries when its names keep being taken.
constexpr int kMoveAttempts = 100;
// How often, and how many ms apart, a finished file is flushed before it is
// given up as held by another program.
constexpr int kFlushAttempts = 3;
constexpr DWORD kFlushPause = 100;

// A function a test puts in place of a system call: set on the test's
// thread, called on the worker's.
template <typename Function>
class Seam {
public:
    void Set(Function function) {
        std::lock_guard<std::mutex> hold(lock_);
        function_ = std::move(function);
    }
    // A copy: the call runs outside the lock.
    Function Get() const {
        std::lock_guard<std::mutex> hold(lock_);
        return function_;
    }

private:
    mutable std::mutex lock_;
    Function function_;
};

Seam<SizeLookup>& SizeLookupSeam() {
    static Seam<SizeLookup> seam;
    return seam;
}

Seam<ReserveName>& ReserveNameSeam() {
    static Seam<ReserveName> seam;
    return seam;
}

std::atomic<long long>& FinishDelayMs() {
    static std::atomic<long long> delay{0};
    return delay;
}

std::optional<long long> SourceSize(const std::string& path) {
    const SizeLookup lookup = SizeLookupSeam().Get();
    return lookup ? lookup(path) : tk::LookUpSize(path);
}

Reservation ReserveByCreating(const std::string& path) {
    switch (tk::CreateNewFile(path)) {
    case tk::NewFile::Made: return Reservation::Reserved;
    case tk::NewFile::NameTaken: return Reservation::Taken;
    default: return Reservation::Failed;
    }
}

void SlowDiskPause() {
    const long long delay = FinishDelayMs();
    if (delay > 0) ::Sleep(static_cast<DWORD>(delay));
}

bool Flush(const std::wstring& path) {
    SlowDiskPause();
    return tk::FlushToDisk(path);
}

bool Rename(const std::wstring& from, const std::wstring& to) {
    SlowDiskPause();
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

// A file passed over before the tool runs.
PreparedFile PassedOver(FailureKind kind) { return {{}, {}, Failure{kind, {}}}; }

}  // namespace

void SetSizeLookupForTesting(SizeLookup lookup) { SizeLookupSeam().Set(std::move(lookup)); }

void SetReserveNameForTesting(ReserveName reserve) { ReserveNameSeam().Set(std::move(reserve)); }

void SetFinishDelayForTesting(std::chrono::milliseconds delay) { FinishDelayMs() = delay.count(); }

std::wstring FreeOutputName(const std::wstring& source, const std::string& folder) {
    return FreeNameIn(tk::Widen(folder), OutputBaseName(source), [](const std::wstring& path) {
        return tk::PathExists(path);
    });
}

PreparedFile PrepareFile(const BatchFile& file) {
    if (!tk::FileExists(file.source)) return PassedOver(FailureKind::SourceMissing);
    const std::optional<long long> size = SourceSize(file.source);
    if (size && *size == 0) return PassedOver(FailureKind::SourceEmpty);
    if (Mp4ProtectionOfFile(tk::Widen(file.source)) == Mp4Protection::Protected)
        return PassedOver(FailureKind::CopyProtected);

    PreparedFile prepared;
    prepared.target = FreeOutputName(file.name, file.folder);
    const ReserveName reserve = ReserveNameSeam().Get();
    prepared.temp = ReserveTempName(file.folder, prepared.target, reserve ? reserve : ReserveName(ReserveByCreating));
    if (!prepared.temp.empty()) return prepared;
    if (!tk::DirectoryExists(file.folder)) return PassedOver(FailureKind::OutputFolderMissing);
    return PassedOver(tk::FolderTakesNewFile(file.folder) ? FailureKind::NotHandedOver
                                                          : FailureKind::OutputFolderNotWritable);
}

FileOutcome FinishFile(const BatchFile& file, const PreparedFile& prepared, unsigned long toolExitCode,
                       const std::string& toolOutput) {
    const std::wstring temp = tk::Widen(prepared.temp);
    FileOutcome outcome{prepared.target, std::nullopt};
    // An exit code alone can lie: a tool ended from outside may report 0.
    const AviCheck avi = toolExitCode == 0 && !SourceCutShort(toolOutput) ? CheckAviFile(temp) : AviCheck{};
    // A whole AVI without a single frame is no conversion: the source had
    // nothing to convert (the first segment of a stream whose samples live
    // in the files after it).
    if (avi.whole && avi.frames == 0) {
        ::DeleteFileW(temp.c_str());
        outcome.failure = Failure{FailureKind::NoMedia, {}};
        return outcome;
    }
    if (!avi.whole) {
        // The disk is asked while the leftovers are still there: a delete
        // need not give their space back at once (a file still held open by
        // a scanner is only "delete pending"), and one may fail.
        const std::optional<unsigned long long> freeBytes = tk::FreeSpace(file.folder);
        ::DeleteFileW(temp.c_str());
        outcome.failure = CheckedAgainstDisk(ToolFailure(toolOutput, toolExitCode, prepared.temp), freeBytes);
        return outcome;
    }
    // Whole on disk before it takes its name, not only in the system's cache:
    // a power cut after "Done." must not leave zeros under the final name. A
    // file that another program holds open without write sharing cannot be
    // flushed for as long as it does: it is not called converted, keeps its
    // temporary name, and the box says so.
    bool flushed = false;
    for (int attempt = 0; attempt < kFlushAttempts && !flushed; ++attempt) {
        if (attempt > 0) ::Sleep(kFlushPause);
        flushed = Flush(temp);
    }
    if (!flushed) {
        outcome.failure = Failure{FailureKind::NotFlushed, FileNamePart(prepared.temp)};
        return outcome;
    }
    // A name taken while the file converted gives way to the next free one;
    // nothing is ever replaced.
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (Rename(temp, outcome.target)) return outcome;
        if (!tk::PathExists(outcome.target)) break;
        outcome.target = FreeOutputName(file.name, file.folder);
    }
    // It could not be moved: it stays where it is, under its temporary
    // name, and the box says so.
    outcome.failure = Failure{FailureKind::NotRenamed, FileNamePart(prepared.temp)};
    return outcome;
}
