// Protected MP4 sources against plain ones, and files made up to lead the
// walk astray: each ends with its answer after a handful of reads, all of
// them inside the file. (MediaFilesTest.cpp has the same check on files on
// disk.)
#include <gtest/gtest.h>

#include <string>

#include "conversion/Mp4Protection.h"
#include "tests/conversion/AviBytes.h"
#include "tests/conversion/FakeFile.h"
#include "tests/conversion/Mp4Bytes.h"

static void PrintTo(Mp4Protection protection, std::ostream* out) {
    *out << (protection == Mp4Protection::Plain       ? "Plain"
             : protection == Mp4Protection::Protected ? "Protected"
                                                      : "Unknown");
}

namespace {

using namespace mp4_bytes;
using fake_file::FakeFile;
constexpr Mp4Protection kPlain = Mp4Protection::Plain, kProtected = Mp4Protection::Protected,
                        kUnknown = Mp4Protection::Unknown;

// Walks the file; every read must lie inside it and be one it can serve.
Mp4Protection Walked(FakeFile& file, int mostReads) {
    const Mp4Protection protection = Mp4ProtectionOf(file.Size(), file.Reader());
    EXPECT_EQ(file.PastTheEnd(), 0) << "reads past the end";
    EXPECT_EQ(file.Unserved(), 0) << "reads of what is no box header";
    EXPECT_LE(file.Reads(), mostReads);
    EXPECT_LE(file.BytesAsked(), 16u * file.Reads()) << "reads of more than headers";
    return protection;
}

struct Case {
    const char* what;
    std::string bytes;
    Mp4Protection protection;
};

void ExpectEach(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeFile file(c.bytes);
        EXPECT_EQ(Walked(file, 60), c.protection);
    }
}

TEST(Mp4ProtectionTest, AnEncryptedTrackMakesTheFileProtected) {
    const std::string plainVideo = VideoTrack(VideoEntry("avc1")), plainSound = SoundTrack(SoundEntry("mp4a"));
    const auto file = [](const std::string& tracks) { return FileType() + Box("mdat", "media") + Movie(tracks); };
    ExpectEach({
        {"H.264 and AAC", Plain(), kPlain},
        {"H.264 and AAC, the movie before the media", Plain(true), kPlain},
        {"video alone", file(plainVideo), kPlain},
        {"encrypted video (Common Encryption)", Protected(), kProtected},
        {"encrypted sound", file(plainVideo + SoundTrack(SoundEntry("enca", ProtectionScheme("mp4a")))), kProtected},
        {"FairPlay video", file(VideoTrack(VideoEntry("drmi", ProtectionScheme("avc1"))) + plainSound), kProtected},
        {"FairPlay sound", file(plainVideo + SoundTrack(SoundEntry("drms", ProtectionScheme("mp4a")))), kProtected},
        {"an avc1 description holding a protection scheme",
         file(VideoTrack(VideoEntry("avc1", ProtectionScheme("avc1"))) + plainSound), kProtected},
        {"an mp4a description holding a protection scheme",
         file(plainVideo + SoundTrack(SoundEntry("mp4a", ProtectionScheme("mp4a")))), kProtected},
        {"the track's second description encrypted",
         file(Track("vide", SampleDescriptions({VideoEntry("avc1"), VideoEntry("encv", ProtectionScheme("avc1"))}))),
         kProtected},
        {"the handler after the media information",
         file(Box("trak", Box("mdia", Box("minf", Box("stbl", SampleDescriptions(
                                                                  {VideoEntry("avc1", ProtectionScheme("avc1"))}))) +
                                          Handler("vide")))),
         kProtected},
        {"a track the walk cannot follow, then an encrypted one",
         file(Box("trak", Box("mdia", Handler("vide"))) + VideoTrack(VideoEntry("encv", ProtectionScheme("avc1")))),
         kProtected},
        {"a video description ending with QuickTime's 32-bit zero", file(VideoTrack(VideoEntry("avc1", Be32(0)))),
         kPlain},
        {"a track of neither video nor sound, whose description is not read past its type",
         file(plainVideo + Track("text", SampleDescriptions({Box("tx3g", std::string(8, '\0') + Be32(0x7FFFFFFF))}))),
         kPlain},
    });
}

