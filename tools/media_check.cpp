// The checks of media files (conversion/AviFile.h, conversion/Mp4Protection.h)
// run natively on files on disk, read with pread, for the shell test of real
// files made by the native ffmpeg and for the benchmark of the MP4 walk:
//   media_check avi FILE...       "whole FRAMES" or "not whole", a line a file
//   media_check mp4 FILE...       "Plain", "Protected" or "Unknown", a line a file
//   media_check bench FILE WALKS  the MP4 walk of FILE, WALKS times, each with
//                                 the file opened and closed as the program
//                                 does: its answer, its reads, the time of one
// Built with the native g++ (tests/conversion/media_fixtures_test.sh,
// tools/bench_mp4_walk.sh).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "conversion/AviFile.h"
#include "conversion/Mp4Protection.h"

namespace {

// A file opened for reading, read at any offset.
class PosixFile {
public:
    explicit PosixFile(const char* path) : fd_(::open(path, O_RDONLY)) {
        struct stat status {};
        if (fd_ >= 0 && ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode))
            size_ = static_cast<uint64_t>(status.st_size);
    }
    ~PosixFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Open() const { return fd_ >= 0 && size_ > 0; }
    uint64_t Size() const { return size_; }
    int Reads() const { return reads_; }
    ByteReader Reader() {
        return [this](uint64_t offset, void* into, uint32_t count) {
            ++reads_;
            return ::pread(fd_, into, count, static_cast<off_t>(offset)) == static_cast<ssize_t>(count);
        };
    }

private:
    int fd_;
    uint64_t size_ = 0;
    int reads_ = 0;
};

const char* Name(Mp4Protection protection) {
    switch (protection) {
    case Mp4Protection::Plain: return "Plain";
    case Mp4Protection::Protected: return "Protected";
    case Mp4Protection::Unknown: break;
    }
    return "Unknown";
}

Mp4Protection Walk(const char* path, int* reads) {
    PosixFile file(path);
    const Mp4Protection protection = file.Open() ? Mp4ProtectionOf(file.Size(), file.Reader()) : Mp4Protection::Unknown;
    if (reads) *reads = file.Reads();
    return protection;
}

int Bench(const char* path, int walks) {
    int reads = 0;
    const Mp4Protection protection = Walk(path, &reads);  // the first walk, the file's headers read from the disk
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < walks; ++i) Walk(path, nullptr);
    const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("%s: %s, %d reads, %.1f us a walk (%d walks)\n", path, Name(protection), reads, spent.count() / walks,
                walks);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "bench" && argc == 4) return Bench(argv[2], std::atoi(argv[3]));
    if ((mode != "avi" && mode != "mp4") || argc < 3) {
        std::fprintf(stderr, "usage: media_check avi|mp4 FILE... | media_check bench FILE WALKS\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (mode == "mp4") {
            std::printf("%s\n", Name(Walk(argv[i], nullptr)));
            continue;
        }
        PosixFile file(argv[i]);
        const AviCheck check = file.Open() ? CheckAvi(file.Size(), file.Reader()) : AviCheck{};
        if (check.whole) {
            std::printf("whole %llu\n", static_cast<unsigned long long>(check.frames));
        } else {
            std::printf("not whole\n");
        }
    }
    return 0;
}
