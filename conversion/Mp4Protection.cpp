#include "conversion/Mp4Protection.h"

#include <cstring>

namespace {

// The walk's bounds: the box headers it reads in all (a camera's file has
// a few dozen on the way to its descriptions; a fragmented one holds its
// thousands of fragments after its movie), and the sample descriptions of a
// track (the tool refuses a stsd of more).
constexpr int kMostBoxes = 4096;
constexpr uint32_t kMostSampleEntries = 1024;

uint32_t BigEndian16(const unsigned char* bytes) { return bytes[0] << 8 | bytes[1]; }
uint32_t BigEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}
uint64_t BigEndian64(const unsigned char* bytes) { return uint64_t{BigEndian32(bytes)} << 32 | BigEndian32(bytes + 4); }

bool Is(const char* type, const char* text) { return std::memcmp(type, text, 4) == 0; }

// A sample description of encrypted samples: Common Encryption's video and
// audio, FairPlay's video and audio.
bool IsProtectedEntry(const char* type) {
    return Is(type, "encv") || Is(type, "enca") || Is(type, "drmi") || Is(type, "drms");
}

struct Box {
    char type[4];
    uint64_t content;  // where its content starts, after its header
    uint64_t end;      // where it ends
};

// How a walk over boxes goes on: to the next box, or it stops, because it
// has what it looked for, because a track is protected, or because the file
// is lost to it.
enum class Step { Next, Stop, Protected, Lost };

class Walk {
public:
    explicit Walk(const ByteReader& read) : read_(read) {}

    Mp4Protection File(uint64_t fileSize) {
        const Step step = ForEachBox(0, fileSize, [&](const Box& box) {
            if (!Is(box.type, "moov")) return Step::Next;
            const Step movie = Movie(box);
            return movie == Step::Next ? Step::Stop : movie;
        });
        if (step == Step::Protected) return Mp4Protection::Protected;
        return step == Step::Stop ? Mp4Protection::Plain : Mp4Protection::Unknown;  // Next: no moov
    }

private:
    // The box whose header starts at `at`, in a parent that ends at `end`
    // (at least 8 bytes on).
    Step ReadBox(uint64_t at, uint64_t end, Box& box) {
        if (++boxes_ > kMostBoxes) return Step::Lost;
        unsigned char header[8];
        if (!read_(at, header, 8)) return Step::Lost;
        std::memcpy(box.type, header + 4, 4);
        uint64_t size = BigEndian32(header), headerSize = 8;
        if (size == 1) {
            if (end - at < 16 || !read_(at + 8, header, 8)) return Step::Lost;
            size = BigEndian64(header);
            headerSize = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < headerSize || size > end - at) return Step::Lost;
        box.content = at + headerSize;
        box.end = at + size;
        return Step::Next;
    }

    // Calls `visit(box)` for each box from `from` to `end`, until a visit
    // says other than Next; Next when the boxes reach `end`. A tail too
    // short for a box header ends the list (QuickTime's writers end some
    // lists with a 32-bit zero).
    template <typename Visit>
    Step ForEachBox(uint64_t from, uint64_t end, Visit visit) {
        for (uint64_t at = from; end > at && end - at >= 8;) {
            Box box{};
            Step step = ReadBox(at, end, box);
            if (step == Step::Next) step = visit(box);
            if (step != Step::Next) return step;
            at = box.end;
        }
        return Step::Next;
    }

    // The first box of `type` in `parent`, read into `found`: Stop when
    // there is one.
    Step Find(const Box& parent, const char* type, Box& found) {
        return ForEachBox(parent.content, parent.end, [&](const Box& box) {
            if (!Is(box.type, type)) return Step::Next;
            found = box;
            return Step::Stop;
        });
    }

