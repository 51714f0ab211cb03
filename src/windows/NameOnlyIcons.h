#pragma once
// Icons and type names for the file dialogs from a file's name alone. Qt's own
// provider reads a file's first bytes to tell its type, in a thread of its own,
// whenever a listed folder changes; opening and closing another program's files
// (SQLite's journal beside a settings file, its -wal and -shm) would drop the
// locks this process holds on them. The dialogs here never open what they list.
#include <QAbstractFileIconProvider>

namespace mrk::gui {

class NameOnlyIcons : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

    // One provider for every dialog of the program.
    static NameOnlyIcons* Shared();
};

} // namespace mrk::gui
