// Whole AVI files against what a stopped tool leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "conversion/AviFile.h"
#include "support/TestSupport.h"
#include "tests/conversion/AviBytes.h"
#include "toolkit/Handles.h"

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

// Past 1 GB the tool closes each RIFF (sizes and index written) before it
// writes the next one's header, and writes the OpenDML list only at its
// clean end: a file cut at a RIFF boundary adds up, but is not whole.
TEST(AviFileTest, AFileGrownPastItsFirstRiffIsWholeOnlyWithItsOpenDmlList) {
    const std::string avix = Riff("AVIX", Movie(4));
    const AviCase cases[] = {
        {"finished, one RIFF: both placeholders", Riff("AVI ", OpenDmlHeader(false, false) + Movie() + Index()), true},
        {"finished, several RIFFs", Riff("AVI ", OpenDmlHeader(true, true) + Movie() + Index()) + avix + avix, true},
        {"cut after the first RIFF", Riff("AVI ", OpenDmlHeader(true, false) + Movie() + Index()), false},
        {"cut after the second RIFF", Riff("AVI ", OpenDmlHeader(true, false) + Movie() + Index()) + avix, false},
        {"cut after the third RIFF",
         Riff("AVI ", OpenDmlHeader(true, false) + Movie() + Index()) + avix + avix, false},
        // A finished file cut short later: its index names what is gone.
        {"finished, then cut after its first RIFF",
         Riff("AVI ", OpenDmlHeader(true, true, 0x40000000) + Movie() + Index()), false},
        {"finished, its index naming the last byte",
         [&] {
             const std::string probe = Riff("AVI ", OpenDmlHeader(true, true) + Movie() + Index()) + avix;
             return Riff("AVI ", OpenDmlHeader(true, true, static_cast<uint32_t>(probe.size())) + Movie() + Index()) +
                    avix;
         }(),
         true},
        // The OpenDML list alone (a stream index never needed) changes nothing.
        {"one RIFF, the OpenDML list written", Riff("AVI ", OpenDmlHeader(false, true) + Movie() + Index()), true},
        {"a stream list that runs past the header list",
         Riff("AVI ", List("hdrl", List("strl", Chunk("indx", "xxxx"), 400)) + Movie() + Index()), false},
    };
    for (const AviCase& c : cases) EXPECT_EQ(WholeInMemory(c.bytes), c.whole) << c.what;
}

// A real file over 1 GB: raw video written by the native ffmpeg
// (large_avi_test.sh makes it), whole; then cut where its second RIFF
// begins; then as a tool stopped right there leaves it: its streams' indexes
// naming the first RIFF's part alone, its OpenDML list still a placeholder.
TEST(AviFileTest, RealFileOverOneGigabyteCutAtARiffBoundary) {
    const char* named = std::getenv("QUENDRIX_LARGE_AVI");
    if (!named || !*named) GTEST_SKIP() << "run by large_avi_test.sh";
    const std::string path = named;
    const std::wstring wide(path.begin(), path.end());
    ASSERT_TRUE(IsWholeAviFile(wide)) << path;

    tk::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    auto at = [&](unsigned long long offset) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) != FALSE;
    };
    auto write = [&](unsigned long long offset, const std::string& bytes) {
        DWORD written = 0;
        return at(offset) && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    };
    std::string head(64 * 1024, '\0');
    DWORD read = 0;
    ASSERT_TRUE(::ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr));
    ASSERT_EQ(head.compare(0, 4, "RIFF"), 0);
    const auto byte = [&](size_t i) { return static_cast<unsigned long long>(static_cast<unsigned char>(head[i])); };
    const unsigned long long secondRiff = 8 + (byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24);
    LARGE_INTEGER size{};
    ASSERT_TRUE(::GetFileSizeEx(file.Get(), &size));
    ASSERT_GT(size.QuadPart, 1LL << 30);
    ASSERT_GT(static_cast<unsigned long long>(size.QuadPart), secondRiff) << "more than one RIFF";
    char form[12];
    ASSERT_TRUE(at(secondRiff) && ::ReadFile(file.Get(), form, sizeof form, &read, nullptr) && read == sizeof form);
    EXPECT_EQ(std::string(form, 4) + std::string(form + 8, 4), "RIFFAVIX");

    // A finished file cut there: its index names what is gone.
    ASSERT_TRUE(at(secondRiff) && ::SetEndOfFile(file.Get()));
    EXPECT_FALSE(IsWholeAviFile(wide));

    // Its streams' indexes as the tool wrote them when it closed the first
    // RIFF: one entry in use.
    const size_t odml = head.find("odml");
    ASSERT_NE(odml, std::string::npos);
    ASSERT_EQ(head.compare(odml - 8, 4, "LIST"), 0) << "the tool ended cleanly";
    int indexes = 0;
    for (size_t indx = head.find("indx"); indx != std::string::npos && indx < odml; indx = head.find("indx", indx + 4)) {
        ASSERT_TRUE(write(indx + 8 + 4, Le32(1)));
        ++indexes;
    }
    ASSERT_GT(indexes, 0);
    EXPECT_TRUE(IsWholeAviFile(wide)) << "every chunk adds up, and so do the indexes";
    // The OpenDML list still the placeholder the tool writes at the start.
    ASSERT_TRUE(write(odml - 8, "JUNK"));
    EXPECT_FALSE(IsWholeAviFile(wide));
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
