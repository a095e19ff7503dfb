// The batch: output and temporary names, the bars, and whole batches driven
// by the progress window's real timer with the scripted stand-in tool, as
// the main window's Start command hands them over.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "app/SourceList.h"
#include "app/Unit1.h"
#include "conversion/BatchNames.h"
#include "conversion/Unit2.h"
#include "support/Clock.h"
#include "support/StallProbe.h"
#include "support/BatchDriver.h"
#include "support/TestSupport.h"
#include "tests/conversion/AviBytes.h"
#include "tests/conversion/ToolStandIn.h"
#include "toolkit/Application.h"
#include "toolkit/Files.h"
#include "toolkit/Text.h"

namespace {

using conversion_test::StandInTool;
// What the box says of a file whose tool ended without a word of why.
constexpr char kStopped[] = " - the converter stopped before the end";
using conversion_test::StatusLine;
using namespace testing_support;

// ---- names, widths, percentages, the final text ---------------------------------

struct NameCase {
    const wchar_t* source;
    std::vector<std::wstring> present;  // already in the output folder
    const wchar_t* expected;
};

TEST(BatchNamesTest, OutputNameIsTheFirstFreeOne) {
    const NameCase cases[] = {
        {L"C:\\in\\clip.mp4", {}, L"D:\\out\\clip.AVI"},
        {L"C:\\in\\clip.mp4", {L"D:\\out\\clip.AVI"}, L"D:\\out\\[1]clip.AVI"},
        {L"C:\\in\\clip.mp4", {L"D:\\out\\clip.AVI", L"D:\\out\\[1]clip.AVI"}, L"D:\\out\\[2]clip.AVI"},
        {L"C:\\in\\holiday.MP4.mp4", {}, L"D:\\out\\holiday.mp4.AVI"},
        {L"C:\\in\\clip.m4v", {}, L"D:\\out\\clip.m4v.AVI"},
        {L"C:\\in\\Clip.Mp4", {}, L"D:\\out\\Clip.AVI"},
        {L"C:\\in\\a.mp4x.mp4", {}, L"D:\\out\\ax.mp4.AVI"},
        {L"C:clip.mp4", {}, L"D:\\out\\clip.AVI"},
        {L"\\\\srv\\share\\my clip (1).mp4", {}, L"D:\\out\\my clip (1).AVI"},
        // A real name outside the ANSI code page names its output.
        {L"C:\\in\\\u00dcn\u00ef c\u00f8d\u00e9 \u65e5\u672c\u8a9e clip.mp4", {},
         L"D:\\out\\\u00dcn\u00ef c\u00f8d\u00e9 \u65e5\u672c\u8a9e clip.AVI"},
        {L"C:\\in\\\u65e5\u672c.mp4", {L"D:\\out\\\u65e5\u672c.avi"}, L"D:\\out\\[1]\u65e5\u672c.AVI"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(tk::Narrow(c.source));
        auto taken = [&](const std::wstring& path) {
            for (const auto& p : c.present)
                if (tk::AsciiUpper(p) == tk::AsciiUpper(path)) return true;
            return false;
        };
        EXPECT_EQ(FreeNameIn(L"D:\\out\\", OutputBaseName(c.source), taken), c.expected);
    }
}

// The first n names tried in D:\out\.
std::vector<std::string> TempNames(int n, int from = 0) {
    std::vector<std::string> names;
    for (int k = from; k < from + n; ++k)
        names.push_back("D:\\out\\" + (k == 0 ? std::string() : "[" + std::to_string(k) + "]") + "temp_2953.avi");
    return names;
}

TEST(BatchNamesTest, TemporaryNameIsReservedAndNeverTheFinalName) {
    const auto R = Reservation::Reserved, T = Reservation::Taken, F = Reservation::Failed;
    std::vector<Reservation> sevenFailed(7, F), apart = sevenFailed;
    apart.push_back(T);
    apart.insert(apart.end(), sevenFailed.begin(), sevenFailed.end());
    apart.push_back(R);
    const struct {
        const char* what;
        std::vector<Reservation> answers;  // for each name tried, in turn; then Failed
        const wchar_t* finalName;
        const char* expected;
        std::vector<std::string> tried;
    } cases[] = {
        {"free", {R}, L"D:\\out\\clip.AVI", "D:\\out\\temp_2953.avi", TempNames(1)},
        {"taken, then free", {T, R}, L"D:\\out\\clip.AVI", "D:\\out\\[1]temp_2953.avi", TempNames(2)},
        {"taken twice", {T, T, R}, L"D:\\out\\clip.AVI", "D:\\out\\[2]temp_2953.avi", TempNames(3)},
        // A source named temp_2953.mp4 ends as temp_2953.AVI: the same file,
        // never reserved.
        {"the final name itself", {R}, L"D:\\out\\temp_2953.AVI", "D:\\out\\[1]temp_2953.avi", TempNames(1, 1)},
        // "Access denied" for a name still delete pending: the next name.
        {"cannot be made, then free", {F, R}, L"D:\\out\\clip.AVI", "D:\\out\\[1]temp_2953.avi", TempNames(2)},
        {"cannot be made, taken, cannot be made, free", {F, T, F, R}, L"D:\\out\\clip.AVI",
         "D:\\out\\[3]temp_2953.avi", TempNames(4)},
        {"failures apart", apart, L"D:\\out\\clip.AVI", "D:\\out\\[15]temp_2953.avi", TempNames(16)},
        // No name at all can be made: the folder takes no file.
        {"the folder takes no file", {}, L"D:\\out\\clip.AVI", "", TempNames(kFailedNamesInRow)},
        {"taken, then no file", {T}, L"D:\\out\\clip.AVI", "", TempNames(kFailedNamesInRow + 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> tried;
        const std::string reserved = ReserveTempName("D:\\out\\", c.finalName, [&](const std::string& path) {
            tried.push_back(path);
            return tried.size() <= c.answers.size() ? c.answers[tried.size() - 1] : Reservation::Failed;
        });
        EXPECT_EQ(reserved, c.expected);
        EXPECT_EQ(tried, c.tried);
    }
    // A folder that answers "taken" for every name gives up.
    int tries = 0;
    EXPECT_EQ(ReserveTempName("D:\\out\\", L"D:\\out\\a.AVI", [&](const std::string&) {
                  ++tries;
                  return Reservation::Taken;
              }),
              "");
    EXPECT_GT(tries, 100);
}

// The size of a source: 0 only for a file known to be empty; nothing when
// the lookup fails.
TEST(BatchNamesTest, SizeLookupTellsEmptyFromUnknown) {
    ScratchFolder scratch;
    WriteBytes(scratch.Path() + "five.mp4", "12345");
    WriteBytes(scratch.Path() + "empty.mp4", "");
    EXPECT_EQ(tk::LookUpSize(scratch.Path() + "five.mp4"), std::optional<long long>(5));
    EXPECT_EQ(tk::LookUpSize(scratch.Path() + "empty.mp4"), std::optional<long long>(0));
    EXPECT_EQ(tk::LookUpSize(scratch.Path() + "gone.mp4"), std::nullopt);
    EXPECT_EQ(tk::LookUpSize(scratch.Path() + "f?ve.mp4"), std::nullopt);
    EXPECT_EQ(tk::LookUpSize(scratch.Path()), std::optional<long long>(0));  // a folder
    EXPECT_EQ(tk::EntrySize(scratch.Path() + "gone.mp4"), 0);
}

TEST(BatchNamesTest, BarsAndPercentages) {
    const std::pair<int, int> widths[] = {{0, 0}, {1, 3}, {50, 178}, {100, 357}, {101, 360}, {-5, 0}};
    for (auto [percent, width] : widths) EXPECT_EQ(BarWidth(percent), width) << percent;

    EXPECT_EQ(TotalPercent(50, 3, 4), 62);  // 12.5 + 50, truncated
    EXPECT_EQ(TotalPercent(37, 1, 1), 37);  // one file: the file's own
    EXPECT_EQ(TotalPercent(0, 1, 4), 0);
    EXPECT_EQ(TotalPercent(100, 3, 3), 100);  // never 99 at the very end
    EXPECT_EQ(TotalPercent(100, 7, 7), 100);
    EXPECT_EQ(OperationText(L"C:\\My Videos\\Clip One.MP4"), L"Convert file \"Clip One.MP4\":");
    EXPECT_EQ(OperationText(L"C:\\v\\\u65e5\u672c.mp4"), L"Convert file \"\u65e5\u672c.mp4\":");
}

TEST(BatchNamesTest, FinalTextNamesWhatWasNotConvertedAndWhy) {
    EXPECT_EQ(DoneMessage({}), L"Done.");
    EXPECT_EQ(DoneMessage({{L"C:\\a.mp4", L"the file is missing"}, {L"D:\\b c.mp4", L"the output disk is full"}}),
              L"Done.\n\nNot converted:\nC:\\a.mp4 - the file is missing\nD:\\b c.mp4 - the output disk is full");
    std::vector<NotConvertedFile> many;
    for (int i = 1; i <= 23; ++i) many.push_back({L"C:\\v\\" + std::to_wstring(i) + L".mp4", L"the file is empty"});
    const std::wstring text = DoneMessage(many);
    EXPECT_EQ(text.rfind(L"Done.\n\nNot converted:\nC:\\v\\1.mp4 - the file is empty\n", 0), 0u);
    EXPECT_NE(text.find(L"\nC:\\v\\20.mp4 - the file is empty\n... and 3 more."), std::wstring::npos);
    EXPECT_EQ(text.find(L"21.mp4"), std::wstring::npos);

    // Within a budget the path gives way, never the reason.
    const std::wstring deep = L"C:\\Users\\someone\\Videos\\downloaded\\holiday 2006\\the beach.mp4";
    const std::wstring reason = L"not a video file the converter can read";
    EXPECT_EQ(DoneMessage({{deep, reason}}, 200), L"Done.\n\nNot converted:\n" + deep + L" - " + reason);
    EXPECT_EQ(DoneMessage({{deep, reason}}, 80),
              L"Done.\n\nNot converted:\nC:\\...\\holiday 2006\\the beach.mp4 - " + reason);
    // However small the budget, a path keeps its shortest length.
    const std::wstring tight = DoneMessage({{deep, reason}}, 10);
    EXPECT_EQ(tight, L"Done.\n\nNot converted:\n" + ShortenedPath(deep, kShortestPath) + L" - " + reason);
    EXPECT_EQ(ShortenedPath(deep, kShortestPath), L"C:\\...\\the beach.mp4");
}

TEST(BatchNamesTest, LongPathsLoseTheMiddleOfTheirFolders) {
    const struct {
        const wchar_t* path;
        size_t budget;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\a\\b\\clip.mp4", 40, L"C:\\a\\b\\clip.mp4"},  // fits
        {L"C:\\one\\two\\three\\clip.mp4", 25, L"C:\\one\\two\\three\\clip.mp4"},  // exactly
        {L"C:\\one\\two\\three\\clip.mp4", 24, L"C:\\...\\three\\clip.mp4"},
        {L"C:\\one\\two\\three\\clip.mp4", 20, L"C:\\...\\clip.mp4"},
        {L"C:\\one\\two\\three\\clip.mp4", 15, L"C:\\...\\clip.mp4"},
        // The share of a network path stays.
        {L"\\\\server\\share\\videos\\2006\\clip.mp4", 34, L"\\\\server\\share\\...\\2006\\clip.mp4"},
        // A file name longer than the budget: the path keeps its beginning
        // and its end.
        {L"C:\\v\\a very long file name indeed.mp4", 20, L"C:\\v\\a v...ndeed.mp4"},
        {L"relative\\folder\\clip.mp4", 16, L"...\\clip.mp4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(tk::Narrow(c.path));
        const std::wstring shortened = ShortenedPath(c.path, c.budget);
        EXPECT_EQ(shortened, c.expected);
        EXPECT_LE(shortened.size(), c.budget);
    }
    // Three quarters of the screen in average characters of the font.
    EXPECT_EQ(LineBudget(1024, 6), 128u);
    EXPECT_EQ(LineBudget(800, 7), 85u);
    EXPECT_EQ(LineBudget(0, 7), 0u);  // nothing known: no limit
}

// ---- the progress window --------------------------------------------------------

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolderForTesting(program_.Path());
        CreateApplicationForms();
        Form1->Timer1->SetEnabled(false);  // no start-up step here
        ToolFolder = tool_.Folder();
        out_ = tool_.Scratch() + "out put [x]\\";
        in_ = tool_.Scratch() + "in\\";
        ::CreateDirectoryA(out_.c_str(), nullptr);
        ::CreateDirectoryA(in_.c_str(), nullptr);
        Form1->Show();
    }
    void TearDown() override {
        Converting = false;
        ToolReady = false;
        tk::Application::Get().ResetForTesting();
        tk::SetProgramFolderForTesting("");
        ToolFolder.clear();
        SourceNames.clear();
        SourceCount = 0;
        CurrentIndex = 0;
    }

    // A source: a stand-in script that reports `seconds` of a 4-second clip
    // and then ends as told.
    std::string Source(const std::string& name, const std::vector<std::string>& ending,
                       const std::string& folder = "") {
        std::vector<std::string> lines = {"err Input #0, avi, from 'x':\\r\\n  Duration: 00:00:04.00, start: 0.0\\r\\n",
                                          "sleep 200", StatusLine("00:00:01.00"), "sleep 200",
                                          StatusLine("00:00:02.00")};
        lines.insert(lines.end(), ending.begin(), ending.end());
        const std::string dir = folder.empty() ? in_ : folder;
        ::CreateDirectoryA(dir.c_str(), nullptr);
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        WriteBytes(dir + name, text);
        return dir + name;
    }
    std::vector<std::string> Converts() { return {StatusLine("00:00:04.00"), "avi", "exit 0"}; }

    // What the Start command does.
    void StartBatch(const std::vector<std::string>& sources) { testing_support::HandOverBatch(sources, out_); }
    // Runs until the condition holds, noting the operation texts shown.
    bool RunUntil(const std::function<bool()>& condition, int timeoutMs) {
        return WaitFor(
            [&] {
                const std::string op = Form2->Label1->Caption();
                if (operations_.empty() || operations_.back() != op) operations_.push_back(op);
                return condition();
            },
            timeoutMs);
    }
    // Runs until the batch is over; the operation texts seen, in order.
    std::vector<std::string> RunToEnd(int timeoutMs = 60000) {
        EXPECT_TRUE(RunUntil([] { return !Converting; }, timeoutMs)) << "the batch ended";
        return operations_;
    }
    std::vector<std::string> OutputFiles() { return FolderEntries(out_); }
    // Every name in the output folder, as the file system holds it.
    std::vector<std::wstring> WideOutputFiles() {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        const tk::FindHandle find(::FindFirstFileW(tk::Widen(out_ + "*").c_str(), &entry));
        if (!find) return names;
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (::FindNextFileW(find.Get(), &entry));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> operations_;
    ScratchFolder program_;
    StandInTool tool_;
    std::string out_, in_;
    ErrorRecorder errors_;
    ShellRecorder shell_;
};

TEST_F(BatchTest, BarsArePaintedFromTheStrips) {
    const tk::Bitmap& edge = Form2->Image2->Picture();
    const tk::Bitmap& fill = Form2->Image3->Picture();
    ASSERT_EQ(edge.Width(), 1);
    ASSERT_EQ(edge.Height(), 14);
    EXPECT_EQ(edge.Pixel(0, 0), RGB(0xAC, 0xDE, 0xB0));
    EXPECT_EQ(edge.Pixel(0, 1), RGB(0x6D, 0xC1, 0x74));
    EXPECT_EQ(fill.Pixel(0, 1), RGB(0xEB, 0xF9, 0xEB));
    // Past 100 % (a source that plays longer than it says) the bar stays full:
    // no picture wider than the bar, however far the percentage goes.
    for (int percent : {0, 1, 2, 50, 100, 101, 2300, 2000000000}) {
        SCOPED_TRACE(percent);
        Form2->PaintBar(percent, Form2->Image6);
        const tk::Bitmap& bar = Form2->Image6->Picture();
        const int width = std::min(BarWidth(percent), 357);
        EXPECT_EQ(bar.Width(), width);
        if (width == 0) {
            EXPECT_TRUE(bar.Empty());
            continue;
        }
        EXPECT_EQ(bar.Height(), 14);
        for (int y = 0; y < 14; ++y) {
            EXPECT_EQ(bar.Pixel(0, y), edge.Pixel(0, y)) << y;
            EXPECT_EQ(bar.Pixel(width - 1, y), edge.Pixel(0, y)) << y;
            for (int x = 1; x < width - 1; ++x)
                if (bar.Pixel(x, y) != fill.Pixel(0, y)) {
                    ADD_FAILURE() << "fill at " << x << "," << y;
                    break;
                }
        }
    }
    // On screen the bar is cut at the image's edge, inside the trough.
    Form2->Show();
    Form2->PaintBar(101, Form2->Image7);
    FlushEvents(100);
    HDC dc = ::GetDC(Form2->Handle());
    EXPECT_EQ(::GetPixel(dc, 14, 106 + 1), edge.Pixel(0, 1));
    EXPECT_EQ(::GetPixel(dc, 14 + 200, 106 + 1), fill.Pixel(0, 1));
    EXPECT_NE(::GetPixel(dc, 14 + 357, 106 + 1), fill.Pixel(0, 1));  // the trough's frame
    ::ReleaseDC(Form2->Handle(), dc);
}

TEST_F(BatchTest, BatchConvertsEveryFileAndComesBackToTheMainWindow) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    // A stale temporary file of someone else's and a final name that is
    // already there stay as they are.
    WriteBytes(out_ + "temp_2953.avi", "stale");
    WriteBytes(out_ + "one.AVI", "older one");
    const std::string sources[] = {
        Source("one.mp4", Converts()),
        Source("clip.mp4", Converts(), in_ + "a\\"),
        Source("clip.MP4", Converts(), in_ + "b\\"),  // same name, other folder
        Source("bad.mp4", {"avicut", "exit 1"}),     // leaves a partial file
        Source("empty.mp4", {"exit 0"}),             // "succeeds" without output
        Source("taken.mp4", {StatusLine("00:00:03.00"), "sleep 1500", "avi", "exit 0"}),
    };
    Form1->Label1->SetCaption("Added 6 file(s).");
    StartBatch({std::begin(sources), std::end(sources)});

    // The file before the last: its final name is taken while it converts.
    ASSERT_TRUE(RunUntil([&] { return CurrentIndex == 6 && !Worker->Idle; }, 40000));
    WriteBytes(out_ + "taken.AVI", "someone else's");
    const std::vector<std::string> operations = RunToEnd();

    EXPECT_EQ(operations,
              (std::vector<std::string>{"Current Operation:", "Convert file \"one.mp4\":", "Convert file \"clip.mp4\":",
                                        "Convert file \"clip.MP4\":", "Convert file \"bad.mp4\":",
                                        "Convert file \"empty.mp4\":", "Convert file \"taken.mp4\":"}));
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"[1]clip.AVI", "[1]one.AVI", "[1]taken.AVI", "clip.AVI",
                                                       "one.AVI", "taken.AVI", "temp_2953.avi"}));
    EXPECT_EQ(ReadBytes(out_ + "one.AVI"), "older one");
    EXPECT_EQ(ReadBytes(out_ + "taken.AVI"), "someone else's");
    EXPECT_EQ(ReadBytes(out_ + "temp_2953.avi"), "stale");
    EXPECT_EQ(ReadBytes(out_ + "[1]taken.AVI"), avi_bytes::Whole());

    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Done.\n\nNot converted:\n" + sources[3] + kStopped + "\n" + sources[4] + kStopped);
    EXPECT_EQ(boxes.LastOwner(), Form2->Handle());
    EXPECT_FALSE(Form2->Visible());
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Form2->Timer1->Enabled());
    EXPECT_FALSE(TickBusy);
    EXPECT_EQ(Form1->Label1->Caption(), "Added 0 file(s).");
    EXPECT_EQ(Form2->Label3->Caption(), "100%");
    EXPECT_EQ(Form2->Label4->Caption(), "100%");
    EXPECT_EQ(Form2->Image7->Picture().Width(), 357);
    ASSERT_EQ(shell_.Requests().size(), 1u);
    const tk::ShellRequest& open = shell_.Requests()[0];
    EXPECT_EQ(open.file, Form1->Edit1->Text());
    EXPECT_EQ(open.owner, Form1->Handle());
    EXPECT_TRUE(open.noVerb);
    EXPECT_TRUE(open.noParameters);
    EXPECT_EQ(open.show, SW_SHOW);
    EXPECT_TRUE(errors_.Errors().empty());
}

