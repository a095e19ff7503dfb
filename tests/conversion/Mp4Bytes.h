// Small MP4 files built in memory, plain or protected, for the check of
// protected sources: boxes as the ISO base media file format and QuickTime
// lay them out, with their fields zero where the check does not read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mp4_bytes {

inline std::string Be16(uint16_t value) { return {static_cast<char>(value >> 8), static_cast<char>(value)}; }
inline std::string Be32(uint32_t value) {
    return Be16(static_cast<uint16_t>(value >> 16)) + Be16(static_cast<uint16_t>(value));
}
inline std::string Be64(uint64_t value) {
    return Be32(static_cast<uint32_t>(value >> 32)) + Be32(static_cast<uint32_t>(value));
}

// A box: its size (its header's and content's, unless `size` says otherwise),
// its type, its content.
inline std::string Box(const std::string& type, const std::string& content, int64_t size = -1) {
    return Be32(static_cast<uint32_t>(size < 0 ? 8 + content.size() : size)) + type + content;
}
// A box whose size is given in 64 bits after its type (its 32-bit size is 1).
inline std::string LargeBox(const std::string& type, const std::string& content,
                            std::optional<uint64_t> size = std::nullopt) {
    return Be32(1) + type + Be64(size.value_or(16 + content.size())) + content;
}
// A box of a version and flags.
inline std::string FullBox(const std::string& type, uint8_t version, const std::string& content) {
    return Box(type, std::string(1, static_cast<char>(version)) + std::string(3, '\0') + content);
}

inline std::string FileType() { return Box("ftyp", "isom" + Be32(512) + "isomiso2avc1mp41"); }

// A protection scheme box: the original format, the scheme (Common
// Encryption's "cenc"), and its information (the default key id).
inline std::string ProtectionScheme(const std::string& original) {
    return Box("sinf", Box("frma", original) + FullBox("schm", 0, "cenc" + Be32(0x10000)) +
                           Box("schi", FullBox("tenc", 0, std::string(4, '\0') + std::string(16, 'k'))));
}

// The sample entry's fields: 6 reserved bytes, the data reference index.
inline std::string EntryFields() { return std::string(6, '\0') + Be16(1); }
// A video sample description: the sample entry's fields, then the video
// description's (70 bytes: sizes, resolution, frame count, compressor name,
// depth), then its boxes.
inline std::string VideoEntry(const std::string& type, const std::string& boxes = "") {
    const std::string video = std::string(16, '\0') + Be16(640) + Be16(360) + Be32(0x480000) + Be32(0x480000) +
                              Be32(0) + Be16(1) + std::string(32, '\0') + Be16(24) + Be16(0xFFFF);
    return Box(type, EntryFields() + video + Box("avcC", std::string(12, 'c')) + boxes);
}
// A sound sample description of `version`: 20 bytes of fields (version,
// revision, vendor, channels, sample size, compression id, packet size,
// rate), then QuickTime's 16 more for version 1 or 36 for version 2.
inline std::string SoundEntry(const std::string& type, const std::string& boxes = "", uint16_t version = 0) {
    std::string sound =
        Be16(version) + std::string(6, '\0') + Be16(2) + Be16(16) + Be16(0) + Be16(0) + Be32(44100u << 16);
    // Version 1: samples per packet, bytes per packet, frame and sample;
    // version 2: its own layout, 36 bytes more, beginning with its size.
    if (version == 1) sound += Be32(1024) + Be32(1) + Be32(4) + Be32(2);
    if (version == 2) sound += Be32(72) + std::string(32, '\x7F');
    return Box(type, EntryFields() + sound + Box("esds", std::string(20, 'e')) + boxes);
}

// stsd: its version, the count of its entries (theirs, unless `count` says
// otherwise), the entries.
inline std::string SampleDescriptions(const std::vector<std::string>& entries, int64_t count = -1,
                                      uint8_t version = 0) {
    std::string all;
    for (const std::string& entry : entries) all += entry;
    return FullBox("stsd", version, Be32(static_cast<uint32_t>(count < 0 ? entries.size() : count)) + all);
}
// hdlr: a QuickTime component type, the handler type, reserved fields, a name.
inline std::string Handler(const std::string& handler) {
    return FullBox("hdlr", 0, Be32(0) + handler + std::string(12, '\0') + "Handler" + '\0');
}
// A track of `handler` ("vide", "soun") whose sample table starts with `stsd`.
inline std::string Track(const std::string& handler, const std::string& stsd) {
    const std::string table = Box("stbl", stsd + FullBox("stts", 0, Be32(0)) + FullBox("stsc", 0, Be32(0)) +
                                              FullBox("stsz", 0, Be32(0) + Be32(0)) + FullBox("stco", 0, Be32(0)));
    const std::string information =
        Box("minf", FullBox(handler == "soun" ? "smhd" : "vmhd", 0, std::string(8, '\0')) +
                        Box("dinf", FullBox("dref", 0, Be32(1) + FullBox("url ", 0, ""))) + table);
    return Box("trak", FullBox("tkhd", 0, std::string(80, '\0')) +
                           Box("mdia", FullBox("mdhd", 0, std::string(20, '\0')) + Handler(handler) + information));
}
inline std::string VideoTrack(const std::string& entry) { return Track("vide", SampleDescriptions({entry})); }
inline std::string SoundTrack(const std::string& entry) { return Track("soun", SampleDescriptions({entry})); }

inline std::string Movie(const std::string& tracks) {
    return Box("moov", FullBox("mvhd", 0, std::string(96, '\0')) + tracks);
}

// What a camera or a download holds: H.264 video and AAC sound, the movie
// box after the media data, or before it (`fastStart`).
inline std::string Plain(bool fastStart = false) {
    const std::string movie = Movie(VideoTrack(VideoEntry("avc1")) + SoundTrack(SoundEntry("mp4a")));
    const std::string data = Box("mdat", std::string(64, 'm'));
    return FileType() + (fastStart ? movie + data : data + movie);
}
// The same with its video encrypted (Common Encryption).
inline std::string Protected() {
    return FileType() + Box("mdat", std::string(64, 'm')) +
           Movie(VideoTrack(VideoEntry("encv", ProtectionScheme("avc1"))) + SoundTrack(SoundEntry("mp4a")));
}

}  // namespace mp4_bytes
