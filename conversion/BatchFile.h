// One file of a batch on disk: before the tool runs, the checks of its
// source, its output name and the reservation of its temporary file; after
// the tool has ended, the check of the result, its flush and its final name,
// or its removal and why.
//
// All of it runs on the worker thread, never on the UI thread: on a slow USB
// stick or a network share that drops, any of these calls may take as long as
// the disk takes, and the progress window must go on answering meanwhile.
// Nothing here touches a window; tests call these functions directly.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "conversion/BatchNames.h"
#include "conversion/FailureReasons.h"

// A file of the batch, as the progress window hands it to the worker.
struct BatchFile {
    std::string source;  // as listed; the tool gets this one
    std::wstring name;   // its real name, which names the output
    std::string folder;  // the output folder, ending with a backslash
};

// A file made ready for the tool: its output name, free when it was chosen,
// and the temporary file reserved for the tool to write. A file passed over
// has neither, and the reason instead; the tool is not run for it.
struct PreparedFile {
    std::wstring target;
    std::string temp;
    std::optional<Failure> passedOver;
};

// Makes a file ready for the tool, in this order:
// - a source gone since it was listed is passed over (SourceMissing), and so
//   is one whose size is known to be 0 (SourceEmpty); a size that cannot be
//   looked up leaves it to the tool, which tells whether it can read it;
// - a copy-protected source is passed over (CopyProtected): its pictures or
//   sound would come out scrambled, or not at all; a source the check cannot
//   follow goes to the tool, which tells what it is;
// - the output takes the first free name in the folder (FreeOutputName) and
//   a temporary name is reserved beside it (ReserveTempName). When none can
//   be made, the folder is gone (OutputFolderMissing) or takes no new file
//   (OutputFolderNotWritable); a folder that takes a file of another name is
//   writable, and this file alone could not be handed over (NotHandedOver).
PreparedFile PrepareFile(const BatchFile& file);

// How a file ended: converted (no failure) under `target`, or not, and why.
struct FileOutcome {
    std::wstring target;  // the name the output took, or was to take; empty when passed over
    std::optional<Failure> failure;
};

// Ends a file whose tool has ended, given the tool's exit code and all it
// printed. The temporary file was reserved for this file, so whatever is
// there is the tool's:
// - a whole AVI (CheckAviFile) from a tool that ended with 0 and did not find
//   its source cut short is flushed to the disk and takes its final name: the
//   prepared one, or the next free "[k]" name when that was taken meanwhile;
//   nothing is ever replaced. A file that cannot be flushed (another program
//   holds it without write sharing) or moved stays under its temporary name
//   (NotFlushed, NotRenamed, with that name);
// - a whole AVI without a single frame is removed (NoMedia);
// - anything else is removed and named with what the tool printed
//   (ToolFailure), checked against the free space its volume had while the
//   leftovers were still there (CheckedAgainstDisk).
FileOutcome FinishFile(const BatchFile& file, const PreparedFile& prepared, unsigned long toolExitCode,
                       const std::string& toolOutput);

// The first free output name for a source (its real name) in the folder:
// each name tried is looked up on disk.
std::wstring FreeOutputName(const std::wstring& source, const std::string& folder);

// ---- Seams for tests ----------------------------------------------------------
//
// Each puts something in place of a call to the system. Tests set them on
// their own thread before a batch starts, or between batches; the worker
// calls them for each file. A lock keeps a setting and a call from ever
// meeting halfway. An empty function (a delay of 0) restores the system's
// own.

// How a source's size is looked up (tk::LookUpSize): nothing when the
// lookup fails.
using SizeLookup = std::function<std::optional<long long>(const std::string& path)>;
void SetSizeLookupForTesting(SizeLookup lookup);

// How a temporary name is reserved (tk::CreateNewFile).
void SetReserveNameForTesting(ReserveName reserve);

// A slow disk: each flush of a finished output and each try at its rename
// takes this much longer.
void SetFinishDelayForTesting(std::chrono::milliseconds delay);
