#include "conversion/BatchNames.h"

#include <algorithm>
#include <climits>

#include "toolkit/Text.h"

namespace {

// How many temporary names a file tries before it gives up: far more than
// there are batches at once, few enough to end soon in a folder that
// answers "taken" for every name.
constexpr long long kTempNameAttempts = 10000;

template <typename String>
String FileNameIn(const String& path) {
    for (size_t at = path.size(); at > 0; --at)
        if (path[at - 1] == '\\' || path[at - 1] == ':') return path.substr(at);
    return path;
}

}  // namespace

std::string FileNamePart(const std::string& path) { return FileNameIn(path); }

std::wstring FileNamePart(const std::wstring& path) { return FileNameIn(path); }

std::wstring OutputBaseName(const std::wstring& source) {
    std::wstring name = FileNamePart(source);
    const size_t mp4 = tk::AsciiUpper(name).find(L".MP4");
    if (mp4 != std::wstring::npos) name.erase(mp4, 4);
    return name + L".AVI";
}

std::wstring FreeNameIn(const std::wstring& folder, const std::wstring& base, const PathTaken& taken) {
    std::wstring candidate = base;
    for (long long k = 1; taken(folder + candidate); ++k) candidate = L"[" + std::to_wstring(k) + L"]" + base;
    return folder + candidate;
}

std::string ReserveTempName(const std::string& folder, const std::wstring& finalName, const ReserveName& reserve) {
    const std::wstring finalUpper = tk::AsciiUpper(finalName);
    int failedInRow = 0;
    for (long long k = 0; k < kTempNameAttempts; ++k) {
        const std::string candidate =
            folder + (k == 0 ? std::string() : "[" + std::to_string(k) + "]") + kTempFileName;
        if (tk::AsciiUpper(tk::Widen(candidate)) == finalUpper) continue;
        switch (reserve(candidate)) {
        case Reservation::Reserved: return candidate;
        case Reservation::Taken: failedInRow = 0; break;
        // A name still "delete pending" (held open by a scanner, an indexer
        // or Explorer) fails although the folder takes new files.
        case Reservation::Failed:
            if (++failedInRow == kFailedNamesInRow) return {};
            break;
        }
    }
    return {};
}

std::wstring OperationText(const std::wstring& source) { return L"Convert file \"" + FileNamePart(source) + L"\":"; }

int BarWidth(int percent) {
    if (percent <= 0) return 0;
    return static_cast<int>(std::min<long long>(static_cast<long long>(percent) * kBarWidth / 100, INT_MAX));
}

int TotalPercent(int filePercent, int currentIndex, int sourceCount) {
    if (sourceCount <= 0) return 0;
    const long long done = static_cast<long long>(currentIndex - 1) * 100 + filePercent;
    return static_cast<int>(done / sourceCount);
}

std::wstring DoneMessage(const std::vector<NotConvertedFile>& notConverted, size_t lineBudget) {
    std::wstring text = L"Done.";
    if (notConverted.empty()) return text;
    text += L"\n\nNot converted:";
    for (size_t i = 0; i < notConverted.size() && i < kNotConvertedListed; ++i) {
        const NotConvertedFile& file = notConverted[i];
        const std::wstring separator = file.reason.empty() ? L"" : L" - ";
        const size_t rest = separator.size() + file.reason.size();
        const std::wstring path =
            lineBudget == 0 ? file.path
                            : ShortenedPath(file.path, std::max(kShortestPath, lineBudget > rest ? lineBudget - rest : 0));
        text += L"\n" + path + separator + file.reason;
    }
    if (notConverted.size() > kNotConvertedListed)
        text += L"\n... and " + std::to_wstring(notConverted.size() - kNotConvertedListed) + L" more.";
    return text;
}

namespace {

// The length of a path's root: "C:\" or "\\server\share\"; 0 for others.
size_t RootLength(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
    if (path.rfind(L"\\\\", 0) == 0) {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return 0;
        const size_t share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? 0 : share + 1;
    }
    return 0;
}

}  // namespace

std::wstring ShortenedPath(const std::wstring& path, size_t budget) {
    if (path.size() <= budget) return path;
    const std::wstring dots = L"...";
    const size_t root = RootLength(path);
    if (root + dots.size() + 1 < budget) {
        const size_t room = budget - root - dots.size() - 1;
        // The longest run of whole last parts that fits.
        for (size_t at = path.find(L'\\', root); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            if (path.size() - at - 1 <= room) return path.substr(0, root) + dots + path.substr(at);
    }
    if (budget <= dots.size()) return dots.substr(0, budget);
    const size_t keep = budget - dots.size(), back = keep - keep / 2;
    return path.substr(0, keep / 2) + dots + path.substr(path.size() - back);
}

size_t LineBudget(int screenWidth, int averageCharWidth) {
    if (screenWidth <= 0 || averageCharWidth <= 0) return 0;
    return static_cast<size_t>(screenWidth) * 3 / 4 / static_cast<size_t>(averageCharWidth);
}