TEST_F(BatchTest, BarsFollowEachFileAndStandFullBetweenFiles) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    Form1->CheckBox1->SetChecked(false);
    const std::vector<std::string> longer = {"sleep 2000", StatusLine("00:00:03.00"), "sleep 2000", "avi", "exit 0"};
    StartBatch({Source("first.mp4", longer), Source("second.mp4", longer)});

    // While the first file converts, the polls show its 50 % (2 of 4 s).
    ASSERT_TRUE(WaitFor([&] { return Form2->Label3->Caption() == "50%"; }, 10000));
    EXPECT_EQ(Form2->Label4->Caption(), "25%");
    EXPECT_EQ(Form2->Image6->Picture().Width(), BarWidth(50));
    EXPECT_EQ(Form2->Image7->Picture().Width(), BarWidth(25));
    // The second file is handed over the moment the first one is done; its
    // bar shows the first one complete until its own first poll.
    ASSERT_TRUE(WaitFor([&] { return CurrentIndex == 2; }, 10000));
    EXPECT_EQ(Form2->Label3->Caption(), "100%");
    EXPECT_EQ(Form2->Image6->Picture().Width(), 357);
    ASSERT_TRUE(WaitFor([&] { return Form2->Label3->Caption() == "50%"; }, 10000));
    EXPECT_EQ(Form2->Label4->Caption(), "75%");

    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_TRUE(shell_.Requests().empty()) << "the folder is opened only when asked";
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"first.AVI", "second.AVI"}));
}

