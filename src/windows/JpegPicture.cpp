#include "windows/JpegPicture.h"

#include <csetjmp>
#include <cstdio>

#include <QFile>

#include <jpeglib.h>

namespace mrk::gui {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// jump back to the decoder with the library's message.
struct ErrorJump {
    jpeg_error_mgr mgr;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorJump*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->back, 1);
}

void QuietWarnings(j_common_ptr, int) {}

} // namespace

QImage DecodeJpeg(const QByteArray& data, QString* error) {
    if (data.isEmpty()) {
        if (error) *error = QStringLiteral("no data");
        return {};
    }
    jpeg_decompress_struct cinfo{};
    ErrorJump err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = ErrorExit;
    err.mgr.emit_message = QuietWarnings;
    // Nothing with a destructor lives between setjmp and a possible longjmp.
    QImage* image = nullptr;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        delete image;
        if (error) *error = QString::fromLocal8Bit(err.message);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    image = new QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                       QImage::Format_RGB888);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    QImage result = *image;
    delete image;
    return result;
}

QImage LoadJpeg(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return {};
    }
    return DecodeJpeg(f.readAll(), error);
}

} // namespace mrk::gui
