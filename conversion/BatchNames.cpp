#include "conversion/BatchNames.h"

#include "toolkit/Text.h"

std::string FileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("\\:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string OutputBaseName(const std::string& source) {
    std::string name = FileNamePart(source);
    const size_t mp4 = tk::AsciiUpper(name).find(".MP4");
    if (mp4 != std::string::npos) name.erase(mp4, 4);
    return name + ".AVI";
}

std::string FreeNameIn(const std::string& folder, const std::string& base, const PathTaken& taken) {
    std::string candidate = base;
    for (long long k = 1; taken(folder + candidate); ++k) candidate = "[" + std::to_string(k) + "]" + base;
    return folder + candidate;
}

std::string TempNameIn(const std::string& folder, const std::string& finalName, const PathTaken& taken) {
    const std::string finalUpper = tk::AsciiUpper(finalName);
    return FreeNameIn(folder, kTempFileName, [&](const std::string& path) {
        return taken(path) || tk::AsciiUpper(path) == finalUpper;
    });
}

std::string OperationText(const std::string& source) { return "Convert file \"" + FileNamePart(source) + "\":"; }

int BarWidth(int percent) {
    if (percent <= 0) return 0;
    return static_cast<int>(static_cast<long long>(percent) * kBarWidth / 100);
}

int TotalPercent(int filePercent, int currentIndex, int sourceCount) {
    if (sourceCount <= 0) return 0;
    const long long done = static_cast<long long>(currentIndex - 1) * 100 + filePercent;
    return static_cast<int>(done / sourceCount);
}

std::string DoneMessage(const std::vector<std::string>& notConverted) {
    std::string text = "Done.";
    if (notConverted.empty()) return text;
    text += "\n\nNot converted:";
    for (size_t i = 0; i < notConverted.size() && i < kNotConvertedListed; ++i) text += "\n" + notConverted[i];
    if (notConverted.size() > kNotConvertedListed)
        text += "\n... and " + std::to_string(notConverted.size() - kNotConvertedListed) + " more.";
    return text;
}
