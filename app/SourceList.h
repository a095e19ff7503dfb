// The rules of the main window's source file list that need no window:
// which dropped names are taken, how a name that the system gives in wide
// form is held, duplicates, and the text of the size column.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// True when the path's extension is ".mp4", whatever the case of its ASCII
// letters. The extension is the text from the last "." on, provided that no
// "\" or ":" stands after that "."; otherwise there is none.
bool HasMp4Extension(const std::wstring& path);

// The text in the ANSI code page, when every character has its exact
// counterpart there (no best-fit stand-in, no default character).
std::optional<std::string> ExactAnsi(const std::wstring& text);

// The short (8.3) form of an existing path; empty when the system has none.
std::wstring ShortPathOf(const std::wstring& path);

// How a path that the system gives in wide form enters the list: as it is,
// when it can be written in the ANSI code page; otherwise in its short form,
// which is plain ASCII where the volume keeps 8.3 names. Nothing when neither
// can be written in the ANSI code page, since the program could not open
// the file by either.
using ShortPathLookup = std::function<std::wstring(const std::wstring&)>;
std::optional<std::string> ListedPath(const std::wstring& path, const ShortPathLookup& shortPath = ShortPathOf);

// True when two paths name one file as Windows compares file names: equal
// without regard to the case of their letters, compared ordinal (the file
// system's own upper-case table), not by the rules of any language.
bool SamePath(const std::wstring& a, const std::wstring& b);

// A file as the list holds it: the path the program passes on (see
// ListedPath) and the file's real name.
struct ListedFile {
    std::string path;
    std::wstring name;
};

// The candidates that are not listed yet, in their order, each once; a
// file is known by its real name (SamePath).
std::vector<ListedFile> FilesToAdd(const std::vector<std::wstring>& listedNames,
                                   const std::vector<ListedFile>& candidates);

// The size of the entry that the path names, in bytes: 0 for a folder and
// when the lookup fails. Hidden and system entries count like any other.
int64_t GetFileSizeBytes(const std::string& path);

// Bytes as megabytes (1024 x 1024 bytes) with exactly two decimals, the
// second rounded half away from zero on the exact value (131072 bytes, 0.125
// MB, is "0.13"); no grouping. A negative count counts as 0.
std::string SizeText(int64_t bytes, const std::string& decimalSeparator);

// The decimal separator of the user's locale settings; "." where they give none.
std::string LocaleDecimalSeparator();

// The size column's text for a path: its size with the user's separator.
std::string FileSizeText(const std::string& path);
