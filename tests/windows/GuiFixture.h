#pragma once
// Starting the program's windows on the virtual bench inside a test, each test
// in a fresh working folder (the settings file lives in the current folder).
#include <memory>

#include <QDir>
#include <QTemporaryDir>

#include "windows/GuiProgram.h"
#include "windows/tools/DriveStartup.h"

namespace mrk::gui::test {

class WorkDir {
public:
    WorkDir() : dir_(QDir::current().filePath(QStringLiteral("work-XXXXXX"))), previous_(QDir::currentPath()) {
        QDir::setCurrent(dir_.path());
    }
    ~WorkDir() { QDir::setCurrent(previous_); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

inline GuiOptions BenchOptions(const char* bench, const char* chip = "4620", bool production = false) {
    GuiOptions o;
    o.bench = QString::fromLatin1(bench);
    o.chip = QString::fromLatin1(chip);
    o.production = production;
    return o;
}

// The settings file the program reads at start: the bench's boot-loader files.
inline void WriteBootPaths(const QString& iniPath) {
    QFile f(iniPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    const QString fw = QStringLiteral(MRK_FIRMWARE_DIR);
    f.write(QStringLiteral("[Form_Param]\nEdit1=%1/update-4620.hex\nEdit2=%1/boot-4620.hex\nEdit5=%1/boot-452.hex\n")
                .arg(fw)
                .toUtf8());
}

// The settings file's name: the program file's name with ".ini", in the current folder.
inline QString IniPathHere() {
    return QDir::current().filePath(QCoreApplication::applicationName() + QStringLiteral(".ini"));
}

// Production mode on the virtual LPT bench with a blank PIC18F4620 kept in wd's
// "blank.hex", and the boot-loader paths in the settings file: ready for a cycle.
inline GuiOptions ProductionOnBlankModule(const WorkDir& wd) {
    WriteBootPaths(IniPathHere());
    GuiOptions o = BenchOptions("virtual-lpt", "4620", true);
    o.module = wd.Path(QStringLiteral("blank.hex"));
    return o;
}

} // namespace mrk::gui::test
