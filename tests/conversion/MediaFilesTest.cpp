// The checks of media files on files on disk (conversion/MediaFiles.cpp):
// whole AVI files and the frames they hold, protected MP4 sources. The
// checks themselves are tested on byte images in AviFileTest.cpp and
// Mp4ProtectionTest.cpp.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "conversion/AviFile.h"
#include "conversion/Mp4Protection.h"
#include "support/TestSupport.h"
#include "tests/conversion/AviBytes.h"
#include "tests/conversion/Mp4Bytes.h"
#include "toolkit/Handles.h"

namespace {

using namespace avi_bytes;

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
    // Counted in its streams' standard indexes: 2500 frames, one stream.
    EXPECT_EQ(CheckAviFile(wide).frames, 2500u);

    tk::FileHandle file(
        ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    auto at = [&](unsigned long long offset) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) != FALSE;
    };
    auto write = [&](unsigned long long offset, const std::string& bytes) {
        DWORD written = 0;
        return at(offset) &&
               ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
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
    for (size_t indx = head.find("indx"); indx != std::string::npos && indx < odml;
         indx = head.find("indx", indx + 4)) {
        ASSERT_TRUE(write(indx + 8 + 4, Le32(1)));
        ++indexes;
    }
    ASSERT_GT(indexes, 0);
    const AviCheck indexedFirst = CheckAviFile(wide);
    EXPECT_TRUE(indexedFirst.whole) << "every chunk adds up, and so do the indexes";
    EXPECT_GT(indexedFirst.frames, 0u);
    EXPECT_LT(indexedFirst.frames, 2500u) << "the frames of the first RIFF alone";
    // The OpenDML list still the placeholder the tool writes at the start.
    ASSERT_TRUE(write(odml - 8, "JUNK"));
    EXPECT_FALSE(IsWholeAviFile(wide));
}

std::wstring Wide(const std::string& path) { return std::wstring(path.begin(), path.end()); }

TEST(AviFileTest, FilesOnDisk) {
    testing_support::ScratchFolder scratch;
    const std::string whole = scratch.Path() + "whole.avi", cut = scratch.Path() + "cut.avi",
                      empty = scratch.Path() + "empty.avi", large = scratch.Path() + "large.avi";
    testing_support::WriteBytes(whole, Whole());
    testing_support::WriteBytes(cut, CutShort());
    testing_support::WriteBytes(empty, Riff("AVI ", Header() + Movie(0) + Index(0)));
    testing_support::WriteBytes(large, OpenDmlFile({3, 4, 2}));
    EXPECT_TRUE(IsWholeAviFile(Wide(whole)));
    EXPECT_FALSE(IsWholeAviFile(Wide(cut)));
    EXPECT_FALSE(IsWholeAviFile(Wide(scratch.Path() + "missing.avi")));
    EXPECT_FALSE(IsWholeAviFile(Wide(scratch.Path())));  // a folder
    struct Case {
        std::string path;
        bool whole;
        uint64_t frames;
    };
    for (const Case& c : {Case{whole, true, 3}, Case{empty, true, 0}, Case{large, true, 9}, Case{cut, false, 0},
                          Case{scratch.Path() + "missing.avi", false, 0}}) {
        const AviCheck check = CheckAviFile(Wide(c.path));
        EXPECT_EQ(check.whole, c.whole) << c.path;
        EXPECT_EQ(check.frames, c.frames) << c.path;
    }
}

TEST(Mp4ProtectionTest, FilesOnDisk) {
    testing_support::ScratchFolder scratch;
    const std::string plain = scratch.Path() + "plain.mp4", encrypted = scratch.Path() + "encrypted.mp4",
                      cut = scratch.Path() + "cut.mp4";
    testing_support::WriteBytes(plain, mp4_bytes::Plain());
    testing_support::WriteBytes(encrypted, mp4_bytes::Protected());
    testing_support::WriteBytes(cut, mp4_bytes::Protected().substr(0, 150));
    EXPECT_EQ(Mp4ProtectionOfFile(Wide(plain)), Mp4Protection::Plain);
    EXPECT_EQ(Mp4ProtectionOfFile(Wide(encrypted)), Mp4Protection::Protected);
    EXPECT_EQ(Mp4ProtectionOfFile(Wide(cut)), Mp4Protection::Unknown);
    EXPECT_EQ(Mp4ProtectionOfFile(Wide(scratch.Path() + "missing.mp4")), Mp4Protection::Unknown);
    EXPECT_EQ(Mp4ProtectionOfFile(Wide(scratch.Path())), Mp4Protection::Unknown);  // a folder
}

}  // namespace
