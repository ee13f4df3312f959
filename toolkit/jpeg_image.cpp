#include "toolkit/jpeg_image.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include "toolkit/exception.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr) {}  // warnings about recoverable damage stay quiet

// Decodes into `image`; kept free of C++ objects with destructors because
// libjpeg reports errors by jumping out of it.
int decodeInto(const QByteArray& data, QImage& image) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump)) {
        const int code = errors.base.msg_code;
        jpeg_destroy_decompress(&info);
        return code == 0 ? -1 : code;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return -2;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return 0;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
    QImage image;
    const int code = decodeInto(data, image);
    if (code == -2) throw EOutOfMemory();
    if (code != 0) throw Exception(QStringLiteral("JPEG error #%1").arg(code));
    return image;
}