// A sound description's boxes come after fields whose length its version
// and the stsd's give: QuickTime's versions 1 and 2 carry more fields than
// the ISO one, whose version 1 does not.
TEST(Mp4ProtectionTest, TheBoxesOfASoundDescriptionFollowFieldsOfItsVersion) {
    const auto sound = [](uint16_t version, const std::string& boxes, uint8_t stsdVersion = 0) {
        return FileType() +
               Movie(Track("soun", SampleDescriptions({SoundEntry("mp4a", boxes, version)}, -1, stsdVersion)));
    };
    const std::string scheme = ProtectionScheme("mp4a");
    ExpectEach({
        {"version 0", sound(0, scheme), kProtected},
        {"QuickTime's version 1", sound(1, scheme), kProtected},
        {"QuickTime's version 2", sound(2, scheme), kProtected},
        {"QuickTime's version 1, plain", sound(1, ""), kPlain},
        {"QuickTime's version 2, plain", sound(2, ""), kPlain},
        {"the ISO version 1 (in a stsd of version 1)",
         FileType() +
             Movie(Track("soun", SampleDescriptions(
                                     {Box("mp4a", EntryFields() + Be16(1) + std::string(18, '\0') + scheme)}, -1, 1))),
         kProtected},
    });
}

// Box sizes as the format allows them, and as a damaged or hostile file
// gives them.
TEST(Mp4ProtectionTest, EveryBoxLiesInsideItsParent) {
    const std::string movie = Movie(VideoTrack(VideoEntry("encv", ProtectionScheme("avc1"))));
    const std::string movieContent = movie.substr(8);
    const std::string data = Box("mdat", "media");
    ExpectEach({
        {"the movie of size 0: to the end of the file", FileType() + data + Box("moov", movieContent, 0), kProtected},
        {"the movie's size in 64 bits", FileType() + data + LargeBox("moov", movieContent), kProtected},
        {"the media of size 0 before the movie: no movie", FileType() + Box("mdat", "media", 0) + movie, kUnknown},
        {"a track of size 0: to the end of the movie",
         FileType() + Box("moov", Box("trak", VideoTrack(VideoEntry("encv")).substr(8), 0)), kProtected},
        {"the movie past the end of the file", FileType() + data + Box("moov", movieContent, movie.size() + 1),
         kUnknown},
        {"a track past the end of the movie",
         FileType() + Movie(Box("trak", VideoTrack(VideoEntry("encv")).substr(8), 1000)) +
             Box("free", std::string(2000, 0)),
         kUnknown},
        {"a description past the end of its stsd",
         FileType() + Movie(Track("vide", FullBox("stsd", 0, Be32(1) + Box("encv", "", 500)))), kUnknown},
        {"a size smaller than a header", FileType() + Box("mdat", "", 4) + movie, kUnknown},
        {"a size smaller than a header, a movie where its type would be", FileType() + Be32(4) + movie, kUnknown},
        {"a 64-bit size smaller than its header", FileType() + LargeBox("mdat", "", 12) + movie, kUnknown},
        {"a 64-bit size past the end", FileType() + LargeBox("mdat", "", 1ull << 40) + movie, kUnknown},
        {"a 64-bit size at the top of the range", FileType() + LargeBox("mdat", "", 0xFFFFFFFFFFFFFFF0) + movie,
         kUnknown},
        {"a 64-bit size with no room for it in its parent",
         FileType() + Box("moov", Be32(1) + "trak") + Box("free", std::string(16, '\0')) + movie, kUnknown},
        {"cut short in the movie", (FileType() + data + movie).substr(0, 200), kUnknown},
        {"no movie", FileType() + data, kUnknown},
        {"a movie of no track", FileType() + Box("moov", FullBox("mvhd", 0, std::string(96, '\0'))), kUnknown},
        {"a track of no sample descriptions", FileType() + Movie(Box("trak", Box("mdia", Handler("vide")))), kUnknown},
        {"a stsd of no entry", FileType() + Movie(Track("vide", SampleDescriptions({}))), kUnknown},
        {"a stsd of fewer entries than it counts",
         FileType() + Movie(Track("vide", SampleDescriptions({VideoEntry("avc1")}, 2))), kUnknown},
        {"a video description shorter than its fields",
         FileType() + Movie(Track("vide", SampleDescriptions({Box("avc1", std::string(40, 0))}))), kUnknown},
        {"an AVI", avi_bytes::Whole(), kUnknown},
        {"text", "Quendrix Ombrelo: not a video at all", kUnknown},
        {"empty", "", kUnknown},
    });
}

