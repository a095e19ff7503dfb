// Whole AVI files against what a stopped tool leaves behind, the frames
// their indexes name, and indexes made up to mislead the check.
// (MediaFilesTest.cpp has the same check on files on disk.)
#include <gtest/gtest.h>

#include <string>

#include "conversion/AviFile.h"
#include "tests/conversion/AviBytes.h"
#include "tests/conversion/FakeFile.h"

namespace {

using namespace avi_bytes;
using fake_file::FakeFile;

AviCheck CheckInMemory(const std::string& bytes) {
    FakeFile file(bytes);
    const AviCheck check = CheckAvi(file.Size(), file.Reader());
    EXPECT_EQ(file.PastTheEnd(), 0) << "every read lies inside the file";
    return check;
}
bool WholeInMemory(const std::string& bytes) {
    const bool whole = IsWholeAvi(bytes.size(), FakeFile(bytes).Reader());
    EXPECT_EQ(whole, CheckInMemory(bytes).whole);
    return whole;
}

// The first `count` RIFFs of a file, as a file cut where the next begins.
std::string LeadingRiffs(const std::string& file, int count) {
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(file[i])); };
    size_t end = 0;
    for (int i = 0; i < count; ++i)
        end += 8 + (byte(end + 4) | byte(end + 5) << 8 | byte(end + 6) << 16 | byte(end + 7) << 24);
    return file.substr(0, end);
}

struct AviCase {
    const char* what;
    std::string bytes;
    bool whole;
};

TEST(AviFileTest, OnlyAFileTheToolFinishedIsWhole) {
    const std::string whole = Whole();
    const std::string extended = Riff("AVI ", Header() + Movie()) + Riff("AVIX", Movie(4)) + Riff("AVIX", Movie(2));
    const AviCase cases[] = {
        {"finished", whole, true},
        {"finished, an odd-sized chunk padded", Riff("AVI ", Header() + Movie(1) + Chunk("JUNK", "odd") + Index(1)),
         true},
        {"over 1 GB: extended RIFFs, indexes inside them", extended, true},
        {"stopped: sizes never filled in, no index", CutShort(), false},
        {"cut short at any byte", whole.substr(0, whole.size() - 7), false},
        {"sizes filled in, index missing", Riff("AVI ", Header() + Movie()), false},
        {"no movie list", Riff("AVI ", Header() + Index()), false},
        {"no header list", Riff("AVI ", Movie() + Index()), false},
        {"more after the RIFF", whole + "trailing", false},
        {"an inner chunk runs past its RIFF", Riff("AVI ", Header() + Movie() + Chunk("idx1", "", 1000)), false},
        {"an index of part of an entry", Riff("AVI ", Header() + Movie() + Chunk("idx1", Index().substr(8, 40))),
         false},
        {"extended, the last RIFF's size never filled in",
         Riff("AVI ", Header() + Movie()) + Riff("AVIX", Movie(4), 0xFFFFFFFF), false},
        {"extended RIFF of the wrong form", Riff("AVI ", Header() + Movie()) + Riff("AVI ", Header() + Movie()), false},
        {"another RIFF form", Riff("WAVE", Header() + Movie() + Index()), false},
        {"not RIFF at all", "fake output", false},
        {"empty", "", false},
    };
    for (const AviCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WholeInMemory(c.bytes), c.whole);
    }
}

// Past 1 GB the tool closes each RIFF (sizes and index written) before it
// writes the next one's header, and writes the OpenDML list only at its
// clean end: a file cut at a RIFF boundary adds up, but is not whole.
TEST(AviFileTest, AFileGrownPastItsFirstRiffIsWholeOnlyWithItsOpenDmlList) {
    const std::string finished = OpenDmlFile({3, 4, 2});
    const AviCase cases[] = {
        {"finished, one RIFF: both placeholders", Riff("AVI ", OpenDmlHeader(false, false) + Movie() + Index()), true},
        {"finished, several RIFFs, the last index ending at the last byte", finished, true},
        {"cut after the first RIFF", OpenDmlFile({3}, false), false},
        {"cut after the second RIFF", OpenDmlFile({3, 4}, false), false},
        {"cut after the third RIFF", OpenDmlFile({3, 4, 2}, false), false},
        {"cut after the second RIFF, its index naming the first alone", OpenDmlFile({3, 4}, false, 1), false},
        // A finished file cut short later: its index names what is gone.
        {"finished, then cut after its first RIFF", LeadingRiffs(finished, 1), false},
        {"finished, then cut after its second RIFF", LeadingRiffs(finished, 2), false},
        {"finished, then cut inside its last standard index", finished.substr(0, finished.size() - 1), false},
        // The OpenDML list alone (a stream index never needed) changes nothing.
        {"one RIFF, the OpenDML list written", Riff("AVI ", OpenDmlHeader(false, true) + Movie() + Index()), true},
        {"a stream list that runs past the header list",
         Riff("AVI ", List("hdrl", List("strl", Chunk("indx", "xxxx"), 400)) + Movie() + Index()), false},
    };
    for (const AviCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WholeInMemory(c.bytes), c.whole);
    }
}

