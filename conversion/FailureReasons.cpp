#include "conversion/FailureReasons.h"

#include <optional>
#include <vector>

#include "conversion/BatchNames.h"
#include "toolkit/Text.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool Has(const std::string& text, const char* words) { return text.find(words) != std::string::npos; }

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

// The tool's lines, split at every line feed and carriage return (its status
// lines end with a carriage return alone), trailing blanks taken off; empty
// lines left out.
std::vector<std::string> Lines(const std::string& output) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= output.size()) {
        size_t end = output.find_first_of("\r\n", start);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(start, end - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsStatusLine(const std::string& line) {
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const std::string text = line.substr(first);
    return StartsWith(text, "frame=") || StartsWith(text, "size=") || (Has(text, "time=") && Has(text, "bitrate="));
}

// Lines of the tool's report that never say what went wrong.
bool IsReportLine(const std::string& line) {
    static const char* const kStarts[] = {"video:", "Input #", "Output #", "Stream mapping:", "Press [q]",
                                          "ffmpeg version", "Please use -", "Conversion failed!",
                                          "Exiting normally", "[q] command received"};
    if (line.empty() || line[0] == ' ' || line[0] == '\t' || IsStatusLine(line)) return true;
    for (const char* start : kStarts)
        if (StartsWith(line, start)) return true;
    // "Error initializing output stream 0:0 -- " and the like: the reason
    // was the line before.
    return line.size() >= 2 && line.compare(line.size() - 2, 2, "--") == 0;
}

// A library's message begins with "[name @ address] ".
std::string WithoutContext(const std::string& line) {
    if (line.empty() || line[0] != '[') return line;
    const size_t close = line.find("] ");
    if (close == std::string::npos || line.find(" @ ") > close) return line;
    return line.substr(close + 2);
}

bool SaysError(const std::string& line) {
    static const char* const kWords[] = {"error", "fail", "invalid", "not found", "no such", "denied", "unknown",
                                         "could not", "cannot", "unable", "unsupported", "not supported",
                                         "corrupt", "partial file", "no space"};
    const std::string lower = Lower(line);
    for (const char* word : kWords)
        if (Has(lower, word)) return true;
    return false;
}

// Errors in the input's data: the video is damaged.
bool IsDataError(const std::string& line) {
    static const char* const kWords[] = {"error while decoding", "partial file", "corrupt", "invalid nal",
                                         "error splitting the input", "invalid data found when processing input",
                                         "truncat", "concealing", "error reading header"};
    const std::string lower = Lower(line);
    for (const char* word : kWords)
        if (Has(lower, word)) return true;
    return false;
}

// A line about the output file: it names it, or it is one of the tool's
// messages about writing.
bool IsOutputLine(const std::string& line, const std::string& outputName) {
    static const char* const kWords[] = {"output file", "av_interleaved_write_frame", "error writing trailer",
                                         "error closing file", "could not write header"};
    if (!outputName.empty() && Lower(line).find(Lower(outputName)) != std::string::npos) return true;
    const std::string lower = Lower(line);
    for (const char* word : kWords)
        if (Has(lower, word)) return true;
    return false;
}

// The line of the input's report that describes stream "#0:1" (given as
// "0:1"): "  Stream #0:1[0x2](und): Video: ...". Empty when there is none.
std::string StreamLine(const std::vector<std::string>& lines, const std::string& stream) {
    const std::string start = "Stream #" + stream;
    for (const std::string& line : lines) {
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos || line.compare(first, start.size(), start) != 0) continue;
        const size_t after = first + start.size();
        if (after < line.size() && line[after] >= '0' && line[after] <= '9') continue;  // "#0:10"
        if (Has(line, " -> ")) continue;  // the stream mapping
        return line;
    }
    return {};
}

// A video stream the tool has no decoder for: the format's name as it
// printed it (may be empty), or nothing when no such line is there. The
// line is "Decoder (codec <name>) not found for input stream #<file>:<stream>".
std::optional<std::string> UndecodableVideo(const std::vector<std::string>& lines) {
    static const char kDecoder[] = "Decoder (codec ";
    static const char kNotFound[] = ") not found for input stream #";
    for (const std::string& line : lines) {
        const size_t at = line.find(kDecoder);
        if (at == std::string::npos) continue;
        const size_t nameStart = at + sizeof kDecoder - 1;
        const size_t nameEnd = line.find(kNotFound, nameStart);
        if (nameEnd == std::string::npos) continue;
        const std::string stream = line.substr(nameEnd + sizeof kNotFound - 1);
        const std::string described = StreamLine(lines, stream);
        if (!Has(described, ": Video: ")) continue;  // a sound stream, or not described
        std::string name = line.substr(nameStart, nameEnd - nameStart);
        if (name == "none") {
            // A codec the tool does not know: its stream line shows the tag,
            // "Video: none (vvc1 / 0x31637676)".
            name.clear();
            static const char kUnknown[] = ": Video: none (";
            const size_t tag = described.find(kUnknown);
            if (tag != std::string::npos) {
                const size_t tagStart = tag + sizeof kUnknown - 1;
                const size_t tagEnd = described.find(" / ", tagStart);
                if (tagEnd != std::string::npos) name = described.substr(tagStart, tagEnd - tagStart);
            }
        }
        return name;
    }
    return std::nullopt;
}

}  // namespace

