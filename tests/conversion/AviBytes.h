// Small AVI files built in memory, whole or as a stopped tool leaves them,
// for the check of whole files and for the scripted stand-in tool.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace avi_bytes {

inline std::string Le16(uint16_t value) { return {static_cast<char>(value), static_cast<char>(value >> 8)}; }
inline std::string Le32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}
inline std::string Le64(uint64_t value) {
    return Le32(static_cast<uint32_t>(value)) + Le32(static_cast<uint32_t>(value >> 32));
}

// A chunk: its id, its size (the data's, unless `size` says otherwise: an
// unfilled size), the data and a pad byte when the size is odd.
inline std::string Chunk(const std::string& id, const std::string& data, int64_t size = -1) {
    std::string bytes = id + Le32(size < 0 ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(size)) + data;
    if (data.size() & 1) bytes += '\0';
    return bytes;
}
inline std::string List(const std::string& type, const std::string& content, int64_t size = -1) {
    return Chunk("LIST", type + content, size);
}
inline std::string Riff(const std::string& form, const std::string& content, int64_t size = -1) {
    return Chunk("RIFF", form + content, size);
}

inline std::string Header() { return List("hdrl", Chunk("avih", std::string(56, '\0'))); }
// The frames of stream 0, video; frame i holds 5 + i % 4 bytes.
inline std::string Frames(int frames) {
    std::string content;
    for (int i = 0; i < frames; ++i) content += Chunk("00dc", std::string(5 + i % 4, 'v'));
    return content;
}
inline std::string Movie(int frames = 3) { return List("movi", Frames(frames)); }
// An idx1 entry: the chunk's id, its flags (a key frame), its offset from
// the movi list's type and its size.
inline std::string IndexEntry(const std::string& id, uint32_t offset, uint32_t size) {
    return id + Le32(0x10) + Le32(offset) + Le32(size);
}
// The idx1 index of Movie(frames).
inline std::string Index(int frames = 3) {
    std::string entries;
    uint32_t offset = 4;
    for (int i = 0; i < frames; ++i) {
        entries += IndexEntry("00dc", offset, 5 + i % 4);
        offset += 8 + ((5 + i % 4 + 1) & ~1);
    }
    return Chunk("idx1", entries);
}

// An OpenDML standard index ("ix00"), written into the movi list as the tool
// closes each RIFF: its head (entry size in 32-bit words, sub-type, type 1:
// an index of chunks, entries in use, the stream's chunk id, base offset,
// reserved) and an entry (offset, size) for each of `frames` frames.
inline std::string StandardIndex(int frames, const std::string& chunkId = "00dc") {
    std::string data = Le16(2) + '\0' + '\1' + Le32(frames) + chunkId + Le64(0) + Le32(0);
    for (int i = 0; i < frames; ++i) data += Le32(8 + 16 * i) + Le32(5 + i % 4);
    return Chunk("ix" + chunkId.substr(0, 2), data);
}

// An entry of a super index: where a standard index lies (its chunk header
// included) and how long it is.
struct SuperEntry {
    uint64_t offset;
    uint32_t size;
};
// A stream's OpenDML super index ("indx"), the chunk's data: its head (entry
// size in 32-bit words, sub-type, type 0: an index of indexes, entries in
// use, the stream's chunk id, reserved), then room for four entries, those
// given in use (unless `inUse` claims another count); room for more when
// `room` says so.
inline std::string SuperIndex(const std::vector<SuperEntry>& entries, int64_t inUse = -1, size_t room = 4) {
    std::string data = Le16(4) + '\0' + '\0' + Le32(static_cast<uint32_t>(inUse < 0 ? entries.size() : inUse)) +
                       "00dc" + std::string(12, '\0');
    for (const SuperEntry& entry : entries) data += Le64(entry.offset) + Le32(entry.size) + Le32(3);
    data.resize(24 + 16 * std::max(room, entries.size()), '\0');
    return data;
}

// The header list of a file the tool can grow past 1 GB: a stream's list
// holding its OpenDML index ("indx", once the first RIFF is closed) or the
// placeholder written at the start, and the OpenDML list ("LIST odml", at the
// clean end) or its placeholder.
inline std::string OpenDmlHeader(bool streamIndex, bool openDml, const std::string& indx = SuperIndex({})) {
    const std::string strl = List("strl", Chunk("strh", std::string(56, '\0')) + Chunk("strf", std::string(40, 'f')) +
                                              Chunk(streamIndex ? "indx" : "JUNK", indx));
    const std::string dmlh = Chunk("dmlh", std::string(248, '\0'));
    return List("hdrl", Chunk("avih", std::string(56, '\0')) + strl +
                            (openDml ? List("odml", dmlh) : Chunk("JUNK", "odml" + dmlh)));
}

// A file of OpenDML RIFFs as the tool writes it past 1 GB: RIFF i holds
// frames[i] frames and their standard index at the end of its movi list,
// the first also the idx1 index of its own frames. The stream's super index
// names the first `indexed` standard indexes (all when negative); the
// OpenDML list is written when `openDml`.
inline std::string OpenDmlFile(const std::vector<int>& frames, bool openDml = true, int indexed = -1) {
    const size_t count = indexed < 0 ? frames.size() : static_cast<size_t>(indexed);
    // The header's size does not depend on where the entries point.
    const size_t header = OpenDmlHeader(true, openDml).size();
    std::vector<SuperEntry> entries;
    uint64_t riff = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint64_t movie = riff + 12 + (i == 0 ? header : 0);
        const std::string ix = StandardIndex(frames[i]);
        if (i < count) entries.push_back({movie + 12 + Frames(frames[i]).size(), static_cast<uint32_t>(ix.size())});
        riff = movie + 12 + Frames(frames[i]).size() + ix.size() + (i == 0 ? Index(frames[0]).size() : 0);
    }
    std::string file;
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::string movie = List("movi", Frames(frames[i]) + StandardIndex(frames[i]));
        file += i == 0 ? Riff("AVI ", OpenDmlHeader(true, openDml, SuperIndex(entries)) + movie + Index(frames[0]))
                       : Riff("AVIX", movie);
    }
    return file;
}

// What the tool leaves when it ends cleanly.
inline std::string Whole() { return Riff("AVI ", Header() + Chunk("JUNK", "pad") + Movie() + Index()); }
// What it leaves when it is stopped halfway: sizes never filled in, no index.
inline std::string CutShort() {
    return Riff("AVI ", Header() + List("movi", Chunk("00dc", "vvvvv") + Chunk("01wb", "aaaa"), 0xFFFFFFFF),
                0xFFFFFFFF);
}

}  // namespace avi_bytes
