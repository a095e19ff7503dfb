// Whole AVI files against what a stopped tool leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "conversion/AviFile.h"
#include "support/TestSupport.h"
#include "tests/conversion/AviBytes.h"

namespace {

using namespace avi_bytes;

bool WholeInMemory(const std::string& bytes) {
    return IsWholeAvi(bytes.size(), [&](uint64_t offset, void* into, uint32_t count) {
        if (offset > bytes.size() || bytes.size() - offset < count) return false;
        std::memcpy(into, bytes.data() + offset, count);
        return true;
    });
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
        {"finished, an odd-sized chunk padded", Riff("AVI ", Header() + Movie(1) + Chunk("JUNK", "odd") + Index()), true},
        {"over 1 GB: extended RIFFs, indexes inside them", extended, true},
        {"stopped: sizes never filled in, no index", CutShort(), false},
        {"cut short at any byte", whole.substr(0, whole.size() - 7), false},
        {"sizes filled in, index missing", Riff("AVI ", Header() + Movie()), false},
        {"no movie list", Riff("AVI ", Header() + Index()), false},
        {"no header list", Riff("AVI ", Movie() + Index()), false},
        {"more after the RIFF", whole + "trailing", false},
        {"an inner chunk runs past its RIFF", Riff("AVI ", Header() + Movie() + Chunk("idx1", "", 1000)), false},
        {"extended, the last RIFF's size never filled in",
         Riff("AVI ", Header() + Movie()) + Riff("AVIX", Movie(4), 0xFFFFFFFF), false},
        {"extended RIFF of the wrong form", Riff("AVI ", Header() + Movie()) + Riff("AVI ", Header() + Movie()), false},
        {"another RIFF form", Riff("WAVE", Header() + Movie() + Index()), false},
        {"not RIFF at all", "fake output", false},
        {"empty", "", false},
    };
    for (const AviCase& c : cases) EXPECT_EQ(WholeInMemory(c.bytes), c.whole) << c.what;
}

TEST(AviFileTest, FilesOnDisk) {
    testing_support::ScratchFolder scratch;
    const std::string whole = scratch.Path() + "whole.avi", cut = scratch.Path() + "cut.avi";
    testing_support::WriteBytes(whole, Whole());
    testing_support::WriteBytes(cut, CutShort());
    auto wide = [](const std::string& path) { return std::wstring(path.begin(), path.end()); };
    EXPECT_TRUE(IsWholeAviFile(wide(whole)));
    EXPECT_FALSE(IsWholeAviFile(wide(cut)));
    EXPECT_FALSE(IsWholeAviFile(wide(scratch.Path() + "missing.avi")));
    EXPECT_FALSE(IsWholeAviFile(wide(scratch.Path())));  // a folder
}

}  // namespace
