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
//   every part that index names is a standard index ("ix##") inside the
//   file.
//
// A whole file may still hold nothing: the tool finishes cleanly, with an
// empty movi list and an empty index, on a source that has no frame (an MP4
// initialisation segment, a clip cut before its first frame). So the check
// also counts the frames the file's index names: the video and audio chunks
// ("##dc", "##db", "##wb"), each entry whatever its size (an empty chunk is a
// frame the tool repeats to keep the rate; it writes one only after a frame
// with data). A file of one RIFF is counted in its idx1; a file with OpenDML
// indexes in the standard indexes their super indexes name (each counts the
// entries in use its header gives), and its idx1, which covers the first
// RIFF alone, is not read. (A file of several RIFFs without OpenDML indexes,
// which the tool does not write, counts the idx1 of its first RIFF.)
//
// The file is untrusted: every size and offset is checked against the file
// without wrapping around, and no count taken from it is followed past what
// the tool itself writes (100 streams, 256 entries in a super index).
#pragma once

#include <cstdint>
#include <string>

#include "conversion/ByteReader.h"

using AviByteReader = ByteReader;

struct AviCheck {
    bool whole = false;
    // The video and audio chunks the index names; 0 for a file not whole.
    uint64_t frames = 0;
};

AviCheck CheckAvi(uint64_t fileSize, const AviByteReader& read);
bool IsWholeAvi(uint64_t fileSize, const AviByteReader& read);

// The same for a file on disk (MediaFiles.cpp): not whole when it cannot be
// opened.
AviCheck CheckAviFile(const std::wstring& path);
bool IsWholeAviFile(const std::wstring& path);
