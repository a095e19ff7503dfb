// JPEG pictures through libjpeg.
//
// libjpeg reports errors by calling back, and the call-back leaves with
// longjmp. A longjmp must not jump over an object with a destructor, so every
// libjpeg call is made from one of the small Step functions below: each sets
// its own jump point and holds nothing but plain data. The decoder and the
// buffers live in FromJpeg, which never jumps; their owners free them however
// the decoding ends.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Text.h"

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace tk {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings that mean the picture's data is damaged (cut short, bytes
// missing or wrong) are errors for us: a damaged picture is refused, not
// shown half grey. Other warnings and the trace messages are not shown.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        OnJpegError(info);
    default:
        break;
    }
}

// The decompressor and its error manager. Destroying a decompressor that was
// never created, or only partly, is harmless: it starts zeroed.
struct Decoder {
    jpeg_decompress_struct info{};
    ErrorManager errors{};

    Decoder() {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = OnJpegError;
        errors.base.emit_message = OnJpegMessage;
    }
    ~Decoder() { jpeg_destroy_decompress(&info); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// The steps. Each returns false when libjpeg reported an error (its text is
// in the decoder's error manager).
bool StepStart(Decoder& d, const unsigned char* data, unsigned long size) {
    if (setjmp(d.errors.jump)) return false;
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, data, size);
    jpeg_read_header(&d.info, TRUE);
    d.info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.info);
    return true;
}

bool StepReadRow(Decoder& d, unsigned char* row) {
    if (setjmp(d.errors.jump)) return false;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&d.info, rows, 1);
    return true;
}

bool StepFinish(Decoder& d) {
    if (setjmp(d.errors.jump)) return false;
    jpeg_finish_decompress(&d.info);
    return true;
}

[[noreturn]] void Fail(const Decoder& d) { throw Error(Format("JPEG error: %s", d.errors.message)); }

}  // namespace

Bitmap Bitmap::FromJpeg(std::string_view file) {
    Decoder decoder;
    if (!StepStart(decoder, reinterpret_cast<const unsigned char*>(file.data()),
                   static_cast<unsigned long>(file.size())))
        Fail(decoder);
    const jpeg_decompress_struct& info = decoder.info;
    if (info.output_components != 3) throw Error("JPEG error: unexpected colour components");
    Bitmap result(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    std::vector<unsigned char> row(static_cast<size_t>(info.output_width) * 3);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        if (!StepReadRow(decoder, row.data())) Fail(decoder);
        uint32_t* out = result.bits_ + static_cast<size_t>(y) * result.width_;
        for (int x = 0; x < static_cast<int>(info.output_width); ++x) {
            const unsigned char* p = row.data() + x * 3;
            out[x] = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    if (!StepFinish(decoder)) Fail(decoder);
    return result;
}

}  // namespace tk
