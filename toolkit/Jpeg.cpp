// JPEG pictures through libjpeg.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Text.h"

extern "C" {
#include <jpeglib.h>
}

namespace tk {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

}  // namespace

Bitmap Bitmap::FromJpeg(std::string_view file) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnJpegError;
    // Nothing with a destructor lives between setjmp and the decode's end.
    Bitmap* result = new Bitmap();
    std::vector<unsigned char>* row = new std::vector<unsigned char>();
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        delete row;
        delete result;
        throw Error(Format("JPEG error: %s", errors.message));
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *result = Bitmap(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    row->resize(static_cast<size_t>(info.output_width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        unsigned char* line = row->data();
        jpeg_read_scanlines(&info, &line, 1);
        uint32_t* out = result->bits_ + static_cast<size_t>(y) * result->width_;
        for (int x = 0; x < static_cast<int>(info.output_width); ++x) {
            const unsigned char* p = line + x * 3;
            out[x] = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    delete row;
    Bitmap out = std::move(*result);
    delete result;
    return out;
}

}  // namespace tk
