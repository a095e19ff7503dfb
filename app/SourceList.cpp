#include "app/SourceList.h"

#include <windows.h>

#include <algorithm>

#include "toolkit/Files.h"

bool HasMp4Extension(const std::wstring& path) {
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || path.find_first_of(L"\\:", dot) != std::wstring::npos) return false;
    std::wstring upper = path.substr(dot);
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return upper == L".MP4";
}

std::optional<std::string> ExactAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    // A UTF-8 code page takes neither the flag nor the default-character
    // report; the way back below tells there.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* reportDefault = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, nullptr, 0, nullptr, reportDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string ansi(length, '\0');
    ::WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, ansi.data(), length, nullptr, reportDefault);
    if (usedDefault) return std::nullopt;
    // The way back must give the same text.
    const int backLength = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::wstring back(backLength, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, back.data(), backLength);
    if (back != text) return std::nullopt;
    return ansi;
}

std::wstring ShortPathOf(const std::wstring& path) {
    const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring buffer(needed, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) return {};
    buffer.resize(length);
    return buffer;
}

std::optional<std::string> ListedPath(const std::wstring& path, const ShortPathLookup& shortPath) {
    if (auto ansi = ExactAnsi(path)) return ansi;
    const std::wstring shortForm = shortPath(path);
    if (shortForm.empty()) return std::nullopt;
    return ExactAnsi(shortForm);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::vector<ListedFile> FilesToAdd(const std::vector<std::wstring>& listedNames,
                                   const std::vector<ListedFile>& candidates) {
    std::vector<std::wstring> seen = listedNames;
    std::vector<ListedFile> added;
    for (const ListedFile& file : candidates) {
        const auto same = [&](const std::wstring& name) { return SamePath(name, file.name); };
        if (std::any_of(seen.begin(), seen.end(), same)) continue;
        seen.push_back(file.name);
        added.push_back(file);
    }
    return added;
}

int64_t GetFileSizeBytes(const std::string& path) { return tk::EntrySize(path); }

std::string SizeText(int64_t bytes, const std::string& decimalSeparator) {
    constexpr int64_t kMegabyte = 1024 * 1024;
    if (bytes < 0) bytes = 0;
    int64_t whole = bytes / kMegabyte;
    // Hundredths of the remainder, rounded half up; exact in integers.
    int64_t hundredths = ((bytes % kMegabyte) * 100 + kMegabyte / 2) / kMegabyte;
    if (hundredths == 100) {
        ++whole;
        hundredths = 0;
    }
    const char digits[3] = {static_cast<char>('0' + hundredths / 10), static_cast<char>('0' + hundredths % 10), '\0'};
    return std::to_string(whole) + decimalSeparator + digits;
}

std::string LocaleDecimalSeparator() {
    char separator[8] = "";
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) <= 1) return ".";
    return separator;
}

std::string FileSizeText(const std::string& path) { return SizeText(GetFileSizeBytes(path), LocaleDecimalSeparator()); }
