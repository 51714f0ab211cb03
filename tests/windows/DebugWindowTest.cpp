// The hardware debug window on the real widgets, on the virtual bench.
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "GuiFixture.h"
#include "sim/Bench.h"

using namespace mrk::gui;
using namespace mrk::gui::test;

class DebugWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void linesAndTheStoppedPattern() {
        WorkDir wd;
        GuiProgram p(BenchOptions("virtual-lpt"));
        QVERIFY(DriveStartup(p));
        TForm_otladka& w = *p.Form_otladka;
        auto& kordel = p.Prog12->bench()->Kordel();
        w.show();
        w.findChild<QToolButton*>("SpeedButton1")->click();
        QCOMPARE(kordel.Pins().mclr, mrk::sim::Mclr::Vpp);
        w.findChild<QToolButton*>("SpeedButton1")->click();
        QVERIFY(kordel.Pins().mclr != mrk::sim::Mclr::Vpp);

        // "Завершить" pressed while "Гот.-?" runs: the loop ends with PGC and PGD low.
        auto* stop = w.findChild<QToolButton*>("Zaverch");
        QTimer::singleShot(50, stop, [stop] { stop->click(); });
        w.findChild<QToolButton*>("Zad")->click();
        QVERIFY(stop->isChecked());
        QVERIFY(!kordel.Pins().pgcHigh);
        QVERIFY(kordel.Pins().pgdPulledLow);

        // Closing the window stops a running pattern.
        QTimer::singleShot(50, &w, [&w] { w.close(); });
        w.findChild<QToolButton*>("Data")->click();
        QVERIFY(w.Form().stop);
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(DebugWindowTest)
#include "DebugWindowTest.moc"
