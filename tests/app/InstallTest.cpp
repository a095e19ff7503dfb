// Installing the converter tool from the program's own resources, and the
// short path names the tool's command line is built from. This test program
// carries a small stand-in as resource 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <zlib.h>

#include "app/ToolCheck.h"
#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "toolkit/Resources.h"

namespace {

using testing_support::Exists;
using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::ScratchFolder;
using testing_support::WriteBytes;

// The converter this program carries (resource 1, compressed with zlib),
// inflated: what an install must write.
std::string Carried() {
    const auto data = tk::FindResourceData(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));
    const std::vector<ReleaseTool> release = CarriedReleaseTools(::GetModuleHandleA(nullptr));
    if (!data || release.empty()) return {};
    std::string tool(release.front().fingerprint.size, '\0');
    uLongf size = static_cast<uLongf>(tool.size());
    if (uncompress(reinterpret_cast<Bytef*>(tool.data()), &size, reinterpret_cast<const Bytef*>(data->data()),
                   static_cast<uLong>(data->size())) != Z_OK ||
        size != tool.size())
        return {};
    return tool;
}

std::string OwnProgram() {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

class InstallTest : public ::testing::Test {
protected:
    bool Install() { return InstallConverterToolInto(windows_, ::GetModuleHandleA(nullptr)); }
    std::string ToolPath(const char* file) const { return windows_ + "\\quendrix_yt_1\\" + file; }

    ScratchFolder scratch_;
    // The Windows directory as GetWindowsDirectoryA gives it: no trailing backslash.
    std::string windows_ = scratch_.Path().substr(0, scratch_.Path().size() - 1);
};

// The tool is one static executable: the folder gets it and nothing else
// (no runtime DLL, no temporary file).
TEST_F(InstallTest, FreshFolderGetsTheToolByteForByteAndNothingElse) {
    ASSERT_FALSE(Carried().empty());
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), Carried());
    EXPECT_EQ(FolderEntries(ToolPath("")), std::vector<std::string>{"nnn.exe"});
    EXPECT_EQ(ToolFolder, TForm1::Win2DosName(windows_ + "\\quendrix_yt_1\\"));
    EXPECT_EQ(ToolFolder.back(), '\\');
    EXPECT_TRUE(Exists(ToolFolder + "nnn.exe")) << ToolFolder;
}

// Whatever stands in the tool folder as "nnn.exe" and is not a converter of
// this release is replaced by the carried one: a tool of another build, of
// another size or of the same size, one cut short, an empty file, a file
// that is no converter at all.
TEST_F(InstallTest, ToolThatIsNotThisReleasesIsReplaced) {
    const std::string carried = Carried();
    ASSERT_GT(carried.size(), 4u);
    std::string sameSize = carried;
    sameSize[sameSize.size() / 2] ^= 0x20;
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"an older build's tool", "an older tool"},
        {"another build's tool of the same size", sameSize},
        {"a tool cut short", carried.substr(0, carried.size() / 2)},
        {"an empty file", ""},
        {"a foreign program", ReadBytes(OwnProgram())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        windows_ = scratch.Path().substr(0, scratch.Path().size() - 1);
        ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
        WriteBytes(ToolPath("nnn.exe"), c.bytes);
        EXPECT_TRUE(Install());
        EXPECT_TRUE(ReadBytes(ToolPath("nnn.exe")) == carried) << "not replaced";
        EXPECT_EQ(FolderEntries(ToolPath("")), std::vector<std::string>{"nnn.exe"});
    }
}

// Either kind's converter of this release serves on 64-bit Windows (the
// stand-in's release has the manifest as its other kind's tool): the
// 32-bit and the 64-bit program never take turns replacing it. The carried
// one is left as it is, of course.
TEST_F(InstallTest, ThisReleasesToolOfEitherKindIsLeftAlone) {
    const auto manifest = tk::FindResourceData(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_TRUE(manifest);
    const std::string otherKind(*manifest);
    ASSERT_FALSE(otherKind.empty());
    for (const std::string& tool : {Carried(), otherKind}) {
        ScratchFolder scratch;
        windows_ = scratch.Path().substr(0, scratch.Path().size() - 1);
        ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
        WriteBytes(ToolPath("nnn.exe"), tool);
        // A folder where the new tool would be written: a replacement would
        // fail, and so would the start.
        ASSERT_TRUE(::CreateDirectoryA(ToolPath("nnn.exe.new").c_str(), nullptr));
        EXPECT_TRUE(Install());
        EXPECT_TRUE(ReadBytes(ToolPath("nnn.exe")) == tool) << "replaced";
    }
}

// A tool of another build that cannot be replaced (the Windows directory is
// not the user's to write) is reported missing: the elevation hint follows.
TEST_F(InstallTest, ToolThatCannotBeReplacedReportsTheToolMissing) {
    ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
    WriteBytes(ToolPath("nnn.exe"), "an older tool");
    // Nothing can be written beside it (Wine, unlike Windows, lets a
    // read-only file be renamed over, and root writes any folder): a folder
    // where the new tool would go.
    ASSERT_TRUE(::CreateDirectoryA(ToolPath("nnn.exe.new").c_str(), nullptr));
    EXPECT_FALSE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), "an older tool");
    EXPECT_EQ(FolderEntries(ToolPath("")), (std::vector<std::string>{"nnn.exe", "nnn.exe.new"}));
}

