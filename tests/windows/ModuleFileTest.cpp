// The bench module's file in the window program: kept exactly as the command
// line keeps it, refused when damaged, never rewritten by a session that left the module alone.
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "GuiFixture.h"
#include "sim/VirtualModule.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class ModuleFileTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // One bad check byte: the window says why, closes, and the file keeps every byte.
    void aDamagedModuleFileIsRefusedAndKept() {
        WorkDir wd;
        const QString path = wd.Path(QStringLiteral("module.hex"));
        {
            mrk::sim::VirtualModule m({});
            std::string error;
            QVERIFY2(m.SaveHex(path.toStdString(), error), error.c_str());
        }
        QByteArray damaged = Bytes(path);
        const qsizetype eol = damaged.indexOf('\n');
        QVERIFY(eol > 0);
        damaged[eol - 1] = damaged[eol - 1] == '0' ? '1' : '0';
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(damaged);
        }
        for (const char* bench : {"virtual-lpt", "virtual-usb"}) {
            GuiOptions o = BenchOptions(bench);
            o.module = path;
            {
                GuiProgram p(o);
                QCOMPARE(p.Prog12->StationStart().exitCode, 1);
                QStringList boxes;
                StartupAnswer a;
                a.boxes = &boxes;
                QVERIFY(DriveStartup(p, a));
                QVERIFY(p.Prog12->Closed());
                QCOMPARE(boxes.size(), 1);
                QVERIFY2(boxes.first().contains(path), qPrintable(boxes.first()));
                // Nothing ran: no programmer was looked for.
                QVERIFY(!p.Prog12->CheckBox1->isChecked() && !p.Prog12->CheckUSB->isChecked());
            }
            QCOMPARE(Bytes(path), damaged);
        }
    }

    // A session that only found the module leaves its file untouched.
    void anUnchangedModuleIsNotWrittenBack() {
        WorkDir wd;
        GuiOptions o = BenchOptions("virtual-usb");
        o.module = wd.Path(QStringLiteral("module.hex"));
        for (int run = 0; run < 2; ++run) {
            GuiProgram p(o);
            QVERIFY(p.Prog12->StationStart().Ok());
            QVERIFY(DriveStartup(p));
            QVERIFY(p.Prog12->CheckUSB->isChecked());
            if (run == 1) {
                QFile f(o.module);
                QVERIFY(f.open(QIODevice::ReadWrite));
                f.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime);
            }
            const QDateTime stamp = QFileInfo(o.module).lastModified();
            const QByteArray before = Bytes(o.module);
            p.Prog12->close();
            if (run == 0) continue; // a module new to the file is saved
            QCOMPARE(Bytes(o.module), before);
            QCOMPARE(QFileInfo(o.module).lastModified(), stamp);
        }
    }
};

QTEST_MAIN(ModuleFileTest)
#include "ModuleFileTest.moc"
