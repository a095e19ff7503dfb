#include "toolkit/Resources.h"

#include "toolkit/Text.h"

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
