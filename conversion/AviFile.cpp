#include "conversion/AviFile.h"

#include <windows.h>

#include <algorithm>
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
    bool header = false;      // LIST hdrl
    bool movie = false;       // LIST movi
    bool index = false;       // idx1
    bool streamIndex = false;  // an OpenDML index (indx) in a stream's header list
    bool openDml = false;     // LIST odml in the header list
    uint64_t indexedEnd = 0;  // where the furthest part an OpenDML index names ends
};

// Calls `visit(id, type, at, next)` for each chunk from `from` to `end`
// (type: a list's type, else empty); false when the chunks do not follow
// each other exactly to `end`, or when a visit says so.
template <typename Visit>
bool WalkChunks(const AviByteReader& read, uint64_t from, uint64_t end, Visit visit) {
    // A finished file has a handful of chunks at these levels; the bound only
    // keeps a damaged one from taking long.
    constexpr int kMostChunks = 100000;
    uint64_t at = from;
    for (int chunks = 0; at < end; ++chunks) {
        if (chunks == kMostChunks || end - at < 8) return false;
        ChunkHeader chunk{};
        if (!ReadHeader(read, at, false, chunk)) return false;
        const uint64_t next = ChunkEnd(at, chunk.size);
        if (next > end + (chunk.size & 1)) return false;
        char type[4] = {};
        if (Is(chunk.id, "LIST")) {
            if (chunk.size < 4 || !read(at + 8, type, 4)) return false;
        }
        if (!visit(chunk.id, type, at, std::min(next, end))) return false;
        at = next;
    }
    return true;
}

// An OpenDML index of `size` bytes at `at` (after its chunk header): the end
// of the furthest part it names (each entry: its offset, size, duration).
bool ReadStreamIndex(const AviByteReader& read, uint64_t at, uint32_t size, uint64_t& furthest) {
    constexpr uint32_t kHead = 24, kEntry = 16;
    unsigned char head[kHead];
    if (size < kHead || !read(at, head, kHead)) return false;
    const uint32_t inUse = LittleEndian32(head + 4);
    if (inUse > (size - kHead) / kEntry) return false;
    for (uint32_t i = 0; i < inUse; ++i) {
        unsigned char entry[kEntry];
        if (!read(at + kHead + uint64_t{i} * kEntry, entry, kEntry)) return false;
        const uint64_t offset = LittleEndian32(entry) | uint64_t{LittleEndian32(entry + 4)} << 32;
        furthest = std::max(furthest, offset + LittleEndian32(entry + 8));  // the size counts the chunk's header
    }
    return true;
}

// The header list: whether a stream's list carries an OpenDML index, and
// whether the OpenDML list has been written. (The tool writes both as
// "JUNK" placeholders at the start, turns a stream's into "indx" when it
// closes its first RIFF, and the other into "LIST odml" only at its clean
// end.)
bool WalkHeader(const AviByteReader& read, uint64_t from, uint64_t end, RiffContent& content) {
    return WalkChunks(read, from, end, [&](const char* id, const char* type, uint64_t at, uint64_t next) {
        if (Is(id, "LIST") && Is(type, "odml")) content.openDml = true;
        if (!Is(id, "LIST") || !Is(type, "strl")) return true;
        return WalkChunks(read, at + 12, next, [&](const char* inner, const char*, uint64_t chunk, uint64_t end) {
            if (!Is(inner, "indx")) return true;
            content.streamIndex = true;
            return ReadStreamIndex(read, chunk + 8, static_cast<uint32_t>(end - chunk - 8), content.indexedEnd);
        });
    });
}

bool WalkRiff(const AviByteReader& read, uint64_t from, uint64_t end, RiffContent& content) {
    return WalkChunks(read, from, end, [&](const char* id, const char* type, uint64_t at, uint64_t next) {
        if (Is(id, "idx1")) content.index = true;
        if (!Is(id, "LIST")) return true;
        if (Is(type, "movi")) content.movie = true;
        if (!Is(type, "hdrl")) return true;
        content.header = true;
        return WalkHeader(read, at + 12, next, content);
    });
}

}  // namespace

bool IsWholeAvi(uint64_t fileSize, const AviByteReader& read) {
    uint64_t at = 0;
    int riffs = 0;
    bool index = false, streamIndex = false, openDml = false;
    uint64_t indexedEnd = 0;
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
        streamIndex = streamIndex || content.streamIndex;
        openDml = openDml || content.openDml;
        indexedEnd = std::max(indexedEnd, content.indexedEnd);
        at = ChunkEnd(at, riff.size);
        if (at == fileSize + 1) at = fileSize;  // the last pad byte may be missing
        ++riffs;
    }
    if (riffs == 0 || at != fileSize) return false;
    // A file that has grown past its first RIFF is finished only once its
    // OpenDML list is written: until then every RIFF it holds may be whole.
    // And a finished one cut short later keeps an index that names parts
    // beyond its end.
    if (streamIndex && (!openDml || indexedEnd > fileSize)) return false;
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
