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
    // Where the resource lies in the loaded image; nothing of it is read.
    const std::optional<std::string_view> data = FindResourceData(module, name, type);
    if (!data) return std::nullopt;
    const auto base = reinterpret_cast<const BYTE*>(module);
    const size_t rva = reinterpret_cast<const BYTE*>(data->data()) - base;
    const size_t size = data->size();
    const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const size_t start = section->VirtualAddress;
        if (rva < start || rva - start > section->SizeOfRawData || size > section->SizeOfRawData - (rva - start))
            continue;
        std::vector<wchar_t> path(MAX_PATH);
        for (;;) {
            const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
            if (length == 0) return std::nullopt;
            if (length < path.size())
                return ResourceInFile{std::wstring(path.data(), length), section->PointerToRawData + (rva - start), size};
            path.resize(path.size() * 2);
        }
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