TEST_F(BatchTest, FirstFileIsHandedOverWithoutWaitingForATick) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::string a = Source("a.mp4", Converts());
    const double start = testing_support::Seconds();
    StartBatch({a});
    // Only what is already waiting: the timer's first tick is a second away.
    tk::Application::Get().ProcessMessages();
    EXPECT_LT(testing_support::Seconds() - start, 0.5) << "no tick can have come";
    EXPECT_EQ(CurrentIndex, 1);
    EXPECT_TRUE(Worker->JobRequested || !Worker->Idle);
    EXPECT_EQ(Form2->Label1->Caption(), "Convert file \"a.mp4\":");
    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"a.AVI"});

    // Shown again while no batch runs: nothing happens.
    Form2->Show();
    FlushEvents(100);
    EXPECT_EQ(CurrentIndex, 2);
    Form2->Hide();
}

TEST_F(BatchTest, SourceAndOutputInOneFolder) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    in_ = out_;
    const std::string a = Source("temp_2953.mp4", Converts());  // its output is temp_2953.AVI
    const std::string b = Source("b.mp4", Converts());
    StartBatch({a, b});
    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"b.AVI", "b.mp4", "temp_2953.AVI", "temp_2953.mp4"}));
    EXPECT_EQ(ReadBytes(out_ + "temp_2953.AVI"), avi_bytes::Whole());
}