std::string LastErrorLine(const std::string& toolOutput) {
    std::string last;
    for (const std::string& line : Lines(toolOutput))
        if (!IsReportLine(line) && SaysError(line)) last = line;
    return WithoutContext(last);
}

Failure ToolFailure(const std::string& toolOutput, unsigned long exitCode, const std::string& outputPath) {
    const std::vector<std::string> lines = Lines(toolOutput);
    const std::string outputName = FileNamePart(outputPath);
    bool inputOpened = false, outputError = false;
    for (const std::string& line : lines) {
        if (Has(line, "No space left on device")) return {FailureKind::DiskFull, {}};
        const bool aboutOutput = IsOutputLine(line, outputName);
        if (aboutOutput && (Has(line, "Permission denied") || Has(line, "Read-only file system")))
            return {FailureKind::OutputFolderNotWritable, {}};
        if (aboutOutput && !IsReportLine(line) && SaysError(line)) outputError = true;
        if (StartsWith(line, "Input #")) inputOpened = true;
    }
    if (!inputOpened) {
        if (Has(toolOutput, "No such file or directory")) return {FailureKind::SourceMissing, {}};
        if (Has(toolOutput, "Permission denied")) return {FailureKind::SourceUnreadable, {}};
        const bool notMp4 = Has(toolOutput, "misdetection possible");
        if (Has(toolOutput, "moov atom not found") && !notMp4) return {FailureKind::Damaged, {}};
        if (notMp4 || Has(toolOutput, "Invalid data found when processing input") ||
            Has(toolOutput, "Unknown format"))
            return {FailureKind::NotVideo, {}};
    }
    if (const std::optional<std::string> format = UndecodableVideo(lines))
        return {FailureKind::UnsupportedVideo, *format};
    const std::string last = LastErrorLine(toolOutput);
    // Ended from outside while it converted: its status line was the last
    // word. A tool that says it succeeded without a whole output was stopped
    // too, unless it said it could not write.
    if (lines.empty() || IsStatusLine(lines.back())) return {FailureKind::Stopped, {}};
    if (exitCode == 0 && !outputError) return {FailureKind::Stopped, {}};
    if (last.empty()) return {FailureKind::Stopped, {}};
    if (IsDataError(last)) return {FailureKind::Damaged, {}};
    return {FailureKind::ToolError, last};
}

Failure CheckedAgainstDisk(const Failure& why, unsigned long long written, std::optional<unsigned long long> freeBytes) {
    const bool aboutInput = why.kind == FailureKind::SourceMissing || why.kind == FailureKind::SourceUnreadable ||
                            why.kind == FailureKind::NotVideo;
    if (aboutInput || !freeBytes || *freeBytes >= written + kDiskFullMargin) return why;
    return {FailureKind::DiskFull, {}};
}

std::wstring ReasonText(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::SourceMissing: return L"the file is missing";
    case FailureKind::SourceEmpty: return L"the file is empty";
    case FailureKind::SourceUnreadable: return L"the file cannot be read";
    case FailureKind::OutputFolderMissing: return L"the output folder is missing";
    case FailureKind::OutputFolderNotWritable: return L"the output folder cannot be written";
    case FailureKind::NotVideo: return L"not a video file the converter can read";
    case FailureKind::UnsupportedVideo:
        return L"the video format is not supported" +
               (failure.detail.empty() ? std::wstring() : L" (" + tk::Widen(failure.detail) + L")");
    case FailureKind::Damaged: return L"the video is damaged or incomplete";
    case FailureKind::DiskFull: return L"the output disk is full";
    case FailureKind::Stopped: return L"the converter stopped before the end";
    case FailureKind::NotRenamed:
        return L"the result could not be renamed; it is kept in the output folder as " + tk::Widen(failure.detail);
    case FailureKind::NotHandedOver: return L"the program could not hand it to the converter";
    case FailureKind::ToolError: {
        std::string line = failure.detail;
        if (line.size() > kToolLineChars) line = line.substr(0, kToolLineChars - 3) + "...";
        return L"the converter reported: " + tk::Widen(line);
    }
    }
    return L"";
}