// The walk goes down its path alone, whatever the file nests: boxes 100 deep
// cost it a few reads.
TEST(Mp4ProtectionTest, BoxesNestedDeepAreNotFollowed) {
    const auto nested = [](const std::string& type, const std::string& inside) {
        std::string box = inside;
        for (int i = 0; i < 100; ++i) box = Box(type, box);
        return box;
    };
    const std::string encrypted = VideoEntry("encv", ProtectionScheme("avc1"));
    ExpectEach({
        {"movies in a movie", FileType() + nested("moov", VideoTrack(encrypted)), kUnknown},
        {"tracks in a track", FileType() + Movie(nested("trak", VideoTrack(encrypted))), kUnknown},
        {"media in media", FileType() + Movie(Box("trak", nested("mdia", Handler("vide")))), kUnknown},
        {"protection schemes in a description",
         FileType() + Movie(VideoTrack(VideoEntry("avc1", nested("free", ProtectionScheme("avc1"))))), kPlain},
    });
}

// A file of gigabytes, its movie after its media: the walk reads the media's
// header and seeks past it. The file holds only its headers; every read
// of anything else fails the test.
TEST(Mp4ProtectionTest, TheMovieAfterGigabytesOfMediaIsReachedFromTheHeaders) {
    const uint64_t media = 2ull << 30;
    for (const auto& [movie, protection] :
         {std::pair{Movie(VideoTrack(VideoEntry("avc1")) + SoundTrack(SoundEntry("mp4a"))), kPlain},
          std::pair{Movie(VideoTrack(VideoEntry("encv", ProtectionScheme("avc1")))), kProtected}}) {
        const std::string type = FileType();
        const uint64_t moov = type.size() + media;
        FakeFile file(moov + movie.size(), {{0, type + LargeBox("mdat", "", media).substr(0, 16)}, {moov, movie}});
        EXPECT_EQ(Walked(file, 60), protection);
    }
}

// Counts taken from the file are followed only up to the walk's bounds: a
// stsd that counts a million descriptions, or thousands of boxes before the
// movie, end the walk without reading them all.
TEST(Mp4ProtectionTest, TheWalkStopsAtItsBounds) {
    struct Bounded {
        const char* what;
        FakeFile file;
        Mp4Protection protection;
        int mostReads;
    };
    const std::string plain = VideoEntry("avc1");
    std::string many;
    for (int i = 0; i < 1024; ++i) many += plain;
    // A stsd claiming a million descriptions, as large as they would be: its
    // first one present, the rest never stored.
    const std::string head = FileType() + Movie(Track("vide", FullBox("stsd", 0, Be32(1000000) + plain)));
    const uint64_t grown = 1000000ull * plain.size();
    std::string sized = head;
    for (const char* type : {"moov", "trak", "mdia", "minf", "stbl", "stsd"}) {
        const size_t at = sized.find(type) - 4;
        const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(sized[at + i])); };
        sized.replace(at, 4,
                      Be32(static_cast<uint32_t>((byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3)) + grown)));
    }
    std::string freeBoxes;
    for (int i = 0; i < 5000; ++i) freeBoxes += Box("free", "");
    Bounded cases[] = {
        {"a stsd of a million descriptions", FakeFile(sized.size() + grown, {{0, sized}}), kUnknown, 30},
        {"a stsd of 1024 descriptions, as many as the tool reads",
         FakeFile(FileType() + Movie(Track("vide", SampleDescriptions({many}, 1024)))), kPlain, 30 + 2 * 1024},
        {"a stsd of 1025 descriptions",
         FakeFile(FileType() + Movie(Track("vide", SampleDescriptions({many + plain}, 1025)))), kUnknown, 30},
        {"5000 boxes before the movie", FakeFile(FileType() + freeBoxes + Movie(VideoTrack(VideoEntry("avc1")))),
         kUnknown, 4200},
    };
    for (Bounded& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Walked(c.file, c.mostReads), c.protection);
    }
}

}  // namespace