// A super index's entries are 64-bit offsets and 32-bit sizes taken from an
// untrusted file: each must name a standard index of its stream inside the
// file, however the numbers add up.
TEST(AviFileTest, AnOpenDmlIndexNamesStandardIndexesInsideTheFile) {
    const std::string good = OpenDmlFile({3, 4});
    const uint64_t size = good.size();
    const size_t superIndex = good.find("indx") + 8, firstIx = good.find("ix00");
    const uint32_t ixSize = static_cast<uint32_t>(StandardIndex(3).size());
    const auto edited = [&](size_t at, const std::string& bytes) {
        return std::string(good).replace(at, bytes.size(), bytes);
    };
    // The file with super index entry `i` naming `size` bytes at `offset`.
    const auto entry = [&](int i, uint64_t offset, uint32_t size) {
        return edited(superIndex + 24 + 16 * i, Le64(offset) + Le32(size));
    };
    const AviCase cases[] = {
        {"as the tool writes it", good, true},
        {"an entry at the top of the 64-bit range, its end wrapping to 16", entry(1, 0xFFFFFFFFFFFFFFF0, 0x20), false},
        {"an entry whose end wraps past zero into the file", entry(1, 0xFFFFFFFFFFFFF000, 0x1010), false},
        {"cut after its first RIFF, the other entry at the top of the 64-bit range",
         LeadingRiffs(entry(1, 0xFFFFFFFFFFFFFFF0, 0x20), 1), false},
        {"an entry larger than the file", entry(1, 0, 0xFFFFFFFF), false},
        {"an entry ending one byte past the end", entry(1, size - ixSize + 1, ixSize), false},
        {"an entry naming what is no standard index", entry(1, 0, ixSize), false},
        {"an entry too short for a standard index's head", entry(0, firstIx, 16), false},
        {"more entries in use than the super index has room for", edited(superIndex + 4, Le32(5)), false},
        {"a super index that is no index of indexes", edited(superIndex + 3, std::string(1, '\1')), false},
        {"a standard index of another stream", edited(firstIx + 16, "01wb"), false},
        {"a standard index that is no index of chunks", edited(firstIx + 11, std::string(1, '\0')), false},
        {"a standard index of more entries than its chunk holds", edited(firstIx + 12, Le32(4)), false},
        {"a standard index that runs past its entry", edited(firstIx + 4, Le32(ixSize)), false},
    };
    for (const AviCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WholeInMemory(c.bytes), c.whole);
    }
}

// The tool reserves room for 256 entries in a super index; a file that
// claims more was not written by it, and the claim costs no more reads than
// a small index does.
TEST(AviFileTest, ASuperIndexOfMoreEntriesThanTheToolWritesIsNotFollowed) {
    const std::string one = OpenDmlFile({3, 4});
    const uint64_t ix = one.find("ix00");
    const uint32_t ixSize = static_cast<uint32_t>(StandardIndex(3).size());
    // The same file with a super index of `inUse` entries, all naming the
    // first RIFF's standard index, and room for them. It is built with room
    // for 300; a larger room is made by moving the rest of the file on and
    // growing the sizes of the chunks around it, its zeros never stored.
    const auto claiming = [&](uint32_t inUse) {
        constexpr uint32_t kRoom = 300;
        const uint32_t grown = inUse > kRoom ? 16 * (inUse - kRoom) : 0;
        const std::vector<SuperEntry> entries(std::min(inUse, kRoom),
                                              SuperEntry{ix + 16 * (kRoom - 4) + grown, ixSize});
        std::string bytes = Riff("AVI ", OpenDmlHeader(true, true, SuperIndex(entries, inUse, kRoom)) +
                                             List("movi", Frames(3) + StandardIndex(3)) + Index(3));
        const size_t indx = bytes.find("indx");
        for (size_t chunk : {size_t{0}, bytes.find("hdrl") - 8, bytes.find("strl") - 8, indx}) {
            const auto byte = [&](size_t i) {
                return static_cast<uint32_t>(static_cast<unsigned char>(bytes[chunk + 4 + i]));
            };
            bytes.replace(chunk + 4, 4, Le32((byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24) + grown));
        }
        const size_t cut = indx + 8 + 24 + 16 * kRoom;
        return FakeFile(bytes.size() + grown, {{0, bytes.substr(0, cut)}, {cut + grown, bytes.substr(cut)}});
    };
    struct Case {
        uint32_t inUse;
        bool whole;
        uint64_t frames;
    };
    for (const Case& c : {Case{1, true, 3}, Case{256, true, 256 * 3}, Case{257, false, 0}, Case{1000000, false, 0}}) {
        FakeFile file = claiming(c.inUse);
        const AviCheck check = CheckAvi(file.Size(), file.Reader());
        EXPECT_EQ(check.whole, c.whole) << c.inUse;
        EXPECT_EQ(check.frames, c.frames) << c.inUse;
        // The chunks' headers, the super index in one read, then one read
        // for each standard index it names.
        EXPECT_LE(file.Reads(), 20 + (c.whole ? static_cast<int>(c.inUse) : 0)) << c.inUse;
        EXPECT_LE(file.BytesAsked(), 64u * 1024u) << c.inUse;
        EXPECT_EQ(file.PastTheEnd() + file.Unserved(), 0) << c.inUse;
    }
}

