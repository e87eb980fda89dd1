// Decodes JPEG bytes with libjpeg, giving up on damaged ones, and loads the wizard's embedded picture.

#include "wizard/JpegPicture.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace quillbank {

namespace {

/// libjpeg reports fatal errors through a callback that must not return:
/// it jumps back to the decoder, which gives up on the picture.
struct TJpegError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes)
{
    jpeg_decompress_struct decoder{};
    TJpegError error{};
    decoder.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.output_message = IgnoreJpegMessage;
    // Everything the jump may skip past lives outside this frame's locals
    // that change after setjmp, so nothing is left half made.
    QImage* image = new QImage();
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&decoder);
        delete image;
        return QImage();
    }
    jpeg_create_decompress(&decoder);
    jpeg_mem_src(&decoder, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&decoder, TRUE);
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    *image = QImage(static_cast<int>(decoder.output_width), static_cast<int>(decoder.output_height),
                    QImage::Format_RGB888);
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(decoder.output_scanline));
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    jpeg_destroy_decompress(&decoder);
    QImage result = std::move(*image);
    delete image;
    return result;
}

QImage WizardPicture()
{
    QFile file(QStringLiteral(":/quillbank/wizard@2x.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    // Drawn at twice the strip's size: sharp on a screen scaled to 200%,
    // scaled down smoothly at 100%.
    QImage picture = DecodeJpeg(file.readAll());
    picture.setDevicePixelRatio(2.0);
    return picture;
}

} // namespace quillbank
