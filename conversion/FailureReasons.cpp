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

// The tool's words, and what each says of the file. FFmpeg 5.1 and 7.1 word
// some of them differently; both are here. Each list is looked through in
// its order, and the first words found decide.
struct ToolWords {
    const char* words;
    FailureKind kind;
};

// Before the input opened (no "Input #" line): the input itself.
constexpr ToolWords kInputNotOpened[] = {
    {"No such file or directory", FailureKind::SourceMissing},
    {"Permission denied", FailureKind::SourceUnreadable},
    // A file that only looks like an MP4 at first sight is no MP4 whose index
    // is missing.
    {"misdetection possible", FailureKind::NotVideo},
    {"moov atom not found", FailureKind::Damaged},
    {"Invalid data found when processing input", FailureKind::NotVideo},
    {"Unknown format", FailureKind::NotVideo},
};

// After the input opened, before the streams are looked at: a file whose
// sample tables point past its end, or that are not sample tables at all.
constexpr ToolWords kDamagedInput[] = {
    {"partial file", FailureKind::Damaged},
    {"Invalid mdhd time scale", FailureKind::Damaged},
};

// After the input opened: nothing to convert. No stream at all, or streams
// without a single sample (the initialisation segment of a stream whose
// samples live in other files).
constexpr ToolWords kNothingToConvert[] = {
    {"does not contain any stream", FailureKind::NoMedia},  // "Output file #0 ..." (5.1), "Output file ..." (7.1)
    {"Output file is empty, nothing was encoded", FailureKind::NoMedia},
    {"Cannot determine format of input", FailureKind::NoMedia},  // "... stream 0:0 after EOF"
    // 7.1, for a stream that got no sample at all
    {"Nothing was written into output file", FailureKind::NoMedia},
};

// The kind of the first entry of a table whose words the output holds.
template <size_t N>
std::optional<FailureKind> FirstWordsIn(const std::string& output, const ToolWords (&table)[N]) {
    for (const ToolWords& entry : table)
        if (Has(output, entry.words)) return entry.kind;
    return std::nullopt;
}

// A stream of the input: its kind as the input's report gives it ("Video",
// "Audio"), and the format named there.
struct InputStream {
    std::string kind;
    std::string format;
};

// What the input's report says of stream "0:1": "  Stream #0:1[0x2](und):
// Audio: aac (LC) (mp4a / 0x6134706D), ...". A format the tool does not
// know ("none") is named by its stream's tag ("none (vvc1 / 0x31637676)").
std::optional<InputStream> DescribedStream(const std::vector<std::string>& lines, const std::string& stream) {
    const std::string described = StreamLine(lines, stream);
    for (const char* kind : {"Video", "Audio"}) {
        const std::string marker = std::string(": ") + kind + ": ";
        const size_t at = described.find(marker);
        if (at == std::string::npos) continue;
        const size_t start = at + marker.size();
        std::string format = described.substr(start, described.find_first_of(" ,", start) - start);
        if (format == "none") {
            format.clear();
            static const char kTag[] = " (";
            const size_t tag = described.find(kTag, start);
            const size_t tagEnd = described.find(" / ", start);
            if (tag == start + 4 && tagEnd != std::string::npos && tagEnd > tag)
                format = described.substr(tag + 2, tagEnd - tag - 2);
        }
        return InputStream{kind, format};
    }
    return std::nullopt;
}

// The digits of a "0:1" stream at `at` in `line`: "0:1" of "#0:1/aac".
std::string StreamAt(const std::string& line, size_t at) {
    const size_t end = line.find_first_not_of("0123456789:", at);
    return line.substr(at, (end == std::string::npos ? line.size() : end) - at);
}