TEST_F(BatchTest, FailureInsideATickIsReportedAndTheBatchGoesOn) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    // The count says three, but there are two files: handing over the third
    // one fails inside the tick.
    StartBatch({Source("one.mp4", Converts()), Source("two.mp4", Converts())});
    SourceCount = 3;
    RunToEnd();
    ASSERT_EQ(errors_.Errors().size(), 1u);
    EXPECT_FALSE(TickBusy);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"one.AVI", "two.AVI"}));
}

// Only a whole AVI from a tool that ended with exit code 0 counts; whatever
// else a tool leaves is removed, and its source is named in the final box.
TEST_F(BatchTest, OnlyWholeOutputsOfASuccessfulToolAreConverted) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const struct {
        const char* name;
        std::vector<std::string> ending;
        bool converted;
    } endings[] = {
        {"whole.mp4", {"avi", "exit 0"}, true},
        {"cut short.mp4", {"avicut", "exit 0"}, false},  // ended from outside, reported as success
        {"nothing.mp4", {"exit 0"}, false},              // the reserved file left empty
        {"text.mp4", {"touch", "exit 0"}, false},        // not an AVI at all
        {"failed.mp4", {"avi", "exit 1"}, false},        // whole-looking, but the tool failed
    };
    std::vector<std::string> sources;
    std::wstring expected = L"Done.\n\nNot converted:";
    for (const auto& e : endings) {
        sources.push_back(Source(e.name, e.ending));
        if (!e.converted) expected += L"\n" + tk::Widen(sources.back() + kStopped);
    }
    StartBatch(sources);
    RunToEnd();
    EXPECT_EQ(boxes.WideTexts(), std::vector<std::wstring>{expected});
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"whole.AVI"}) << "nothing left under a temporary name";
    EXPECT_EQ(ReadBytes(out_ + "whole.AVI"), avi_bytes::Whole());
}

