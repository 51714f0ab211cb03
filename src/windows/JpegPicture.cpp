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

// Each step that may end in a longjmp sets its own jump point and changes no
// local variable of its own that is read after the jump: the picture and the
// decoder live in the caller, which the jump never leaves.
bool Start(jpeg_decompress_struct& cinfo, ErrorJump& err, const QByteArray& data) {
    if (setjmp(err.back)) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    return true;
}

bool ReadRows(jpeg_decompress_struct& cinfo, ErrorJump& err, QImage& image) {
    if (setjmp(err.back)) return false;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

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
    QImage image;
    bool ok = Start(cinfo, err, data);
    if (ok) {
        image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                       QImage::Format_RGB888);
        // A picture too large to hold is refused, never written through a null row.
        if (image.isNull()) std::snprintf(err.message, sizeof err.message, "picture too large");
        ok = !image.isNull() && ReadRows(cinfo, err, image);
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        if (error) *error = QString::fromLocal8Bit(err.message);
        return {};
    }
    return image;
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