// A stream the tool could not decode: it has no decoder for it ("Decoder
// (codec alac) not found for input stream #0:1" in 5.1, "[aist#0:1/alac @
// 0x...] Decoding requested, but no decoder found for: alac" in 7.1), or
// its decoder would not open ("Error while opening decoder for input stream
// #0:1 : Function not implemented" in 5.1, "[aist#0:1/aac @ ...] [dec:aac @
// ...] Error while opening decoder: ..." in 7.1). Nothing when no such line
// is there.
std::optional<Failure> UndecodableStream(const std::vector<std::string>& lines) {
    static const char* const kWords[] = {") not found for input stream #", "no decoder found for: ",
                                         "Error while opening decoder"};
    for (const std::string& line : lines) {
        bool found = false;
        for (const char* words : kWords) found = found || Has(line, words);
        if (!found) continue;
        // The stream: after "input stream #" (5.1), or in the context
        // "[vist#0:0/..." or "[aist#0:1/..." (7.1).
        std::string stream, contextKind;
        const size_t numbered = line.find("input stream #");
        if (numbered != std::string::npos) stream = StreamAt(line, numbered + 14);
        for (const char* context : {"[vist#", "[aist#"}) {
            const size_t at = line.find(context);
            if (at == std::string::npos) continue;
            stream = StreamAt(line, at + 6);
            contextKind = context[1] == 'v' ? "Video" : "Audio";
        }
        std::optional<InputStream> described = DescribedStream(lines, stream);
        if (!described && !contextKind.empty()) described = InputStream{contextKind, {}};
        if (!described) continue;  // a stream neither video nor sound: not this file's picture or sound
        std::string name = described->format;
        // The codec as the line names it: "(codec alac)", "found for: alac".
        const size_t codec = line.find("(codec ");
        const size_t forCodec = line.find("found for: ");
        std::string named;
        if (codec != std::string::npos) named = line.substr(codec + 7, line.find(')', codec) - codec - 7);
        if (forCodec != std::string::npos) named = line.substr(forCodec + 11);
        if (!named.empty() && named != "none") name = named;
        if (described->kind == "Video") return Failure{FailureKind::UnsupportedVideo, name};
        // An AAC profile the decoder does not know: "Audio object type 42
        // is not implemented."
        for (const std::string& other : lines) {
            const size_t type = other.find("Audio object type ");
            if (type == std::string::npos || !Has(other, "not implemented")) continue;
            const std::string number = StreamAt(other, type + 18);
            if (!number.empty()) name += (name.empty() ? "" : ", ") + std::string("audio object type ") + number;
            break;
        }
        return Failure{FailureKind::UnsupportedSound, name};
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
        if (const std::optional<FailureKind> kind = FirstWordsIn(toolOutput, kInputNotOpened)) return {*kind, {}};
    }
    if (const std::optional<Failure> undecodable = UndecodableStream(lines)) return *undecodable;
    if (inputOpened) {
        if (const std::optional<FailureKind> kind = FirstWordsIn(toolOutput, kDamagedInput)) return {*kind, {}};
        if (const std::optional<FailureKind> kind = FirstWordsIn(toolOutput, kNothingToConvert)) return {*kind, {}};
    }
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

bool SourceCutShort(const std::string& toolOutput) { return Has(toolOutput, "partial file"); }

bool IsAboutTheSource(FailureKind kind) {
    switch (kind) {
    case FailureKind::SourceMissing:
    case FailureKind::SourceEmpty:
    case FailureKind::SourceUnreadable:
    case FailureKind::CopyProtected:
    case FailureKind::NotVideo:
    case FailureKind::NoMedia:
    case FailureKind::UnsupportedVideo:
    case FailureKind::UnsupportedSound:
    case FailureKind::Damaged: return true;
    default: return false;
    }
}

Failure CheckedAgainstDisk(const Failure& why, std::optional<unsigned long long> freeBytes) {
    if (IsAboutTheSource(why.kind) || !freeBytes || *freeBytes >= kDiskFullMargin) return why;
    return {FailureKind::DiskFull, {}};
}

std::wstring ReasonText(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::SourceMissing: return L"the file is missing";
    case FailureKind::SourceEmpty: return L"the file is empty";
    case FailureKind::SourceUnreadable: return L"the file cannot be read";
    case FailureKind::CopyProtected: return L"the file is copy-protected (encrypted)";
    case FailureKind::OutputFolderMissing: return L"the output folder is missing";
    case FailureKind::OutputFolderNotWritable: return L"the output folder cannot be written";
    case FailureKind::NotVideo: return L"not a video file the converter can read";
    case FailureKind::NoMedia: return L"the file holds no video or sound";
    case FailureKind::UnsupportedVideo:
        return L"the video format is not supported" +
               (failure.detail.empty() ? std::wstring() : L" (" + tk::Widen(failure.detail) + L")");
    case FailureKind::UnsupportedSound:
        return L"the sound format is not supported" +
               (failure.detail.empty() ? std::wstring() : L" (" + tk::Widen(failure.detail) + L")");
    case FailureKind::Damaged: return L"the video is damaged or incomplete";
    case FailureKind::DiskFull: return L"the output disk is full";
    case FailureKind::Stopped: return L"the converter stopped before the end";
    case FailureKind::NotRenamed:
        return L"the result could not be renamed; it is kept in the output folder as " + tk::Widen(failure.detail);
    case FailureKind::NotFlushed:
        return L"the result could not be written to the disk; it is kept in the output folder as " +
               tk::Widen(failure.detail);
    case FailureKind::NotHandedOver: return L"the program could not hand it to the converter";
    case FailureKind::ToolError: {
        std::string line = failure.detail;
        if (line.size() > kToolLineChars) line = line.substr(0, kToolLineChars - 3) + "...";
        return L"the converter reported: " + tk::Widen(line);
    }
    }
    return L"";
}