// The finished output is held open by another program (a scanner, an
// indexer) when its tool ends. A handle that shares writing but not
// deleting lets it be flushed but not moved; one that shares deleting but
// not writing lets it be moved but not flushed, and a file not written
// through is not called converted. Either way the output stays under its
// temporary name, whole, and the box says where and why.
TEST_F(BatchTest, AnOutputHeldByAnotherProgramIsKeptAndNamed) {
    const struct {
        const char* what;
        DWORD sharing;
        const wchar_t* reason;
    } cases[] = {
        {"cannot be moved", FILE_SHARE_READ | FILE_SHARE_WRITE, L"the result could not be renamed"},
        {"cannot be flushed", FILE_SHARE_READ | FILE_SHARE_DELETE, L"the result could not be written to the disk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
        const std::string source = Source("held.mp4", {"avi", "sleep 1500", "exit 0"});
        StartBatch({source});
        const std::string temp = out_ + "temp_2953.avi";
        tk::FileHandle held;
        ASSERT_TRUE(RunUntil(
            [&] {
                if (ReadBytes(temp) != avi_bytes::Whole()) return false;
                held.Reset(::CreateFileA(temp.c_str(), GENERIC_READ, c.sharing, nullptr, OPEN_EXISTING, 0, nullptr));
                return static_cast<bool>(held);
            },
            20000));
        RunToEnd();
        held.Reset();
        EXPECT_EQ(boxes.WideTexts(), std::vector<std::wstring>{L"Done.\n\nNot converted:\n" + tk::Widen(source) +
                                                               L" - " + c.reason +
                                                               L"; it is kept in the output folder as temp_2953.avi"});
        EXPECT_EQ(OutputFiles(), std::vector<std::string>{"temp_2953.avi"});
        EXPECT_EQ(ReadBytes(temp), avi_bytes::Whole());
        ::DeleteFileA(temp.c_str());
    }
}

// A slow disk for as long as it lives: each flush and each rename of a
// finished file takes that much longer.
class SlowDisk {
public:
    explicit SlowDisk(std::chrono::milliseconds delay) { SetFinishDelayForTesting(delay); }
    ~SlowDisk() { SetFinishDelayForTesting(std::chrono::milliseconds(0)); }
    SlowDisk(const SlowDisk&) = delete;
    SlowDisk& operator=(const SlowDisk&) = delete;
};

// The disk work of a finished file is the worker's: while a slow disk (a USB
// stick, a network share) takes 2 s to flush it and 2 s more to rename it,
// the progress window goes on answering, each message within half a second.
TEST_F(BatchTest, TheWindowAnswersWhileASlowDiskFinishesAFile) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const SlowDisk slow(std::chrono::seconds(2));
    StartBatch({Source("slow.mp4", Converts())});
    testing_support::StallProbe probe(Form2->Handle(), 500);
    // The tool has ended; the worker checks, flushes and renames its file.
    EXPECT_TRUE(RunUntil([] { return Converter->Finished() && !Worker->Idle; }, 20000))
        << "the window's thread saw the file being finished";
    ASSERT_TRUE(RunUntil([] { return Worker->Idle; }, 20000));
    probe.Stop();
    EXPECT_EQ(probe.Unanswered(), 0) << "questions left without a reply for half a second";
    EXPECT_GE(probe.Replies(), 10) << "the window was asked throughout";
    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"slow.AVI"});
    EXPECT_EQ(ReadBytes(out_ + "slow.AVI"), avi_bytes::Whole());
}

