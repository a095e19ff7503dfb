#include "toolkit/Resources.h"

#include "toolkit/Text.h"

#include <vector>

namespace tk {

std::optional<std::string_view> FindResourceData(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC info = ::FindResourceA(module, name, type);
    if (!info) return std::nullopt;
    HGLOBAL data = ::LoadResource(module, info);
    if (!data) return std::nullopt;
    const void* bytes = ::LockResource(data);
    if (!bytes) return std::nullopt;
    return std::string_view(static_cast<const char*>(bytes), ::SizeofResource(module, info));
}

std::optional<ResourceInFile> FindResourceInFile(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC info = ::FindResourceA(module, name, type);
    if (!info) return std::nullopt;
    HGLOBAL data = ::LoadResource(module, info);
    // Where the resource lies in the loaded image; nothing of it is read.
    const void* bytes = data ? ::LockResource(data) : nullptr;
    if (!bytes) return std::nullopt;
    const auto base = reinterpret_cast<const BYTE*>(module);
    const size_t rva = static_cast<const BYTE*>(bytes) - base;
    const DWORD size = ::SizeofResource(module, info);
    const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const size_t start = section->VirtualAddress;
        if (rva < start || rva - start > section->SizeOfRawData || size > section->SizeOfRawData - (rva - start))
            continue;
        wchar_t path[MAX_PATH + 1] = L"";
        std::wstring file;
        DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH + 1);
        if (length > 0 && length <= MAX_PATH) {
            file.assign(path, length);
        } else {
            std::vector<wchar_t> longPath(32768);
            length = ::GetModuleFileNameW(module, longPath.data(), static_cast<DWORD>(longPath.size()));
            if (length == 0 || length >= longPath.size()) return std::nullopt;
            file.assign(longPath.data(), length);
        }
        return ResourceInFile{file, section->PointerToRawData + (rva - start), size};
    }
    return std::nullopt;
}

std::string ResourceNameForFile(const std::string& file) {
    std::string name = AsciiUpper(file);
    for (char& c : name) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!keep) c = '_';
    }
    return name;
}

std::string_view DataFile(const std::string& file) {
    const std::string name = ResourceNameForFile(file);
    if (auto data = FindResourceData(::GetModuleHandleA(nullptr), name.c_str(), MAKEINTRESOURCEA(10)))
        return *data;
    throw Error(Format("Resource %s not found", name.c_str()));
}

}  // namespace tk
