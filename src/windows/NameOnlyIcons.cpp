#include "windows/NameOnlyIcons.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyle>

namespace mrk::gui {

QIcon NameOnlyIcons::icon(IconType type) const {
    QStyle* style = QApplication::style();
    switch (type) {
    case Folder: return style->standardIcon(QStyle::SP_DirIcon);
    case Drive: return style->standardIcon(QStyle::SP_DriveHDIcon);
    case Computer: return style->standardIcon(QStyle::SP_ComputerIcon);
    case Network: return style->standardIcon(QStyle::SP_DriveNetIcon);
    case Trashcan: return style->standardIcon(QStyle::SP_TrashIcon);
    default: return style->standardIcon(QStyle::SP_FileIcon);
    }
}

QIcon NameOnlyIcons::icon(const QFileInfo& info) const {
    // Only what a stat says: nothing is opened.
    return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIcons::type(const QFileInfo& info) const {
    if (info.isDir()) return QStringLiteral("Папка");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл %1").arg(suffix.toUpper());
}

NameOnlyIcons* NameOnlyIcons::Shared() {
    static NameOnlyIcons* icons = new NameOnlyIcons; // lives as long as the dialogs that use it
    return icons;
}

} // namespace mrk::gui
