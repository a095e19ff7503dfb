// A made-up file for the checks of media files (conversion/ByteReader.h):
// its size, and the parts of it that hold bytes. A byte image is one part at
// offset 0; a file of gigabytes is its few headers at their offsets, and
// nothing is allocated for the rest. It serves a read that lies inside one
// part, and counts every read, the bytes asked for, and the reads it could
// not serve: past the file's end, or where it holds no bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "conversion/ByteReader.h"

namespace fake_file {

class FakeFile {
public:
    struct Part {
        uint64_t offset;
        std::string bytes;
    };

    explicit FakeFile(std::string image) : size_(image.size()) { parts_.push_back({0, std::move(image)}); }
    FakeFile(uint64_t size, std::vector<Part> parts) : size_(size), parts_(std::move(parts)) {}

    uint64_t Size() const { return size_; }
    ByteReader Reader() {
        return [this](uint64_t offset, void* into, uint32_t count) { return Read(offset, into, count); };
    }

    int Reads() const { return reads_; }
    uint64_t BytesAsked() const { return bytesAsked_; }
    int PastTheEnd() const { return pastTheEnd_; }
    int Unserved() const { return unserved_; }

private:
    bool Read(uint64_t offset, void* into, uint32_t count) {
        ++reads_;
        bytesAsked_ += count;
        if (offset > size_ || size_ - offset < count) {
            ++pastTheEnd_;
            return false;
        }
        for (const Part& part : parts_) {
            if (offset >= part.offset && offset - part.offset <= part.bytes.size() &&
                part.bytes.size() - (offset - part.offset) >= count) {
                std::memcpy(into, part.bytes.data() + (offset - part.offset), count);
                return true;
            }
        }
        ++unserved_;
        return false;
    }

    uint64_t size_;
    std::vector<Part> parts_;
    int reads_ = 0;
    uint64_t bytesAsked_ = 0;
    int pastTheEnd_ = 0;
    int unserved_ = 0;
};

}  // namespace fake_file
