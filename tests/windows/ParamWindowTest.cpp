// The parameters window on the real widgets, on the virtual bench.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "GuiFixture.h"

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
};

QTEST_MAIN(ParamWindowTest)
#include "ParamWindowTest.moc"
