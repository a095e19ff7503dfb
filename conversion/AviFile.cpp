#include "conversion/AviFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

bool Is(const char* id, const char* text) { return std::memcmp(id, text, 4) == 0; }

uint32_t LittleEndian16(const unsigned char* bytes) { return bytes[0] | bytes[1] << 8; }
uint32_t LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
uint64_t LittleEndian64(const unsigned char* bytes) {
    return LittleEndian32(bytes) | uint64_t{LittleEndian32(bytes + 4)} << 32;
}

// Whether `count` bytes at `offset` lie inside a file of `size` bytes, told
// without adding them up (the sum of two values from the file can wrap).
bool Inside(uint64_t offset, uint64_t count, uint64_t size) { return count <= size && offset <= size - count; }

// A stream's chunk of video ("##dc" compressed, "##db" uncompressed) or of
// audio ("##wb"): the stream's number in two digits, then its kind.
bool IsFrameChunk(const char* id) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(id[0]) && digit(id[1]) &&
           (std::memcmp(id + 2, "dc", 2) == 0 || std::memcmp(id + 2, "db", 2) == 0 ||
            std::memcmp(id + 2, "wb", 2) == 0);
}

// What the tool writes at most: it numbers streams in two digits and takes
// no more than 100, and it reserves room for 256 entries (one per RIFF of
// about 1 GB) in each stream's super index.
constexpr int kMostStreams = 100;
constexpr uint32_t kMostSuperEntries = 256;

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

// What the walk finds in the whole file.
struct AviContent {
    uint64_t fileSize = 0;
    bool header = false;        // LIST hdrl (this RIFF's)
    bool movie = false;         // LIST movi (this RIFF's)
    bool index = false;         // idx1 (in any RIFF)
    int streamIndexes = 0;      // OpenDML super indexes (indx) in the streams' header lists
    bool openDml = false;       // LIST odml in the header list
    uint64_t indexFrames = 0;   // the frames idx1 names
    uint64_t streamFrames = 0;  // the frames the standard indexes name
};

// Calls `visit(id, type, at, size, next)` for each chunk from `from` to
// `end` (type: a list's type, else empty; size: its data's); false when the
// chunks do not follow each other exactly to `end`, or when a visit says so.
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
        if (!visit(chunk.id, type, at, chunk.size, std::min(next, end))) return false;
        at = next;
    }
    return true;
}

// The idx1 index of `size` bytes at `at` (after its chunk header): 16 bytes
// an entry (the chunk's id, flags, offset, size), read in blocks of a fixed
// size. Counts the entries that name a frame.
bool CountIndexFrames(const AviByteReader& read, uint64_t at, uint32_t size, uint64_t& frames) {
    constexpr uint32_t kEntry = 16, kBlock = 4096 * kEntry;
    if (size % kEntry != 0) return false;
    std::vector<unsigned char> block(std::min(size, kBlock));
    for (uint32_t done = 0; done < size;) {
        const uint32_t count = std::min(size - done, kBlock);
        if (!read(at + done, block.data(), count)) return false;
        for (uint32_t entry = 0; entry < count; entry += kEntry) {
            if (IsFrameChunk(reinterpret_cast<const char*>(block.data() + entry))) ++frames;
        }
        done += count;
    }
    return true;
}

// A standard index that a super index entry names: `size` bytes at `offset`
// (its chunk header included), for the stream whose chunks are `chunkId`.
// Its entries in use are the frames it names.
bool ReadStandardIndex(const AviByteReader& read, uint64_t offset, uint32_t size, const char* chunkId,
                       AviContent& content) {
    // The chunk header; entry size in 32-bit words, sub-type, type; entries
    // in use; the chunk id; base offset; reserved. Then 8 bytes an entry.
    constexpr uint32_t kHead = 8 + 24, kEntry = 8;
    constexpr int kIndexOfChunks = 1;
    unsigned char head[kHead];
    if (size < kHead || !read(offset, head, kHead)) return false;
    const uint32_t chunkSize = LittleEndian32(head + 4);
    if (std::memcmp(head, "ix", 2) != 0 || chunkSize < kHead - 8 || chunkSize > size - 8) return false;
    if (LittleEndian16(head + 8) != kEntry / 4 || head[11] != kIndexOfChunks) return false;
    if (std::memcmp(head + 16, chunkId, 4) != 0) return false;
    const uint32_t inUse = LittleEndian32(head + 12);
    if (inUse > (chunkSize - (kHead - 8)) / kEntry) return false;
    if (IsFrameChunk(chunkId)) content.streamFrames += inUse;
    return true;
}

