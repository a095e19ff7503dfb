// Data compiled into the executable as resources.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tk {

// The bytes of a resource of the given module; nothing when it is missing.
// The view stays valid as long as the module is loaded.
std::optional<std::string_view> FindResourceData(HMODULE module, LPCSTR name, LPCSTR type);

// Where a resource of the given module lies in the module's file: the file,
// the resource's offset there and its size. Nothing when it is missing.
// Reading it from the file instead of the loaded image keeps a large
// resource's pages out of the program's memory.
struct ResourceInFile {
    std::wstring file;
    unsigned long long offset = 0;
    unsigned long long size = 0;
};
std::optional<ResourceInFile> FindResourceInFile(HMODULE module, LPCSTR name, LPCSTR type);

// Layouts and pictures are RCDATA resources named after their file:
// "main_logo.bmp" is stored as MAIN_LOGO_BMP (upper case, every character
// other than a letter or digit turned into "_"). The build names them the same way.
std::string ResourceNameForFile(const std::string& file);

// The bytes of the data file compiled in under ResourceNameForFile(file), from
// the running executable; throws tk::Error when it is not there.
std::string_view DataFile(const std::string& file);

}  // namespace tk