// Two batches of two copies of the program, one output folder: each reserves
// its own temporary file, and neither ever removes the other's.
TEST_F(BatchTest, AnotherBatchsTemporaryFileIsNeverTaken) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    // The other copy has reserved the first name and is still writing.
    WriteBytes(out_ + "temp_2953.avi", "the other copy's, half written");
    const std::string failing = Source("failing.mp4", {"avicut", "exit 1"});
    StartBatch({failing, Source("fine.mp4", Converts())});
    RunToEnd();
    EXPECT_EQ(ReadBytes(out_ + "temp_2953.avi"), "the other copy's, half written");
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"fine.AVI", "temp_2953.avi"}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done.\n\nNot converted:\n" + failing + kStopped});
}

TEST_F(BatchTest, AnOutputFolderThatTakesNoFileFailsEachFileAtOnce) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::string a = Source("a.mp4", Converts()), b = Source("b.mp4", Converts());
    StartBatch({a, b});
    OutputFolder = out_ + "gone since\\";
    RunToEnd(20000);
    const std::string gone = " - the output folder is missing";
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done.\n\nNot converted:\n" + a + gone + "\n" + b + gone});
    EXPECT_TRUE(errors_.Errors().empty());
}

// Each file that fails is named with why: what the batch saw of the source,
// and what the tool printed (the stand-in prints the shipped tool's lines).
// A source that is missing or empty when its turn comes is not given to the
// tool at all.
TEST_F(BatchTest, EachFileThatFailsIsNamedWithItsReason) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    auto raw = [&](const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        WriteBytes(in_ + name, text);
        return in_ + name;
    };
    const std::string banner = "err ffmpeg version N-92722-gf22fcd4483 Copyright (c) 2000-2018 the FFmpeg developers\\r\\n";
    const std::string full = Source("full.mp4", {"err Could not write header for output file #0 (incorrect codec "
                                                 "parameters ?): No space left on device\\r\\n",
                                                 "err Error initializing output stream 0:0 -- \\r\\n",
                                                 "err Conversion failed!\\r\\n", "touch", "exit 1"});
    const std::string notes =
        raw("notes.mp4", {banner,
                          "err [mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000cb3800] Format mov,mp4,m4a,3gp,3g2,mj2 detected "
                          "only with low score of 1, misdetection possible!\\r\\n",
                          "err [mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000cb3800] moov atom not found\\r\\n",
                          "err notes.mp4: Invalid data found when processing input\\r\\n", "exit 1"});
    const std::string cut = raw("cut.mp4", {banner,
                                            "err [mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000cb3840] moov atom not found\\r\\n",
                                            "err cut.mp4: Invalid data found when processing input\\r\\n", "exit 1"});
    const std::string odd = Source("odd.mp4", {"err Unknown encoder 'mp3'\\r\\n", "exit 1"});
    const std::string whole = Source("whole.mp4", Converts());
    const std::string empty = in_ + "empty.mp4";
    WriteBytes(empty, "");
    const std::string gone = in_ + "gone.mp4";
    StartBatch({full, notes, cut, odd, whole, empty, gone});
    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done.\n\nNot converted:\n" +
                                                      full + " - the output disk is full\n" +
                                                      notes + " - not a video file the converter can read\n" +
                                                      cut + " - the video is damaged or incomplete\n" +
                                                      odd + " - the converter reported: Unknown encoder 'mp3'\n" +
                                                      empty + " - the file is empty\n" +
                                                      gone + " - the file is missing"});
    EXPECT_EQ(Converter->CommandLine(), TMyThread::BuildCommandLine(whole, out_ + "temp_2953.avi"))
        << "the tool's last run was for the last file that exists";
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"whole.AVI"});
    EXPECT_TRUE(errors_.Errors().empty());
}