    // moov: each of its tracks; Next when they are all plain. A track lost
    // to the walk leaves the others to be looked at: one of them may still
    // tell that the file is protected.
    Step Movie(const Box& movie) {
        int tracks = 0;
        bool lost = false;
        const Step step = ForEachBox(movie.content, movie.end, [&](const Box& box) {
            if (!Is(box.type, "trak")) return Step::Next;
            ++tracks;
            const Step track = Track(box);
            lost = lost || track == Step::Lost;
            return track == Step::Lost ? Step::Next : track;
        });
        return step == Step::Next && (lost || tracks == 0) ? Step::Lost : step;
    }

    // trak / mdia: its handler type (hdlr) and its sample descriptions
    // (minf / stbl / stsd).
    Step Track(const Box& track) {
        Box media{}, information{}, table{}, descriptions{};
        if (Find(track, "mdia", media) != Step::Stop) return Step::Lost;
        char handler[4] = {};
        bool found = false;
        Step step = ForEachBox(media.content, media.end, [&](const Box& box) {
            if (Is(box.type, "minf") && !found) {
                information = box;
                found = true;
            }
            if (!Is(box.type, "hdlr")) return Step::Next;
            // version and flags, a component type (QuickTime's), the handler type
            unsigned char head[12];
            if (box.end - box.content < sizeof head || !read_(box.content, head, sizeof head)) return Step::Lost;
            std::memcpy(handler, head + 8, 4);
            return Step::Next;
        });
        if (step != Step::Next || !found) return Step::Lost;
        if (Find(information, "stbl", table) != Step::Stop) return Step::Lost;
        if (Find(table, "stsd", descriptions) != Step::Stop) return Step::Lost;
        return SampleDescriptions(descriptions, handler);
    }

    // stsd: its version and flags, the count of its entries, then the
    // entries, each a box. Next when none is protected.
    Step SampleDescriptions(const Box& stsd, const char* handler) {
        unsigned char head[8];
        if (stsd.end - stsd.content < sizeof head || !read_(stsd.content, head, sizeof head)) return Step::Lost;
        const unsigned version = head[0];
        const uint32_t count = BigEndian32(head + 4);
        if (count == 0 || count > kMostSampleEntries || count > (stsd.end - stsd.content - 8) / 8) return Step::Lost;
        uint32_t seen = 0;
        const Step step = ForEachBox(stsd.content + 8, stsd.end, [&](const Box& entry) {
            const Step found = SampleDescription(entry, handler, version);
            if (found != Step::Next) return found;
            return ++seen == count ? Step::Stop : Step::Next;
        });
        // Fewer entries than the count: cut short.
        return step == Step::Stop ? Step::Next : step == Step::Next ? Step::Lost : step;
    }

    Step SampleDescription(const Box& entry, const char* handler, unsigned stsdVersion) {
        if (IsProtectedEntry(entry.type)) return Step::Protected;
        // Where the entry's boxes start, after its fixed fields: a sample
        // entry's (6 reserved bytes, a data reference index), then a video
        // or sound description's.
        uint64_t fields = 0;
        if (Is(handler, "vide")) {
            fields = 78;
        } else if (Is(handler, "soun")) {
            // The sound description's version follows the sample entry's
            // fields; QuickTime's versions 1 and 2 carry more.
            unsigned char version[2];
            if (entry.end - entry.content < 10 || !read_(entry.content + 8, version, 2)) return Step::Lost;
            const uint32_t soundVersion = BigEndian16(version);
            fields = stsdVersion == 0 && soundVersion == 1 ? 44 : stsdVersion == 0 && soundVersion == 2 ? 64 : 28;
        } else {
            return Step::Next;  // neither video nor sound: its type alone tells
        }
        if (entry.end - entry.content < fields) return Step::Lost;
        return ForEachBox(entry.content + fields, entry.end,
                          [](const Box& box) { return Is(box.type, "sinf") ? Step::Protected : Step::Next; });
    }

    const ByteReader& read_;
    int boxes_ = 0;
};

}  // namespace

Mp4Protection Mp4ProtectionOf(uint64_t fileSize, const ByteReader& read) { return Walk(read).File(fileSize); }
