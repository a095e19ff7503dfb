// The source list's rules without a window: which dropped names are taken,
// how a wide name is held, duplicates, sizes and their texts, and how the
// Open dialog's answer is read.
#include <gtest/gtest.h>

#include <windows.h>

#include <winioctl.h>

#include "app/SourceList.h"
#include "support/TestSupport.h"
#include "toolkit/FileDialogs.h"
#include "toolkit/Text.h"

namespace {

using namespace std::string_literals;
using testing_support::ScratchFolder;
using testing_support::WriteBytes;

TEST(SourceListRules, OnlyMp4ExtensionsAreTaken) {
    struct Case {
        const wchar_t* path;
        bool taken;
    } const cases[] = {
        {L"C:\\v\\a.MP4", true},
        {L"C:\\v\\b.mp4", true},
        {L"C:\\v\\c.Mp4", true},
        {L"C:\\v\\d.avi", false},
        {L"C:\\v\\e.mp4.bak", false},
        {L"C:\\v\\f.mp45", false},
        {L"C:\\v\\g.mp", false},
        {L"C:\\v\\mp4", false},
        {L"C:\\v\\.mp4", true},                // a name that is all extension
        {L"C:\\x.mp4\\file", false},           // the only dot stands before the last backslash
        {L"C:\\x.mp4\\", false},
        {L"C:\\a.b\\c.mp4", true},
        {L"x.mp4:stream", false},              // a colon after the dot
        {L"C:\\v\\\x00e9t\x00e9.mP4", true},   // non-ASCII letters before it do not matter
        {L"C:\\v\\a.\x0131mp4", false},        // only ASCII letters change case
        {L"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HasMp4Extension(c.path), c.taken) << testing::PrintToString(std::wstring(c.path));
}

TEST(SourceListRules, WideNamesAreHeldInAnsiOrInShortForm) {
    ASSERT_EQ(::GetACP(), 1252u) << "the cases below are written for the Western code page";
    const ShortPathLookup none = [](const std::wstring&) { return std::wstring(); };
    const ShortPathLookup ascii = [](const std::wstring&) { return std::wstring(L"C:\\V\\CLIP~1.MP4"); };
    const ShortPathLookup stillWide = [](const std::wstring&) { return std::wstring(L"C:\\V\\\x4e2d.mp4"); };
    struct Case {
        const char* what;
        std::wstring path;
        const ShortPathLookup* lookup;
        std::optional<std::string> listed;
    } const cases[] = {
        {"plain ASCII as it is", L"C:\\v\\clip.mp4", &none, "C:\\v\\clip.mp4"},
        {"code page letters as they are", L"C:\\v\\f\x00eate.mp4", &none, "C:\\v\\f\xeate.mp4"},
        {"the euro sign is in the code page", L"C:\\v\\\x20ac.mp4", &none, "C:\\v\\\x80.mp4"},
        {"CJK in short form", L"C:\\v\\\x4e2d\x6587.mp4", &ascii, "C:\\V\\CLIP~1.MP4"},
        {"no best-fit stand-in: l with stroke", L"C:\\v\\\x0142.mp4", &ascii, "C:\\V\\CLIP~1.MP4"},
        {"no short form: passed over", L"C:\\v\\\x4e2d.mp4", &none, std::nullopt},
        {"a short form that is still wide: passed over", L"C:\\v\\\x4e2d.mp4", &stillWide, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ListedPath(c.path, *c.lookup), c.listed);
    }
}

TEST(SourceListRules, DuplicatesIgnoreLetterCase) {
    struct Case {
        const char* what;
        std::vector<std::wstring> listed, candidates, added;
    } const cases[] = {
        {"new paths in their order", {}, {L"C:\\b.mp4", L"C:\\a.mp4"}, {L"C:\\b.mp4", L"C:\\a.mp4"}},
        {"already listed", {L"C:\\a.mp4"}, {L"C:\\a.mp4", L"C:\\b.mp4"}, {L"C:\\b.mp4"}},
        {"twice in one batch", {}, {L"C:\\a.mp4", L"C:\\b.mp4", L"C:\\a.mp4"}, {L"C:\\a.mp4", L"C:\\b.mp4"}},
        {"another letter case is the same file", {L"C:\\in\\c1.mp4"}, {L"C:\\IN\\C1.MP4", L"c:\\In\\C1.mp4"}, {}},
        {"the first of one file in two cases is kept", {}, {L"C:\\in\\c1.mp4", L"C:\\IN\\C1.MP4"}, {L"C:\\in\\c1.mp4"}},
        {"case of letters beyond ASCII", {L"C:\\\u00c9t\u00e9.mp4"}, {L"C:\\\u00e9T\u00c9.MP4"}, {}},
        {"no normalisation", {L"C:\\v\\a.mp4"}, {L"C:\\v\\.\\a.mp4"}, {L"C:\\v\\.\\a.mp4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ListedFile> candidates;
        for (const std::wstring& name : c.candidates) candidates.push_back({tk::Narrow(name), name});
        std::vector<std::wstring> added;
        for (const ListedFile& file : FilesToAdd(c.listed, candidates)) {
            added.push_back(file.name);
            EXPECT_EQ(file.path, tk::Narrow(file.name)) << "the listed path goes with its name";
        }
        EXPECT_EQ(added, c.added);
    }
}

TEST(SourceListRules, SizeTexts) {
    constexpr int64_t GiB = 1024LL * 1024 * 1024;
    struct Case {
        int64_t bytes;
        const char* text;
    } const cases[] = {
        {0, "0.00"},
        {5242, "0.00"},             // 0.004999...
        {5243, "0.01"},             // 0.005000...
        {131072, "0.13"},           // exactly 0.125: the tie goes up
        {524288, "0.50"},
        {1048576, "1.00"},
        {1048575, "1.00"},
        {2147483647, "2048.00"},
        {2147483648, "2048.00"},    // 2 GiB and more keep their real size
        {4 * GiB - 1, "4096.00"},
        {4 * GiB, "4096.00"},
        {5 * GiB, "5120.00"},
        {5 * GiB + 5 * 1048576 / 1000, "5120.00"},
        {-1, "0.00"},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes, "."), c.text) << c.bytes;
    EXPECT_EQ(SizeText(524288, ","), "0,50");
    EXPECT_EQ(SizeText(2147483647, ","), "2048,00");
}

// A file of the given size whose bytes are not written: the file system
// keeps it sparse, so gigabytes cost nothing.
void MakeFileOfSize(const std::string& path, int64_t size) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD ignored = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    EXPECT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    EXPECT_TRUE(::SetEndOfFile(file));
    ::CloseHandle(file);
}

TEST(SourceListRules, SizesOfRealEntries) {
    ScratchFolder folder;
    const std::string dir = folder.Path();
    MakeFileOfSize(dir + "small.mp4", 131072);
    MakeFileOfSize(dir + "two.mp4", 2147483648LL);
    MakeFileOfSize(dir + "five.mp4", 5LL << 30);
    MakeFileOfSize(dir + "hidden.mp4", 524288);
    ::SetFileAttributesA((dir + "hidden.mp4").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ::CreateDirectoryA((dir + "folder.mp4").c_str(), nullptr);
    WriteBytes(dir + "other.mp4", "12345");
    struct Case {
        std::string path;
        int64_t bytes;
    } const cases[] = {
        {dir + "small.mp4", 131072},
        {dir + "two.mp4", 2147483648LL},
        {dir + "five.mp4", 5LL << 30},
        {dir + "hidden.mp4", 524288},
        {dir + "folder.mp4", 0},
        {dir + "missing.mp4", 0},
        {dir + "?ther.mp4", 0},  // a wildcard never finds some other file
        {dir + "*.mp4", 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(GetFileSizeBytes(c.path), c.bytes) << c.path;
    EXPECT_EQ(FileSizeText(dir + "five.mp4"), "5120.00");
    ::SetFileAttributesA((dir + "hidden.mp4").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Sets the user's decimal separator for the test's life and puts the old
// one back.
class DecimalSeparator {
public:
    explicit DecimalSeparator(const char* separator) {
        char old[8] = "";
        ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old, sizeof old);
        old_ = old;
        set_ = ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator) != FALSE;
    }
    ~DecimalSeparator() { ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old_.c_str()); }
    bool Set() const { return set_; }

private:
    std::string old_;
    bool set_ = false;
};

TEST(SourceListRules, SizeTextUsesTheUsersDecimalSeparator) {
    ScratchFolder folder;
    MakeFileOfSize(folder.Path() + "half.mp4", 524288);
    const std::string before = LocaleDecimalSeparator();
    EXPECT_EQ(FileSizeText(folder.Path() + "half.mp4"), "0" + before + "50");
    {
        DecimalSeparator comma(",");
        ASSERT_TRUE(comma.Set());
        EXPECT_EQ(LocaleDecimalSeparator(), ",");
        EXPECT_EQ(FileSizeText(folder.Path() + "half.mp4"), "0,50");
    }
    EXPECT_EQ(LocaleDecimalSeparator(), before);
}

// --- the Open dialog's answer ----------------------------------------------------------

TEST(OpenDialogAnswer, ChosenFilesFromTheBuffer) {
    struct Case {
        const char* what;
        std::wstring buffer;
        std::vector<std::wstring> files;
    } const cases[] = {
        {"one full path", L"C:\\v\\a.mp4\0\0"s, {L"C:\\v\\a.mp4"}},
        {"one full path, buffer full of NULs", L"C:\\v\\a.mp4\0\0\0\0\0\0"s, {L"C:\\v\\a.mp4"}},
        {"folder and names", L"C:\\v\0b.mp4\0a.mp4\0\0"s, {L"C:\\v\\b.mp4", L"C:\\v\\a.mp4"}},
        {"the root folder keeps one backslash", L"C:\\\0a.mp4\0b.mp4\0\0"s, {L"C:\\a.mp4", L"C:\\b.mp4"}},
        {"a share", L"\\\\host\\share\0a.mp4\0b.mp4\0\0"s,
         {L"\\\\host\\share\\a.mp4", L"\\\\host\\share\\b.mp4"}},
        {"a typed full path among names", L"C:\\v\0a.mp4\0D:\\w\\x.mp4\0\0"s, {L"C:\\v\\a.mp4", L"D:\\w\\x.mp4"}},
        {"names with spaces and wide letters", L"C:\\my v\0\x4e2d \x6587.mp4\0n.txt\0\0"s,
         {L"C:\\my v\\\x4e2d \x6587.mp4", L"C:\\my v\\n.txt"}},
        {"nothing", L"\0\0"s, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tk::ChosenFiles(c.buffer), c.files);
    }
}

TEST(OpenDialogAnswer, FilterInTheDialogsForm) {
    EXPECT_EQ(tk::DialogFilter("Google Video (*.MP4)|*.mp4"), L"Google Video (*.MP4)\0*.mp4\0\0"s);
    EXPECT_EQ(tk::DialogFilter("A|*.a|B|*.b;*.c"), L"A\0*.a\0B\0*.b;*.c\0\0"s);
    EXPECT_EQ(tk::DialogFilter(""), L""s);
}

}  // namespace
