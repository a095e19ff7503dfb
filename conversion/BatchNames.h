// The batch's plain rules: output and temporary file names, bar widths,
// percentages and the texts the progress window shows. Nothing here needs a
// window; "taken" answers whether a path is in use (by a file or a folder).
#pragma once

#include <functional>
#include <string>
#include <vector>

using PathTaken = std::function<bool(const std::string& path)>;

// The file-name part of a path: what follows the last backslash or colon.
std::string FileNamePart(const std::string& path);

// The output name of a source without its folder: the first ".MP4" (any
// case) taken out of the file name, ".AVI" appended.
std::string OutputBaseName(const std::string& source);

// folder + the first free of base, "[1]" + base, "[2]" + base, ...
// The folder ends with a backslash and is taken as it is.
std::string FreeNameIn(const std::string& folder, const std::string& base, const PathTaken& taken);

// The temporary output in the output folder itself, so that the final move
// is a rename on one volume: "temp_2953.avi", or the first free
// "[k]temp_2953.avi" when that is in use or is the final name itself.
std::string TempNameIn(const std::string& folder, const std::string& finalName, const PathTaken& taken);
inline constexpr char kTempFileName[] = "temp_2953.avi";

// The operation label while a file converts: Convert file "clip.mp4":
std::string OperationText(const std::string& source);

// Bars are 357 pixels wide at 100 %; wider above, nothing at 0 or below.
inline constexpr int kBarWidth = 357;
inline constexpr int kBarHeight = 14;
int BarWidth(int percent);

// The total progress: the finished files plus the current file's share,
// truncated. Computed in whole numbers, so the last file at 100 % gives
// exactly 100 (floating point gives 99 for some counts).
int TotalPercent(int filePercent, int currentIndex, int sourceCount);

// The final box: "Done." alone, or followed by an empty line, "Not
// converted:" and at most 20 full paths, then "... and N more.".
std::string DoneMessage(const std::vector<std::string>& notConverted);
inline constexpr size_t kNotConvertedListed = 20;
