// Draws the program's own pictures and writes them into a folder (by default the
// current one): the notice window's picture notice.jpg (a programmer connected
// to a module), the main window's decorations image2.png and image3.png, and the
// program icon mrkprog-gui.png. Run by hand when a picture changes; the results
// are committed in src/windows/pictures/.
#include <cstdio>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <jpeglib.h>

namespace {

const QColor kBoard(28, 110, 52);
const QColor kBoardEdge(16, 70, 32);
const QColor kChip(30, 30, 34);
const QColor kPin(200, 200, 190);
const QColor kCase(70, 78, 92);

QFont Font(int px, bool bold = true) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// A DIP package seen from above, pins along the long sides.
void DrawDip(QPainter& p, const QRectF& body, int pinsPerSide, const QString& label, int fontPx) {
    p.setPen(Qt::NoPen);
    p.setBrush(kPin);
    const qreal step = body.width() / pinsPerSide;
    for (int i = 0; i < pinsPerSide; ++i) {
        const qreal x = body.left() + step * (i + 0.25);
        p.drawRect(QRectF(x, body.top() - 4, step * 0.5, 4));
        p.drawRect(QRectF(x, body.bottom(), step * 0.5, 4));
    }
    p.setBrush(kChip);
    p.drawRoundedRect(body, 2, 2);
    p.setBrush(QColor(60, 60, 66));
    p.drawEllipse(QPointF(body.left() + 6, body.center().y()), 3, 3);
    p.setPen(QColor(225, 225, 225));
    p.setFont(Font(fontPx));
    p.drawText(body, Qt::AlignCenter, label);
}

// The module: a green board with the controller, a quartz, the programming header.
void DrawModule(QPainter& p, const QRectF& board, const QString& chipLabel) {
    p.setPen(QPen(kBoardEdge, 2));
    p.setBrush(kBoard);
    p.drawRoundedRect(board, 6, 6);
    p.setPen(QPen(QColor(190, 160, 60), 1.2));
    for (int i = 1; i < 6; ++i) {
        const qreal y = board.top() + board.height() * i / 6.0;
        p.drawLine(QPointF(board.left() + 8, y), QPointF(board.left() + board.width() * 0.25, y));
    }
    const QRectF chip(board.left() + board.width() * 0.3, board.top() + board.height() * 0.38,
                      board.width() * 0.6, board.height() * 0.24);
    DrawDip(p, chip, 20, chipLabel, qMax(7, int(chip.height() * 0.32)));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(QColor(210, 210, 215));
    p.drawRoundedRect(QRectF(chip.left(), board.top() + board.height() * 0.12, board.width() * 0.16,
                             board.height() * 0.1),
                      4, 4);
    p.setPen(Qt::white);
    p.setFont(Font(qMax(9, int(board.height() * 0.11))));
    p.drawText(QRectF(board.left(), board.bottom() - board.height() * 0.3, board.width() - 8,
                      board.height() * 0.28),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("МРК"));
}

QImage NoticePicture() {
    QImage img(305, 265, QImage::Format_RGB32);
    img.fill(QColor(236, 240, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    // The module, lower right.
    const QRectF board(130, 128, 165, 122);
    DrawModule(p, board, QStringLiteral("PIC18F4620"));
    // Its programming header: three pins MCLR, PGC, PGD.
    const QRectF header(board.left() + 8, board.top() + 12, 16, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawRect(header);

    // The programmer, upper left.
    const QRectF box(12, 20, 128, 70);
    p.setPen(QPen(QColor(40, 44, 52), 2));
    p.setBrush(kCase);
    p.drawRoundedRect(box, 8, 8);
    p.setPen(Qt::white);
    p.setFont(Font(15));
    p.drawText(box.adjusted(0, 6, 0, -30), Qt::AlignCenter, QStringLiteral("Kordel"));
    p.setFont(Font(11, false));
    p.drawText(box.adjusted(0, 36, 0, -6), Qt::AlignCenter, QStringLiteral("программатор"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 90));
    p.drawEllipse(QPointF(box.right() - 12, box.top() + 12), 4, 4);

    // The cable to the PC, off to the left.
    p.setPen(QPen(QColor(40, 40, 40), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(box.left() + 30, box.bottom()), QPointF(box.left() + 30, 250));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 155, 165));
    p.drawRoundedRect(QRectF(box.left() + 14, 222, 32, 26), 3, 3);
    p.setPen(QColor(40, 40, 40));
    p.setFont(Font(10));
    p.drawText(QRectF(box.left() + 52, 222, 70, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("к ПК"));

    // Three wires from the programmer to the module's header.
    const QColor wires[3] = {QColor(210, 40, 40), QColor(240, 200, 30), QColor(40, 90, 220)};
    const char* names[3] = {"MCLR", "PGC", "PGD"};
    for (int i = 0; i < 3; ++i) {
        const QPointF from(box.right() - 30 + 10 * i, box.bottom());
        const QPointF to(header.center().x(), header.top() + 7 + 13 * i);
        QPainterPath path(from);
        path.cubicTo(QPointF(from.x(), from.y() + 50), QPointF(to.x() - 60, to.y()), to);
        p.setPen(QPen(wires[i], 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setPen(QColor(30, 30, 30));
        p.setFont(Font(9));
        p.drawText(QPointF(box.right() + 14, box.bottom() + 14 + 12 * i), QString::fromLatin1(names[i]));
    }
    return img;
}

QImage MainDecoration() {
    QImage img(225, 241, QImage::Format_RGB32);
    img.fill(QColor(236, 240, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawModule(p, QRectF(10, 40, 205, 150), QStringLiteral("PIC18F452"));
    p.setPen(QColor(40, 60, 100));
    p.setFont(Font(13));
    p.drawText(QRectF(0, 6, 225, 28), Qt::AlignCenter, QStringLiteral("Модуль МРК"));
    p.setFont(Font(11, false));
    p.drawText(QRectF(0, 196, 225, 40), Qt::AlignCenter, QStringLiteral("PIC18F452 / PIC18F4620"));
    return img;
}

QImage SmallChip(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = size * 0.18;
    DrawDip(p, QRectF(m, size * 0.3, size - 2 * m, size * 0.4), 6, QString(), 1);
    p.setPen(QPen(QColor(60, 200, 90), size * 0.07, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(size * 0.5, size * 0.04), QPointF(size * 0.5, size * 0.24));
    p.drawLine(QPointF(size * 0.4, size * 0.14), QPointF(size * 0.5, size * 0.24));
    p.drawLine(QPointF(size * 0.6, size * 0.14), QPointF(size * 0.5, size * 0.24));
    return img;
}

bool WriteJpeg(const QImage& source, const QString& path, int quality) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto* row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    bool ok = WriteJpeg(NoticePicture(), out.filePath(QStringLiteral("notice.jpg")), 88);
    ok = MainDecoration().save(out.filePath(QStringLiteral("image2.png"))) && ok;
    ok = SmallChip(41).save(out.filePath(QStringLiteral("image3.png"))) && ok;
    ok = SmallChip(64).save(out.filePath(QStringLiteral("mrkprog-gui.png"))) && ok;
    if (!ok) std::fprintf(stderr, "draw-pictures: could not write into %s\n", qPrintable(out.path()));
    return ok ? 0 : 1;
}
