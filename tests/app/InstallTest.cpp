// Installing the converter tool from the program's own resources, and the
// short path names the tool's command line is built from. This test program
// carries a small stand-in as resource 1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Unit1.h"
#include "support/TestSupport.h"
#include "toolkit/Resources.h"

namespace {

using testing_support::Exists;
using testing_support::FolderEntries;
using testing_support::ReadBytes;
using testing_support::ScratchFolder;
using testing_support::WriteBytes;

std::string Resource(int id) {
    const auto data = tk::FindResourceData(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
    return data ? std::string(*data) : std::string();
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
    ASSERT_FALSE(Resource(1).empty());
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), Resource(1));
    EXPECT_EQ(FolderEntries(ToolPath("")), std::vector<std::string>{"nnn.exe"});
    EXPECT_EQ(ToolFolder, TForm1::Win2DosName(windows_ + "\\quendrix_yt_1\\"));
    EXPECT_EQ(ToolFolder.back(), '\\');
    EXPECT_TRUE(Exists(ToolFolder + "nnn.exe")) << ToolFolder;
}

TEST_F(InstallTest, PresentToolIsLeftAlone) {
    ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
    WriteBytes(ToolPath("nnn.exe"), "an older tool");
    EXPECT_TRUE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), "an older tool");
    EXPECT_EQ(FolderEntries(ToolPath("")), std::vector<std::string>{"nnn.exe"});
}

TEST_F(InstallTest, EmptyToolFolderGetsTheTool) {
    ASSERT_TRUE(::CreateDirectoryA(ToolPath("").c_str(), nullptr));
    EXPECT_TRUE(Install());
    EXPECT_EQ(ReadBytes(ToolPath("nnn.exe")), Resource(1));
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