// The frames of a whole file are the video and audio chunks its index
// names: a file of none holds no video and no sound.
TEST(AviFileTest, TheFramesOfAWholeFileAreTheChunksItsIndexNames) {
    const std::string movie =
        List("movi", Chunk("00dc", "vvvvv") + Chunk("01wb", "aaaa") + Chunk("01wb", "aaaa") + Chunk("00dc", ""));
    const std::string index = Chunk("idx1", IndexEntry("00dc", 4, 5) + IndexEntry("01wb", 18, 4) +
                                                IndexEntry("01wb", 30, 4) + IndexEntry("00dc", 42, 0));
    const std::string others =
        Chunk("idx1", IndexEntry("00pc", 4, 5) + IndexEntry("02sb", 4, 5) + IndexEntry("ix00", 4, 5) +
                          IndexEntry("JUNK", 4, 5) + IndexEntry("0xdc", 4, 5) + IndexEntry("00dc", 4, 5));
    struct Case {
        const char* what;
        std::string bytes;
        bool whole;
        uint64_t frames;
    };
    const Case cases[] = {
        {"finished", Whole(), true, 3},
        {"a source of no frame: an empty movie list and an empty index", Riff("AVI ", Header() + Movie(0) + Index(0)),
         true, 0},
        {"the same as the tool writes it: two streams' headers, padding",
         Riff("AVI ",
              List("hdrl", Chunk("avih", std::string(56, '\0')) + List("strl", Chunk("strh", std::string(56, 0))) +
                               List("strl", Chunk("strh", std::string(56, 0))) + Chunk("JUNK", std::string(260, 0))) +
                  List("INFO", Chunk("ISFT", "Lavf61.7.100")) + Chunk("JUNK", std::string(1016, 0)) + Movie(0) +
                  Index(0)),
         true, 0},
        {"video and audio, an empty chunk among them", Riff("AVI ", Header() + movie + index), true, 4},
        {"index entries of what is no frame: palette, subtitles, index, padding, no stream number",
         Riff("AVI ", Header() + movie + others), true, 1},
        {"an index of thousands of entries", Riff("AVI ", Header() + Movie(5000) + Index(5000)), true, 5000},
        {"over 1 GB: counted in the standard indexes, not in the first RIFF's idx1", OpenDmlFile({3, 4, 2}), true, 9},
        {"over 1 GB, no frame in its last RIFF", OpenDmlFile({3, 0}), true, 3},
        {"over 1 GB, no frame at all", OpenDmlFile({0, 0}), true, 0},
        {"not whole", CutShort(), false, 0},
        {"not whole, though its index names frames", Riff("AVI ", Header() + Movie() + Index(), 0xFFFFFFFF), false, 0},
    };
    for (const Case& c : cases) {
        FakeFile file(c.bytes);
        const AviCheck check = CheckAvi(file.Size(), file.Reader());
        EXPECT_EQ(check.whole, c.whole) << c.what;
        EXPECT_EQ(check.frames, c.frames) << c.what;
        // The index is read in blocks, not an entry at a time.
        EXPECT_LE(file.Reads(), 30) << c.what;
        EXPECT_EQ(file.PastTheEnd(), 0) << c.what;
    }
}

}  // namespace
