// The configuration-word editor on the real widgets, on the virtual bench.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "GuiFixture.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

class ConfigWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void checkBoxesChangeTheSelectedByte() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TFormConfig& w = *p.FormConfig;
        auto& cw = p.Prog12->ctx().image.ConfigWrite;
        cw[2] = 0xFF;
        cw[3] = 0x00;
        w.show();
        QCOMPARE(w.findChild<QLineEdit*>("Edit3")->text(), QString("11111111"));

        // No selector down: nothing changes.
        const auto before = cw;
        w.findChild<QToolButton*>("SpeedButton8")->click();
        QVERIFY(cw == before);

        w.findChild<QToolButton*>("SpeedButton4")->click(); // row 2 = 0xFF
        for (int k = 1; k <= 8; ++k) QVERIFY(w.findChild<QCheckBox*>(QString("CheckBox%1").arg(k))->isChecked());
        w.findChild<QToolButton*>("SpeedButton5")->click(); // row 3 = 0x00
        for (int k = 1; k <= 8; ++k) QVERIFY(!w.findChild<QCheckBox*>(QString("CheckBox%1").arg(k))->isChecked());

        w.findChild<QToolButton*>("SpeedButton13")->click(); // CONFIG5H
        for (int k = 1; k <= 8; ++k) w.findChild<QCheckBox*>(QString("CheckBox%1").arg(k))->setChecked(k >= 7);
        w.findChild<QToolButton*>("SpeedButton8")->click();
        QCOMPARE(int(cw[9]), 0xC0);
        QCOMPARE(w.findChild<QLineEdit*>("Edit10")->text(), QString("11000000"));
        w.close();
    }

    void descriptionsFollowTheChipOfTheMoment() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TFormConfig& w = *p.FormConfig;
        w.show();
        auto* memo = w.findChild<QPlainTextEdit*>("Memoconfig");
        for (const char* reserved : {"SpeedButton1", "SpeedButton6", "SpeedButton11"}) {
            w.findChild<QToolButton*>(reserved)->click();
            QCOMPARE(memo->toPlainText(), QString("Резерв."));
        }
        w.findChild<QToolButton*>("SpeedButton7")->click(); // CONFIG3H on the PIC18F4620
        QStringList lines = memo->toPlainText().split('\n');
        QCOMPARE(lines.size(), 17);
        QCOMPARE(lines[1], QString("MCLRE: MCLR Pin Enable bit"));
        QCOMPARE(lines[14], QString("CCP2MX* CCP2 MUX bit"));
        w.findChild<QToolButton*>("SpeedButton7")->click();
        QCOMPARE(memo->toPlainText().split('\n').size(), 17); // listed once

        p.Prog12->ctx().SetChipIndicators(false, true);
        w.findChild<QToolButton*>("SpeedButton7")->click();
        lines = memo->toPlainText().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], QString("CCP2MX* CCP2 MUX bit"));
        w.close();
    }

    void changeModeAndTheWriteWithItsResult() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TFormConfig& w = *p.FormConfig;
        w.show();
        auto* write = w.findChild<QToolButton*>("SpeedButton2");
        QVERIFY(!write->isEnabled());
        w.findChild<QToolButton*>("IzmConfig")->click();
        QVERIFY(write->isEnabled());
        QVERIFY(!w.findChild<QToolButton*>("SpeedButton1")->isEnabled());
        QVERIFY(w.findChild<QLineEdit*>("Edit1")->isEnabled());

        write->click();
        const QString result = w.findChild<QLabel*>("StaticText1")->text();
        QVERIFY(result == QString("Конфигурация OK") || result == QString("Ошибка записи конфигурации"));
        QCOMPARE(result, QString::fromStdString(p.Prog12->ctx().prog.ConfigStaticText1));

        w.close(); // change mode ends; the selectors stay off until "Отмена"
        QVERIFY(!write->isEnabled());
        QVERIFY(!w.findChild<QToolButton*>("SpeedButton1")->isEnabled());
        w.show();
        QVERIFY(w.findChild<QToolButton*>("SpeedButton1")->isEnabled());
        QVERIFY(w.findChild<QToolButton*>("SpeedButton9")->isChecked());
        w.close();
    }
};

QTEST_MAIN(ConfigWindowTest)
#include "ConfigWindowTest.moc"