// A path too long for a line of the box on this screen loses the middle of
// its folders; its file name and its reason stay whole.
TEST_F(BatchTest, ALongPathIsShortenedInTheBoxButNotItsReason) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    std::string deep = "C:\\videos\\";
    while (deep.size() < 220) deep += "a folder with a long name\\";  // as long as the shell gives
    StartBatch({deep + "gone.mp4"});
    RunToEnd(20000);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    const std::string head = "Done.\n\nNot converted:\n";
    const std::string text = boxes.Texts()[0];
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    const std::string line = text.substr(head.size());
    EXPECT_EQ(line.rfind("C:\\...\\", 0), 0u) << line;
    const std::string tail = "\\gone.mp4 - the file is missing";
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    EXPECT_LT(line.size(), 300u) << "three quarters of the 1280-pixel screen, in characters at least 4 pixels wide";
}

// While a batch runs, Alt+F4 or Close on the task bar button minimises the
// application: the program keeps a button, and the batch goes on to its box.
TEST_F(BatchTest, ACloseRequestDuringABatchMinimisesTheProgram) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    StartBatch({Source("one.mp4", {"sleep 1500", "avi", "exit 0"}), Source("two.mp4", Converts())});
    ASSERT_TRUE(RunUntil([] { return CurrentIndex == 1 && !Worker->Idle; }, 10000));
    ::SendMessageA(Form2->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4, or the task bar's Close
    FlushEvents(100);
    EXPECT_TRUE(::IsWindowVisible(Form2->Handle())) << "a window of the program stays";
    EXPECT_TRUE(::IsIconic(Form2->Handle())) << "on the task bar";
    EXPECT_FALSE(Form1->Visible());
    ::SendMessageA(Form2->Handle(), WM_CLOSE, 0, 0);  // again, while minimised
    FlushEvents(100);
    EXPECT_TRUE(::IsWindowVisible(Form2->Handle()));
    RunToEnd();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"one.AVI", "two.AVI"}));
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Form2->Visible()) << "after the batch the window closes as it always did";
}

// The next file is handed over the moment the worker reports the last one
// done, not at the timer's next tick: with the timer slowed to a minute, a
// batch of three still runs through in seconds.
TEST_F(BatchTest, EachNextFileIsHandedOverWithoutWaitingForATick) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    Form2->Timer1->SetInterval(60000);
    StartBatch({Source("a.mp4", Converts()), Source("b.mp4", Converts()), Source("c.mp4", Converts())});
    const double start = testing_support::Seconds();
    RunToEnd(20000);
    EXPECT_LT(testing_support::Seconds() - start, 20.0);
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.AVI", "b.AVI", "c.AVI"}));
}

// A source whose name the ANSI code page cannot write is listed by its short
// form, but its output, the operation label and the final box use its real
// name.
TEST_F(BatchTest, ARealNameOutsideTheCodePageNamesTheOutput) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::wstring name = L"\u00dcn\u00ef c\u00f8d\u00e9 \u65e5\u672c\u8a9e clip";
    const std::wstring folder = tk::Widen(in_);
    auto script = [&](const std::wstring& file, const std::vector<std::string>& ending) {
        std::string text;
        for (const auto& line : ending) text += line + "\n";
        tk::FileHandle f(::CreateFileW((folder + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return folder + file;
    };
    std::vector<std::string> labels;
    const std::wstring good = script(name + L".mp4", {"sleep 1500", "avi", "exit 0"});
    const std::wstring bad = script(name + L" (2).mp4", {"avicut", "exit 0"});
    // Dropped from the shell, then Start.
    ToolReady = true;
    Form1->Edit1->SetText(out_);
    Form1->CheckBox1->SetChecked(false);
    ::SendMessageA(Form1->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({good, bad})), 0);
    ASSERT_EQ(Form1->ListView1->Count(), 2);
    EXPECT_EQ(Form1->ListView1->Caption(0), tk::Narrow(ShortPathOf(good))) << "listed by its short form";
    Form1->ImageButton1Click(nullptr);
    ASSERT_TRUE(Converting);
    std::wstring shown;
    ASSERT_TRUE(RunUntil([&] { return !Worker->Idle && !(shown = Form2->Label1->WideCaption()).empty(); }, 10000));
    EXPECT_EQ(shown, L"Convert file \"" + name + L".mp4\":");
    RunToEnd();
    EXPECT_EQ(WideOutputFiles(), std::vector<std::wstring>{name + L".AVI"});
    EXPECT_EQ(boxes.WideTexts(), std::vector<std::wstring>{L"Done.\n\nNot converted:\n" + bad + tk::Widen(kStopped)});
}

// A start of the tool that fails now and then is tried again: the batch
// goes on, and the program does not end. Starts fail twice for the second
// file and once for the third.
TEST_F(BatchTest, AStartThatFailsAFewTimesDoesNotEndTheBatch) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    std::vector<std::string> fatal;
    SetFatalEndForTesting([&](const std::string& message) { fatal.push_back(message); });
    std::atomic<int> starts{0};
    const std::vector<int> failing = {2, 3, 5};  // the starts that fail, counted from 1
    Converter->SetProcessStartForTesting(
        [&](std::string& line, DWORD flags, STARTUPINFOA& startup, PROCESS_INFORMATION& started) {
            const int start = ++starts;
            if (std::find(failing.begin(), failing.end(), start) != failing.end()) return false;
            return ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup,
                                    &started) != FALSE;
        });
    StartBatch({Source("a.mp4", Converts()), Source("b.mp4", Converts()), Source("c.mp4", Converts())});
    RunToEnd();
    SetFatalEndForTesting(nullptr);
    EXPECT_EQ(starts, 6);
    EXPECT_TRUE(fatal.empty());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done."});
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.AVI", "b.AVI", "c.AVI"}));
}

