// Why a file of a batch was not converted, in plain words for the final box.
// Nothing here needs a window: the reasons come from what the batch saw of
// the source, the output folder and the result, and from the converter's own
// lines (FFmpeg's messages, as the tool prints them on its console).
#pragma once

#include <optional>
#include <string>

enum class FailureKind {
    SourceMissing,            // gone when its turn came; the tool was not run
    SourceEmpty,              // zero bytes; the tool was not run
    SourceUnreadable,         // the tool could not open it
    CopyProtected,            // its pictures or sound are encrypted; the tool was not run
    OutputFolderMissing,      // no temporary file could be made: the folder is gone
    OutputFolderNotWritable,  // no temporary file could be made, or the tool could not write it
    NotVideo,                 // the tool found no media it knows in the file
    NoMedia,                  // a media file without a picture or a sound to convert
    UnsupportedVideo,         // a video stream in a format the tool cannot decode
    UnsupportedSound,         // a sound stream in a format the tool cannot decode
    Damaged,                  // an MP4 without its index, or data errors that ended the run
    DiskFull,                 // the tool ran out of space on the output disk
    Stopped,                  // the tool ended in the middle of converting, without a word of why
    NotRenamed,               // a whole result that could not take its final name
    NotFlushed,               // a whole result that could not be written through to the disk
    NotHandedOver,            // the program failed to hand the file to the tool
    ToolError,                // any other failure: the tool's last error line says it
};

struct Failure {
    FailureKind kind = FailureKind::Stopped;
    // ToolError: the tool's last error line, as it printed it. NotRenamed
    // and NotFlushed: the name the result is kept under in the output folder.
    // UnsupportedVideo and UnsupportedSound: the format's name as the tool
    // printed it, when it did.
    std::string detail;
};

// Why a run of the tool that left no whole output failed, from everything it
// printed, its exit code, and the output path it was given. The tool's words
// for each reason are in one table (FailureReasons.cpp), FFmpeg 5.1's and
// 7.1's alike. In this order:
// - "No space left on device" anywhere: DiskFull;
// - "Permission denied" on a line that names the output: OutputFolderNotWritable;
// - the input never opened (no "Input #" line): "No such file or directory"
//   gives SourceMissing, "Permission denied" SourceUnreadable, "moov atom not
//   found" in a file taken for an MP4 Damaged (its index is missing: a cut-off
//   download or recording), and data the tool does not know ("Invalid data
//   found when processing input", "Unknown format", "misdetection possible")
//   NotVideo;
// - no decoder for a stream of the opened input ("Decoder (codec av1) not
//   found for input stream #0:0", "[vist#0:0/av1 @ ...] Decoding requested,
//   but no decoder found for: av1"), or one that cannot open ("Error while
//   opening decoder"): UnsupportedVideo or UnsupportedSound, with the
//   codec's name, or, for a codec the tool does not know at all ("none"),
//   the tag its stream line shows ("Video: none (vvc1 / 0x31637676)"); an
//   AAC object type the tool names comes with it;
// - a sample table that points outside the file ("partial file") or an
//   invalid time scale: Damaged;
// - no stream to convert ("does not contain any stream") or streams without
//   a sample ("Output file is empty, nothing was encoded", "Cannot determine
//   format of input ... after EOF"): NoMedia;
// - a run that ended while it converted, with its last line a status line
//   (ended from outside), or with exit code 0 and no error line of its own
//   on the output (a stop it did not notice): Stopped;
// - the last error line a data error of the input (decoding errors,
//   "corrupt"): Damaged; any other error line: ToolError with that line;
//   none: Stopped.
Failure ToolFailure(const std::string& toolOutput, unsigned long exitCode, const std::string& outputPath);

// Whether the tool found the source cut short: its sample tables name data
// past the file's end ("stream 1, offset 0x735f: partial file"). The tool
// then converts what there is and ends as if all went well, with an AVI of
// part of the video: not a conversion of the file.
bool SourceCutShort(const std::string& toolOutput);

// The output volume asked while the failed file's leftovers are still there:
// when less than kDiskFullMargin is free, the tool ran out of space, whatever
// it printed last (under Wine a full disk reaches the tool as "Bad file
// descriptor"). Reasons about the input stay whatever the disk. Nothing known
// of the free space: the reason as it is.
Failure CheckedAgainstDisk(const Failure& why, std::optional<unsigned long long> freeBytes);
inline constexpr unsigned long long kDiskFullMargin = 1024 * 1024;

// Whether a reason is about the source itself (what it is or holds), not
// about the disk, the folder or the run.
bool IsAboutTheSource(FailureKind kind);

// The last line of the tool's output that says something went wrong: not a
// status line, not its closing summary, not an indented detail or a heading
// of its report, not "Conversion failed!". The "[name @ address] " in front
// of a library's message is taken away. Empty when there is none.
std::string LastErrorLine(const std::string& toolOutput);

// The reason as the final box shows it after the path and " - ". A tool's
// line is shortened at its end to kToolLineChars characters; a video
// format's name follows its reason in brackets.
std::wstring ReasonText(const Failure& failure);
inline constexpr size_t kToolLineChars = 90;
