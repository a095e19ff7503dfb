// The batch's plain rules: output and temporary file names, bar widths,
// percentages and the texts the progress window shows. Nothing here needs a
// window.
//
// A source is known by two paths: the path the list holds, which the tool
// gets (the short form of a name outside the ANSI code page), and its real
// name in wide form, from which the output is named and which the user is
// shown.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The file-name part of a path: what follows the last backslash or colon.
std::string FileNamePart(const std::string& path);
std::wstring FileNamePart(const std::wstring& path);

// The output name of a source without its folder: the first ".MP4" (any
// case) taken out of the file name, ".AVI" appended.
std::wstring OutputBaseName(const std::wstring& source);

// Whether a path is in use (by a file or a folder).
using PathTaken = std::function<bool(const std::wstring& path)>;
// folder + the first free of base, "[1]" + base, "[2]" + base, ...
// The folder ends with a backslash and is taken as it is.
std::wstring FreeNameIn(const std::wstring& folder, const std::wstring& base, const PathTaken& taken);

// The temporary output goes in the output folder itself, so that the final
// move is a rename on one volume: "temp_2953.avi", or else the first
// "[k]temp_2953.avi" that can be reserved and is not the final name itself.
// Reserving a name makes the file, exclusively, so that no other batch (of
// this program or another copy of it) ever gets the same one.
enum class Reservation { Reserved, Taken, Failed };
using ReserveName = std::function<Reservation(const std::string& path)>;
// A name that cannot be made (Failed: "access denied" for a name still
// delete pending, say) is passed over for the next one. The reserved path;
// empty when the folder takes no file at all: kFailedNamesInRow names in a
// row failed (it is gone or not writable).
std::string ReserveTempName(const std::string& folder, const std::wstring& finalName, const ReserveName& reserve);
inline constexpr int kFailedNamesInRow = 8;
inline constexpr char kTempFileName[] = "temp_2953.avi";

// The operation label while a file converts: Convert file "clip.mp4":
std::wstring OperationText(const std::wstring& source);

// Bars are 357 pixels wide at 100 %; wider above, nothing at 0 or below.
inline constexpr int kBarWidth = 357;
inline constexpr int kBarHeight = 14;
int BarWidth(int percent);

// The total progress: the finished files plus the current file's share,
// truncated. Computed in whole numbers, so the last file at 100 % gives
// exactly 100 (floating point gives 99 for some counts).
int TotalPercent(int filePercent, int currentIndex, int sourceCount);

// A source of the batch that gave no whole output: its real name, and why,
// in plain words (see FailureReasons.h).
struct NotConvertedFile {
    std::wstring path;
    std::wstring reason;
};

// The final box: "Done." alone, or followed by an empty line, "Not
// converted:" and at most 20 lines, each a source's real path, " - " and its
// reason, then "... and N more.". With a line budget (in characters, see
// LineBudget), a path that would make its line longer loses the middle of
// its folders (ShortenedPath); the reason is never cut. 0: no limit.
std::wstring DoneMessage(const std::vector<NotConvertedFile>& notConverted, size_t lineBudget = 0);
inline constexpr size_t kNotConvertedListed = 20;

// A path in at most `budget` characters: itself when it fits; else its root
// ("C:\" or "\\server\share\"), "...\" and as many of its last parts as
// fit, the file name at least; when even the file name does not fit, the
// path's beginning and its end around "...".
std::wstring ShortenedPath(const std::wstring& path, size_t budget);
// A path is never shortened below this.
inline constexpr size_t kShortestPath = 30;

// How many characters of the message font fit on one line of a message box
// on a screen that wide: three quarters of the screen.
size_t LineBudget(int screenWidth, int averageCharWidth);
