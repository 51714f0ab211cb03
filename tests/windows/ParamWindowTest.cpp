// The parameters window on the real widgets, on the virtual bench.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "GuiFixture.h"
#include "sim/Bench.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

class ParamWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void portAddressTypedInHex() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TForm_Param& w = *p.Form_Param;
        w.show();
        auto* edit4 = w.findChild<QLineEdit*>("Edit4");
        QCOMPARE(edit4->text(), QString("378"));
        edit4->selectAll();
        QTest::keyClick(edit4, Qt::Key_Delete);
        QTest::keyClicks(edit4, "3gb-c9");
        QCOMPARE(edit4->text(), QString("3bc9")); // hex digits only, at most four
        QTest::keyClick(edit4, Qt::Key_Backspace);
        QCOMPARE(edit4->text(), QString("3bc9"));
        edit4->setText("3bc");
        QTest::keyClick(edit4, Qt::Key_Return);
        QCOMPARE(int(p.Prog12->ctx().portProg.AdrLpt), 0x3BC);
        w.close();
        w.show();
        QCOMPARE(edit4->text(), QString("3BC"));
        w.close();
    }

    // The widest module number the window can show fits its field whole.
    void moduleNumberIsShownWhole() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        p.Prog12->ctx().commands.ModuleNumber = 0xFFFFFFFFu;
        TForm_Param& w = *p.Form_Param;
        w.show();
        auto* label9 = w.findChild<QLabel*>("Label9");
        QCOMPARE(label9->text(), QStringLiteral(" DEC=16777215  HEX=FFFFFFFF"));
        QVERIFY2(label9->fontMetrics().horizontalAdvance(label9->text()) <= label9->contentsRect().width(),
                 qPrintable(QString::number(label9->fontMetrics().horizontalAdvance(label9->text()))));
        // Nothing it shares the band with is covered.
        for (const char* name : {"Label12", "Label11", "Label1", "Edit4"})
            QVERIFY2(!label9->geometry().intersects(w.findChild<QWidget*>(name)->geometry()), name);
        w.close();
    }

    void accessCode() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TForm_Param& w = *p.Form_Param;
        w.show();
        auto* code = w.findChild<QLineEdit*>("Edit3");
        auto* aktivation = w.findChild<QToolButton*>("SpeedButton3");
        QTest::keyClicks(code, "KUPOL");
        aktivation->click();
        for (const char* name : {"SpeedButton2", "SpeedButton4", "SpeedButton5", "SpeedButton6", "SpeedButton7",
                                 "SpeedButton21", "SpeedButton22"})
            QVERIFY2(w.findChild<QToolButton*>(name)->isVisible(), name);
        QVERIFY(w.findChild<QCheckBox*>("Obnovl")->isVisible());
        QVERIFY(w.findChild<QLineEdit*>("Edit2")->isEnabled());
        QCOMPARE(code->text(), QString());

        QTest::keyClicks(code, "kupol");
        aktivation->click();
        QVERIFY(!w.findChild<QToolButton*>("SpeedButton2")->isVisible());
        QVERIFY(!w.findChild<QLineEdit*>("Edit2")->isEnabled());
        QVERIFY(p.Prog12->Prog->isHidden());
        QVERIFY(p.Prog12->ReadChip->isHidden());
        w.close();
    }

    // Closing the window reloads the update image, which refills the boot region:
    // " Запись "BOOT"" then has no boot loader to write and must leave the
    // module's own in place.
    void bootAfterTheWindowClosedLeavesTheModulesBootLoader() {
        WorkDir wd;
        WriteBootPaths(IniPathHere());
        GuiProgram p(BenchOptions("virtual-lpt", "4620", true)); // the module has its boot loader
        QVERIFY(DriveStartup(p));
        TProg12& m = *p.Prog12;
        auto& module = *m.bench()->Module();
        // As started in production mode, the boot file is loaded: the write goes ahead.
        m.Prog->click();
        QVERIFY2(m.Memokno->toPlainText().contains(QStringLiteral("Прогр. OK")), qPrintable(m.Memokno->toPlainText()));
        QByteArray before;
        for (uint32_t a = 0; a < 0x800; ++a) before.append(char(module.Peek(a)));
        p.Form_Param->show();
        p.Form_Param->close();
        m.Prog->click();
        const QString log = m.Memokno->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("Файл BOOT загрузчика не загружен. Запись \"BOOT\" не выполнена.")),
                 qPrintable(log));
        QVERIFY(!log.contains(QStringLiteral("Прогр. OK")));
        QByteArray after;
        for (uint32_t a = 0; a < 0x800; ++a) after.append(char(module.Peek(a)));
        QCOMPARE(after, before);
        QVERIFY(m.Prog->isEnabled());
    }
};

QTEST_MAIN(ParamWindowTest)
#include "ParamWindowTest.moc"
