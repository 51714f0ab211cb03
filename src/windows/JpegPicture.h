#pragma once
// JPEG pictures decoded with IJG libjpeg called directly.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace mrk::gui {

// Decodes JPEG data; a null image when the data is not a readable JPEG
// (the reason, for the curious, in *error).
QImage DecodeJpeg(const QByteArray& data, QString* error = nullptr);

// Reads and decodes a JPEG file or Qt resource (":/...").
QImage LoadJpeg(const QString& path, QString* error = nullptr);

} // namespace mrk::gui
