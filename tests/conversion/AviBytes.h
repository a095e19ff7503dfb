// Small AVI files built in memory, whole or as a stopped tool leaves them,
// for the check of whole files and for the scripted stand-in tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace avi_bytes {

inline std::string Le32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
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
inline std::string Movie(int frames = 3) {
    std::string content;
    for (int i = 0; i < frames; ++i) content += Chunk("00dc", std::string(5 + i, 'v'));
    return List("movi", content);
}
inline std::string Index(int frames = 3) { return Chunk("idx1", std::string(16 * frames, 'i')); }

// The header list of a file the tool can grow past 1 GB: a stream's list
// holding its OpenDML index ("indx", once the first RIFF is closed) or the
// placeholder written at the start, and the OpenDML list ("LIST odml", at the
// clean end) or its placeholder.
// The index's entries in use name parts of `indexed` bytes from the file's
// start.
inline std::string OpenDmlHeader(bool streamIndex, bool openDml, uint32_t indexed = 16) {
    std::string indx = std::string(4, 'h') + Le32(1) + std::string(16, 'h');  // one entry in use, room for four
    indx += Le32(0) + Le32(0) + Le32(indexed) + Le32(3) + std::string(16 * 3, '\0');
    const std::string strl = List("strl", Chunk("strh", std::string(56, '\0')) + Chunk("strf", std::string(40, 'f')) +
                                              Chunk(streamIndex ? "indx" : "JUNK", indx));
    const std::string dmlh = Chunk("dmlh", std::string(248, '\0'));
    return List("hdrl", Chunk("avih", std::string(56, '\0')) + strl +
                            (openDml ? List("odml", dmlh) : Chunk("JUNK", "odml" + dmlh)));
}

// What the tool leaves when it ends cleanly.
inline std::string Whole() { return Riff("AVI ", Header() + Chunk("JUNK", "pad") + Movie() + Index()); }
// What it leaves when it is stopped halfway: sizes never filled in, no index.
inline std::string CutShort() {
    return Riff("AVI ", Header() + List("movi", Chunk("00dc", "vvvvv") + Chunk("01wb", "aaaa"), 0xFFFFFFFF),
                0xFFFFFFFF);
}

}  // namespace avi_bytes