// A stream's OpenDML super index of `size` bytes at `at` (after its chunk
// header), read in one go: a head (entry size in 32-bit words, sub-type,
// type, entries in use, the stream's chunk id, reserved), then 16 bytes an
// entry (the offset of a standard index, its size, its duration). Each entry
// must name a standard index for this stream inside the file.
bool ReadSuperIndex(const AviByteReader& read, uint64_t at, uint32_t size, AviContent& content) {
    constexpr uint32_t kHead = 24, kEntry = 16;
    constexpr int kIndexOfIndexes = 0;
    std::array<unsigned char, kHead + kMostSuperEntries * kEntry> bytes;
    if (size < kHead) return false;
    const uint32_t count = std::min<uint32_t>(size, bytes.size());
    if (!read(at, bytes.data(), count)) return false;
    if (LittleEndian16(bytes.data()) != kEntry / 4 || bytes[3] != kIndexOfIndexes) return false;
    const uint32_t inUse = LittleEndian32(bytes.data() + 4);
    if (inUse > kMostSuperEntries || inUse > (size - kHead) / kEntry) return false;
    const char* chunkId = reinterpret_cast<const char*>(bytes.data() + 8);
    for (uint32_t i = 0; i < inUse; ++i) {
        const unsigned char* entry = bytes.data() + kHead + i * kEntry;
        const uint64_t offset = LittleEndian64(entry);
        const uint32_t length = LittleEndian32(entry + 8);  // the standard index's chunk header included
        if (!Inside(offset, length, content.fileSize)) return false;
        if (!ReadStandardIndex(read, offset, length, chunkId, content)) return false;
    }
    return true;
}

// The header list: whether a stream's list carries an OpenDML index, and
// whether the OpenDML list has been written. (The tool writes both as
// "JUNK" placeholders at the start, turns a stream's into "indx" when it
// closes its first RIFF, and the other into "LIST odml" only at its clean
// end.)
bool WalkHeader(const AviByteReader& read, uint64_t from, uint64_t end, AviContent& content) {
    return WalkChunks(read, from, end, [&](const char* id, const char* type, uint64_t at, uint32_t, uint64_t next) {
        if (Is(id, "LIST") && Is(type, "odml")) content.openDml = true;
        if (!Is(id, "LIST") || !Is(type, "strl")) return true;
        return WalkChunks(read, at + 12, next,
                          [&](const char* inner, const char*, uint64_t chunk, uint32_t size, uint64_t) {
                              if (!Is(inner, "indx")) return true;
                              if (++content.streamIndexes > kMostStreams) return false;
                              return ReadSuperIndex(read, chunk + 8, size, content);
                          });
    });
}

bool WalkRiff(const AviByteReader& read, uint64_t from, uint64_t end, AviContent& content) {
    return WalkChunks(
        read, from, end, [&](const char* id, const char* type, uint64_t at, uint32_t size, uint64_t next) {
            if (Is(id, "idx1")) {
                if (size % 16 != 0) return false;
                content.index = true;
                // The header list comes first: a file with OpenDML indexes is
                // counted in them.
                return content.streamIndexes > 0 || CountIndexFrames(read, at + 8, size, content.indexFrames);
            }
            if (!Is(id, "LIST")) return true;
            if (Is(type, "movi")) content.movie = true;
            if (!Is(type, "hdrl")) return true;
            content.header = true;
            return WalkHeader(read, at + 12, next, content);
        });
}

bool Whole(uint64_t fileSize, const AviByteReader& read, AviContent& content) {
    content.fileSize = fileSize;
    uint64_t at = 0;
    int riffs = 0;
    while (at < fileSize) {
        if (fileSize - at < 12) return false;
        ChunkHeader riff{};
        if (!ReadHeader(read, at, true, riff)) return false;
        if (!Is(riff.id, "RIFF") || riff.size < 4) return false;
        if (!Is(riff.form, riffs == 0 ? "AVI " : "AVIX")) return false;
        const uint64_t end = at + 8 + riff.size;
        if (end > fileSize) return false;  // a size never filled in, or a file cut short
        content.header = content.movie = false;
        if (!WalkRiff(read, at + 12, end, content)) return false;
        if (!content.movie || (riffs == 0 && !content.header)) return false;
        at = ChunkEnd(at, riff.size);
        if (at == fileSize + 1) at = fileSize;  // the last pad byte may be missing
        ++riffs;
    }
    if (riffs == 0 || at != fileSize) return false;
    // A file that has grown past its first RIFF is finished only once its
    // OpenDML list is written: until then every RIFF it holds may be whole.
    // (And a finished one cut short later keeps an index that names parts
    // beyond its end: the walk of the header found that.)
    if (content.streamIndexes > 0 && !content.openDml) return false;
    return riffs > 1 || content.index;
}

}  // namespace

AviCheck CheckAvi(uint64_t fileSize, const AviByteReader& read) {
    AviContent content;
    if (!Whole(fileSize, read, content)) return {};
    return {true, content.streamIndexes > 0 ? content.streamFrames : content.indexFrames};
}

bool IsWholeAvi(uint64_t fileSize, const AviByteReader& read) { return CheckAvi(fileSize, read).whole; }
