// The seam through which the checks of media files read them. The files are
// untrusted: a check reads only what its bounds allow, so a test can hand it
// a byte image, or a made-up file of any size of which it serves only the
// few parts the check should ask for, and the program a file on disk.
#pragma once

#include <cstdint>
#include <functional>

// Reads `count` bytes at `offset` into `into`; false when it cannot.
using ByteReader = std::function<bool(uint64_t offset, void* into, uint32_t count)>;