TEST_F(InstallTest, EmptyToolFolderGetsTheTool) {
    ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
    EXPECT_TRUE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), Carried());
}

TEST_F(InstallTest, UnwritableWindowsDirectoryReportsTheToolMissing) {
    // A file where the tool folder should be: nothing can be created there,
    // as for a standard user under the real Windows directory.
    WriteBytes(windows_ + "\\quendrix_yt_1", "in the way");
    EXPECT_FALSE(Install());
    EXPECT_FALSE(ToolFolder.empty());
    EXPECT_FALSE(Exists(ToolFolder + "nnn.exe"));
}

TEST_F(InstallTest, WindowsDirectoryThatDoesNotExistReportsTheToolMissing) {
    windows_ += "\\no\\such\\folder";
    EXPECT_FALSE(Install());
}

// The digest the program compares with the one Python's xxhash module wrote
// at build time, fed whole and in pieces of every size.
TEST(ToolDigest, MatchesXxh64WhateverThePieces) {
    std::string ramp;
    for (int i = 0; i < 3 * 256; ++i) ramp += static_cast<char>(i % 256);
    const struct {
        std::string bytes;
        uint64_t digest;
    } cases[] = {
        {"", 0xef46db3751d8e999ull},
        {"abc", 0x44bc2cf5ad770999ull},
        {ramp.substr(0, 37), 0xd93fa2dfee5c24c9ull},
        {ramp, 0x8e03c838c596036full},
    };
    for (const auto& c : cases) {
        for (size_t piece : {size_t{1}, size_t{3}, size_t{31}, size_t{32}, size_t{33}, size_t{4096}}) {
            Xxh64 digest;
            for (size_t at = 0; at < c.bytes.size(); at += piece)
                digest.Update(c.bytes.data() + at, std::min(piece, c.bytes.size() - at));
            EXPECT_EQ(digest.Digest(), c.digest) << c.bytes.size() << " bytes in pieces of " << piece;
        }
    }
    ScratchFolder scratch;
    WriteBytes(scratch.Path() + "ramp", ramp);
    EXPECT_EQ(DigestOfFile(scratch.Path() + "ramp"), std::optional<uint64_t>(0x8e03c838c596036full));
    EXPECT_EQ(DigestOfFile(scratch.Path() + "missing"), std::nullopt);
}

TEST(ToolDigest, ReleaseListAndWhereEachKindRuns) {
    const std::vector<ReleaseTool> release = ParseReleaseTools(
        "x64 20480 00000000000000ff\r\nx86 1024 0123456789ABCDEF\nbroken line\nx86 12 xyz\n");
    ASSERT_EQ(release.size(), 2u);
    EXPECT_EQ(release[1].fingerprint, (ToolFingerprint{1024, 0x0123456789abcdefull}));
    const struct {
        ToolFingerprint found;
        bool windowsIs64Bit, accepted;
    } cases[] = {
        {{20480, 0xff}, true, true},
        {{20480, 0xff}, false, false},  // no 64-bit program runs on 32-bit Windows
        {{1024, 0x0123456789abcdefull}, false, true},
        {{1024, 0x0123456789abcdefull}, true, true},
        {{1024, 0xff}, true, false},
        {{20480, 0x0123456789abcdefull}, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AcceptsTool(release, c.found, c.windowsIs64Bit), c.accepted)
            << c.found.size << " " << c.found.digest << " on " << (c.windowsIs64Bit ? 64 : 32) << "-bit Windows";
    EXPECT_FALSE(AcceptsTool({}, {0, 0xef46db3751d8e999ull}, true)) << "a program that carries no list";
}

TEST(Win2DosName, ShortensEveryExistingPathWhateverItsLength) {
    ScratchFolder scratch;
    std::string path = scratch.Path();
    // Longer than a fixed buffer of 124 characters would hold (and within
    // what the ANSI functions take for a folder).
    while (path.size() < 200) {
        path += "a rather long folder name\\";
        ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path;
    }
    const std::string file = path + "my holiday video.mp4";
    WriteBytes(file, "x");
    const std::string shortName = TForm1::Win2DosName(file);
    EXPECT_NE(shortName, file);
    EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
    EXPECT_TRUE(Exists(shortName)) << shortName;
    EXPECT_EQ(TForm1::Win2DosName(path).back(), '\\') << "a trailing backslash stays";
}

TEST(Win2DosName, GivesBackPathsWithoutAShortForm) {
    const std::string missing = "C:\\no such folder\\no such file.mp4";
    EXPECT_EQ(TForm1::Win2DosName(missing), missing);
    EXPECT_EQ(TForm1::Win2DosName(""), "");
}

}  // namespace
