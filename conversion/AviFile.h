// Whether an AVI file is whole: written to its end by a tool that finished.
//
// The tool writes its AVI front to back with the chunk sizes left open
// (0xFFFFFFFF) and its index missing; only when it ends cleanly does it write
// the index and go back to fill in the sizes. A tool stopped halfway (killed,
// crashed) leaves a file that looks like video but whose sizes do not add
// up, whatever exit code the system then reports. So a file is whole when:
// - it is one or more RIFF chunks that follow each other exactly to the end of
//   the file, the first of form "AVI ", the others "AVIX" (files over 1 GB
//   carry these extended chunks);
// - inside each RIFF, the chunks follow each other exactly to its end, and
//   each RIFF holds its "movi" list; the first holds the "hdrl" header list;
// - a file of one RIFF holds the "idx1" index. (A file of several carries its
//   indexes inside the movi lists instead, written as each RIFF is closed,
//   the last one at the tool's clean end together with the last sizes.)
// - a file whose stream headers carry an OpenDML index ("indx", written when
//   the first RIFF is closed) holds the "LIST odml" header, which the tool
//   writes only at its clean end: a tool stopped right after it closed a
//   RIFF leaves a file whose every chunk adds up, but it is not whole; and
//   every part that index names lies inside the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Reads `count` bytes at `offset` into `into`; false when it cannot.
using AviByteReader = std::function<bool(uint64_t offset, void* into, uint32_t count)>;

bool IsWholeAvi(uint64_t fileSize, const AviByteReader& read);

// The same for a file on disk; false when it cannot be opened.
bool IsWholeAviFile(const std::wstring& path);
