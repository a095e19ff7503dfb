#include "conversion/AviFile.h"

#include <windows.h>

#include <cstring>

#include "toolkit/Handles.h"

namespace {

using FourCc = char[4];

bool Is(const char* id, const char* text) { return std::memcmp(id, text, 4) == 0; }

uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

struct ChunkHeader {
    char id[4];
    uint32_t size;
    char form[4];  // the list or RIFF type; only for "LIST" and "RIFF"
};

bool ReadHeader(const AviByteReader& read, uint64_t offset, bool withForm, ChunkHeader& header) {
    unsigned char bytes[12];
    if (!read(offset, bytes, withForm ? 12 : 8)) return false;
    std::memcpy(header.id, bytes, 4);
    header.size = LittleEndian32(bytes + 4);
    if (withForm) std::memcpy(header.form, bytes + 8, 4);
    return true;
}

// Where a chunk of `size` data bytes starting at `offset` ends: chunks are
// padded to an even size.
uint64_t ChunkEnd(uint64_t offset, uint32_t size) { return offset + 8 + size + (size & 1); }

// The chunks inside one RIFF, from just after its form to `end`.
struct RiffContent {
    bool header = false;  // LIST hdrl
    bool movie = false;   // LIST movi
    bool index = false;   // idx1
};

bool WalkRiff(const AviByteReader& read, uint64_t from, uint64_t end, RiffContent& content) {
    // A finished file has a handful of chunks at this level; the bound only
    // keeps a damaged one from taking long.
    constexpr int kMostChunks = 100000;
    uint64_t at = from;
    for (int chunks = 0; at < end; ++chunks) {
        if (chunks == kMostChunks || end - at < 8) return false;
        ChunkHeader chunk{};
        if (!ReadHeader(read, at, false, chunk)) return false;
        const uint64_t next = ChunkEnd(at, chunk.size);
        if (next > end + (chunk.size & 1)) return false;
        if (Is(chunk.id, "LIST")) {
            if (chunk.size < 4) return false;
            char type[4];
            if (!read(at + 8, type, 4)) return false;
            if (Is(type, "hdrl")) content.header = true;
            if (Is(type, "movi")) content.movie = true;
        } else if (Is(chunk.id, "idx1")) {
            content.index = true;
        }
        at = next;
    }
    return true;
}

}  // namespace

bool IsWholeAvi(uint64_t fileSize, const AviByteReader& read) {
    uint64_t at = 0;
    int riffs = 0;
    bool index = false;
    while (at < fileSize) {
        if (fileSize - at < 12) return false;
        ChunkHeader riff{};
        if (!ReadHeader(read, at, true, riff)) return false;
        if (!Is(riff.id, "RIFF") || riff.size < 4) return false;
        if (!Is(riff.form, riffs == 0 ? "AVI " : "AVIX")) return false;
        const uint64_t end = at + 8 + riff.size;
        if (end > fileSize) return false;  // a size never filled in, or a file cut short
        RiffContent content;
        if (!WalkRiff(read, at + 12, end, content)) return false;
        if (!content.movie || (riffs == 0 && !content.header)) return false;
        index = index || content.index;
        at = ChunkEnd(at, riff.size);
        if (at == fileSize + 1) at = fileSize;  // the last pad byte may be missing
        ++riffs;
    }
    if (riffs == 0 || at != fileSize) return false;
    return riffs > 1 || index;
}

bool IsWholeAviFile(const std::wstring& path) {
    tk::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return false;
    return IsWholeAvi(static_cast<uint64_t>(size.QuadPart), [&](uint64_t offset, void* into, uint32_t count) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        return ::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) &&
               ::ReadFile(file.Get(), into, count, &read, nullptr) && read == count;
    });
}
