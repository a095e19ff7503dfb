// The checks of media files (AviFile.h, Mp4Protection.h) on files on disk.
// The checks themselves need no system: they read through a ByteReader, and
// this is the one that reads a file.
#include <windows.h>

#include "conversion/AviFile.h"
#include "conversion/Mp4Protection.h"
#include "toolkit/Handles.h"

namespace {

// A file opened for reading, shared with every other opener (the tool may
// still hold its output), read at any offset.
class MediaFile {
public:
    explicit MediaFile(const std::wstring& path)
        : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        LARGE_INTEGER size{};
        if (file_ && ::GetFileSizeEx(file_.Get(), &size)) {
            size_ = static_cast<uint64_t>(size.QuadPart);
        } else {
            file_.Reset();
        }
    }

    explicit operator bool() const { return static_cast<bool>(file_); }
    uint64_t Size() const { return size_; }

    ByteReader Reader() const {
        return [this](uint64_t offset, void* into, uint32_t count) {
            LARGE_INTEGER position{};
            position.QuadPart = static_cast<LONGLONG>(offset);
            DWORD read = 0;
            return ::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN) &&
                   ::ReadFile(file_.Get(), into, count, &read, nullptr) && read == count;
        };
    }

private:
    tk::FileHandle file_;
    uint64_t size_ = 0;
};

}  // namespace

AviCheck CheckAviFile(const std::wstring& path) {
    const MediaFile file(path);
    if (!file) return {};
    return CheckAvi(file.Size(), file.Reader());
}

bool IsWholeAviFile(const std::wstring& path) { return CheckAviFile(path).whole; }

Mp4Protection Mp4ProtectionOfFile(const std::wstring& path) {
    const MediaFile file(path);
    if (!file) return Mp4Protection::Unknown;
    return Mp4ProtectionOf(file.Size(), file.Reader());
}