// A tool that still cannot be started ends the program, and the temporary
// file this batch reserved for it is gone first.
TEST_F(BatchTest, AToolThatCannotStartLeavesNoTemporaryFile) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    std::vector<std::string> fatal, leftAtTheEnd;
    SetFatalEndForTesting([&](const std::string& message) {
        fatal.push_back(message);
        leftAtTheEnd = OutputFiles();
    });
    Converter->SetProcessStartForTesting([](std::string&, DWORD, STARTUPINFOA&, PROCESS_INFORMATION&) { return false; });
    StartBatch({Source("a.mp4", Converts())});
    RunToEnd();
    SetFatalEndForTesting(nullptr);
    EXPECT_EQ(fatal, std::vector<std::string>{"CreateProcess error!"});
    EXPECT_EQ(leftAtTheEnd, std::vector<std::string>{});
}

// A name still "delete pending" (the last failed file's temporary file, held
// open by a scanner or Explorer): the file takes the next name, and the
// folder is not called unwritable. Windows answers "access denied" for such a
// name, Wine "exists": the batch meets the system's own answer, and then
// "access denied" from a reservation that gives it for that name.
TEST_F(BatchTest, ATemporaryNameStillDeletePendingIsPassedOver) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::string pending = out_ + "temp_2953.avi";
    WriteBytes(pending, "the last failed file's");
    tk::FileHandle scanner(::CreateFileA(pending.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(::DeleteFileA(pending.c_str()));
    std::vector<std::string> tried;
    auto runOne = [&](const char* name) {
        StartBatch({Source(name, Converts())});
        std::string reserved;
        EXPECT_TRUE(RunUntil([&] { return !(reserved = TempFile).empty() || !Converting; }, 10000));
        EXPECT_EQ(reserved, out_ + "[1]temp_2953.avi");
        RunToEnd();
    };
    runOne("a.mp4");
    SetReserveNameForTesting([&](const std::string& path) {
        tried.push_back(path);
        if (path == pending) return Reservation::Failed;  // "access denied"
        return tk::CreateNewFile(path) == tk::NewFile::Made ? Reservation::Reserved : Reservation::Taken;
    });
    runOne("b.mp4");
    SetReserveNameForTesting(nullptr);
    scanner.Reset();
    EXPECT_EQ(tried, (std::vector<std::string>{pending, out_ + "[1]temp_2953.avi"}));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Done.", "Done."}));
    EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"a.AVI", "b.AVI"}));
}

// A folder that takes new files but none of the temporary names is not
// called unwritable.
TEST_F(BatchTest, AFolderThatTakesFilesIsNotCalledUnwritable) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    // A folder path so near the length limit that no temporary name fits,
    // while a shorter name still does.
    std::string deep = out_;
    ASSERT_LT(deep.size(), 200u);
    deep.resize(247, 'd');
    ASSERT_TRUE(::CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
    deep += "\\";
    const std::string a = Source("a.mp4", Converts());
    StartBatch({a});
    OutputFolder = deep;
    RunToEnd(20000);
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{"Done.\n\nNot converted:\n" + a + " - the program could not hand it to the converter"});
}

// The size of a source that cannot be looked up (its folder may not be
// listed) is no reason to skip it: the tool is run. Only a size known to be
// 0 is "the file is empty".
TEST_F(BatchTest, ASizeThatCannotBeLookedUpLeavesItToTheTool) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::string listed = Source("unlisted.mp4", Converts());
    const std::string empty = in_ + "empty.mp4";
    WriteBytes(empty, "");
    SetSizeLookupForTesting([&](const std::string& path) -> std::optional<long long> {
        if (path == listed) return std::nullopt;
        return tk::LookUpSize(path);
    });
    StartBatch({listed, empty});
    RunToEnd();
    SetSizeLookupForTesting(nullptr);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done.\n\nNot converted:\n" + empty + " - the file is empty"});
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"unlisted.AVI"});
}

// A failure in the worker's own work on a file (here its size look-up) is
// shown as any failing step's is; the file counts as not handed over, and
// the worker goes on with the next one.
TEST_F(BatchTest, AFailureOfTheFileWorkIsShownAndTheBatchGoesOn) {
    MessageBoxAnswerer boxes("Quendrix Ombrelo 1.0");
    const std::string failing = Source("failing.mp4", Converts()), next = Source("next.mp4", Converts());
    SetSizeLookupForTesting([&](const std::string& path) -> std::optional<long long> {
        if (path == failing) throw tk::Error("The volume went away");
        return tk::LookUpSize(path);
    });
    StartBatch({failing, next});
    RunToEnd(20000);
    SetSizeLookupForTesting(nullptr);
    EXPECT_EQ(errors_.Errors(), std::vector<std::string>{"The volume went away."});
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Done.\n\nNot converted:\n" + failing +
                                                      " - the program could not hand it to the converter"});
    EXPECT_EQ(OutputFiles(), std::vector<std::string>{"next.AVI"});
}

TEST_F(BatchTest, AStepWithoutABatchDoesNothing) {
    // The worker's end of a job runs the batch step only while a batch runs.
    CurrentIndex = 0;
    SourceCount = 0;
    ::PostMessageA(Form2->Handle(), WM_APP + 20, 0, 0);
    FlushEvents(100);
    EXPECT_EQ(CurrentIndex, 0);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(Converting);
}

}  // namespace
