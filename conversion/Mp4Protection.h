// Whether an MP4 source (MP4, M4V, MOV, 3GP: the ISO base media file format
// and QuickTime's) is copy-protected, told before the tool runs: the tool
// cannot decode encrypted samples, and the user is better told why.
//
// A file is a list of boxes, each a 32-bit big-endian size (its header
// included; 1: a 64-bit size follows the type; 0: the box runs to the end of
// its parent, or of the file), a four-letter type, then its content; some
// boxes hold boxes. The walk reads box headers only, and goes down one path:
// moov / trak / mdia / minf / stbl / stsd, the sample descriptions of each
// track (and the handler type in mdia / hdlr, which tells video from sound).
// Everything else, above all the media data (mdat, which may be gigabytes,
// and may come before moov), it seeks past.
//
// A track is protected when one of its sample descriptions is of a type that
// stands for encrypted samples (encv and enca: Common Encryption; drmi and
// drms: FairPlay), or holds a protection scheme box (sinf) among its boxes.
// A sample description's boxes follow its fixed fields: 78 bytes after its
// header for video; for sound 28, or for QuickTime's sound descriptions of
// version 1 and 2 (in a stsd of version 0) 44 and 64.
//
// The file is untrusted, so the walk is bounded: it goes no deeper than its
// path (eight boxes); every box must lie inside its parent, with a size no
// smaller than its header; it reads no more than 4096 box headers in all,
// and a stsd of more than 1024 descriptions (the tool refuses such a file
// too) is not followed; it reads into fixed buffers, never allocating a size
// taken from the file.
#pragma once

#include <cstdint>
#include <string>

#include "conversion/ByteReader.h"

enum class Mp4Protection {
    // Every track's sample descriptions were read, and none is protected.
    Plain,
    // A track's samples are encrypted.
    Protected,
    // A file the walk cannot follow: not an MP4, cut short, malformed, or
    // beyond the walk's bounds. Such a file is left to the tool.
    Unknown,
};

Mp4Protection Mp4ProtectionOf(uint64_t fileSize, const ByteReader& read);

// The same for a file on disk (MediaFiles.cpp): Unknown when it cannot be
// opened.
Mp4Protection Mp4ProtectionOfFile(const std::wstring& path);
