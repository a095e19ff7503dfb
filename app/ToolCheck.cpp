#include "app/ToolCheck.h"

#include <cstring>
#include <sstream>

#include "toolkit/Files.h"
#include "toolkit/Handles.h"
#include "toolkit/Resources.h"

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

uint64_t RotateLeft(uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }

uint64_t Read64(const unsigned char* at) {
    uint64_t value;
    std::memcpy(&value, at, sizeof value);  // Windows runs little-endian
    return value;
}

uint32_t Read32(const unsigned char* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

uint64_t Round(uint64_t lane, uint64_t input) { return RotateLeft(lane + input * kPrime2, 31) * kPrime1; }

uint64_t Merge(uint64_t hash, uint64_t lane) { return (hash ^ Round(0, lane)) * kPrime1 + kPrime4; }

// The reading buffer: small, so that reading a whole tool costs no memory.
constexpr DWORD kReadBuffer = 64 * 1024;

}  // namespace

Xxh64::Xxh64() : lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1} {}  // seed 0

void Xxh64::Update(const void* data, size_t size) {
    auto in = static_cast<const unsigned char*>(data);
    total_ += size;
    if (pendingSize_ + size < sizeof pending_) {
        std::memcpy(pending_ + pendingSize_, in, size);
        pendingSize_ += size;
        return;
    }
    if (pendingSize_ > 0) {
        const size_t fill = sizeof pending_ - pendingSize_;
        std::memcpy(pending_ + pendingSize_, in, fill);
        for (int i = 0; i < 4; ++i) lanes_[i] = Round(lanes_[i], Read64(pending_ + 8 * i));
        in += fill;
        size -= fill;
        pendingSize_ = 0;
    }
    for (; size >= 32; in += 32, size -= 32)
        for (int i = 0; i < 4; ++i) lanes_[i] = Round(lanes_[i], Read64(in + 8 * i));
    std::memcpy(pending_, in, size);
    pendingSize_ = size;
}

uint64_t Xxh64::Digest() const {
    uint64_t hash;
    if (total_ >= 32) {
        hash = RotateLeft(lanes_[0], 1) + RotateLeft(lanes_[1], 7) + RotateLeft(lanes_[2], 12) +
               RotateLeft(lanes_[3], 18);
        for (uint64_t lane : lanes_) hash = Merge(hash, lane);
    } else {
        hash = kPrime5;  // seed 0
    }
    hash += total_;
    const unsigned char* at = pending_;
    size_t left = pendingSize_;
    for (; left >= 8; at += 8, left -= 8) hash = RotateLeft(hash ^ Round(0, Read64(at)), 27) * kPrime1 + kPrime4;
    if (left >= 4) {
        hash = RotateLeft(hash ^ (uint64_t{Read32(at)} * kPrime1), 23) * kPrime2 + kPrime3;
        at += 4;
        left -= 4;
    }
    for (; left > 0; ++at, --left) hash = RotateLeft(hash ^ (*at * kPrime5), 11) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    hash ^= hash >> 29;
    hash *= kPrime3;
    hash ^= hash >> 32;
    return hash;
}

std::vector<ReleaseTool> ParseReleaseTools(const std::string& text) {
    std::vector<ReleaseTool> tools;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        ReleaseTool tool;
        std::string digest;
        if (!(words >> tool.kind >> tool.fingerprint.size >> digest) || digest.size() != 16 ||
            digest.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            continue;
        tool.fingerprint.digest = std::stoull(digest, nullptr, 16);
        tools.push_back(tool);
    }
    return tools;
}

bool AcceptsTool(const std::vector<ReleaseTool>& release, const ToolFingerprint& found, bool windowsIs64Bit) {
    for (const ReleaseTool& tool : release)
        if (tool.fingerprint == found && (windowsIs64Bit || tool.kind != "x64")) return true;
    return false;
}

std::optional<uint64_t> DigestOfFile(const std::string& path) {
    tk::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    Xxh64 digest;
    std::vector<unsigned char> buffer(kReadBuffer);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), kReadBuffer, &read, nullptr)) return std::nullopt;
        if (read == 0) return digest.Digest();
        digest.Update(buffer.data(), read);
    }
}

bool IsReleaseTool(const std::string& path, const std::vector<ReleaseTool>& release, bool windowsIs64Bit) {
    const std::optional<long long> size = tk::LookUpSize(path);
    if (!size) return false;
    bool sizeFits = false;
    for (const ReleaseTool& tool : release)
        if (tool.fingerprint.size == static_cast<uint64_t>(*size)) sizeFits = true;
    if (!sizeFits) return false;
    const std::optional<uint64_t> digest = DigestOfFile(path);
    return digest && AcceptsTool(release, {static_cast<uint64_t>(*size), *digest}, windowsIs64Bit);
}

std::vector<ReleaseTool> CarriedReleaseTools(HMODULE module) {
    const auto data = tk::FindResourceData(module, "TOOLS", MAKEINTRESOURCEA(10));
    return data ? ParseReleaseTools(std::string(*data)) : std::vector<ReleaseTool>();
}

bool WindowsIs64Bit() {
#ifdef _WIN64
    return true;
#else
    // A 32-bit program on 64-bit Windows runs under WOW64.
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}
