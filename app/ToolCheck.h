// Whether the converter in the tool folder is one this release carries.
//
// A machine that once ran another build keeps that build's "nnn.exe", and a
// file there may be cut short, empty or foreign: each start compares the
// installed tool with the fingerprints of this release's converters, made at
// build time, and installs the carried one over any other. The installed file
// is read with a small buffer and the carried copy is not touched, so that
// its pages never join the program's working set.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// XXH64 (seed 0), fed in pieces of any size: fast enough to read a tool of
// 20 MB at start-up, and the same digest Python's xxhash module computes at
// build time.
class Xxh64 {
public:
    Xxh64();
    void Update(const void* data, size_t size);
    uint64_t Digest() const;

private:
    uint64_t lanes_[4];
    unsigned char pending_[32] = {};
    size_t pendingSize_ = 0;
    uint64_t total_ = 0;
};

// A converter as the program knows it: its size and its digest.
struct ToolFingerprint {
    uint64_t size = 0;
    uint64_t digest = 0;
    bool operator==(const ToolFingerprint& other) const { return size == other.size && digest == other.digest; }
};

// One converter of this release: "x64" or "x86", and its fingerprint.
struct ReleaseTool {
    std::string kind;
    ToolFingerprint fingerprint;
};

// The release's converters from their list, one a line:
// "<kind> <size> <digest in 16 hex digits>". Lines that do not read so are
// left out.
std::vector<ReleaseTool> ParseReleaseTools(const std::string& text);

// Whether a tool with this fingerprint serves: any converter of the release
// that runs here. A 64-bit one runs only on 64-bit Windows.
bool AcceptsTool(const std::vector<ReleaseTool>& release, const ToolFingerprint& found, bool windowsIs64Bit);

// The digest of a file, read front to back with a small buffer; nothing
// when it cannot be read whole.
std::optional<uint64_t> DigestOfFile(const std::string& path);

// Whether the file at `path` is a converter of the release that runs on
// this Windows. A file of a size no such converter has is not read.
bool IsReleaseTool(const std::string& path, const std::vector<ReleaseTool>& release, bool windowsIs64Bit);

// The release's converters as the module carries their list (resource
// "TOOLS", RT_RCDATA); empty when it carries none.
std::vector<ReleaseTool> CarriedReleaseTools(HMODULE module);

// Whether this Windows is 64-bit, for a program of either kind.
bool WindowsIs64Bit();
