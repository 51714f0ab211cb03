// A shift in the window program: production mode on the virtual LPT bench, the
// operator typing one factory number after another and pressing Enter, as many
// cycles as MRK_SHIFT_CYCLES says (1,000 unless set), with the station's journal on
// and off. Reported per block of 100 cycles: the process's CPU time per cycle, its
// resident memory and the heap it holds at the block's end. Both should stay flat from the first
// block to the last; a cost that grows with the shift shows as a rise.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "app/AutoCycle.h"
#include "windows/GuiProgram.h"
#include "windows/TProg12.h"
#include "windows/tools/DriveStartup.h"

#include "../ProcessCost.h"

namespace {

using mrk::perf::CpuSeconds;
using mrk::perf::ResidentKb;

// What the program's heap holds (allocated and not freed), apart from what the
// allocator keeps from earlier: a leak grows this, fragmentation only the resident set.
double HeapInUseKb() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / 1024.0;
}

int ShiftCycles() {
    const char* n = std::getenv("MRK_SHIFT_CYCLES");
    const int cycles = n ? std::atoi(n) : 1000;
    return cycles > 0 ? cycles : 1000;
}

void Shift(benchmark::State& state) {
    const bool journalOn = state.range(0) != 0;
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        // The settings the program reads at start, in the folder it starts in.
        std::ofstream ini(QDir(dir.path()).filePath(QCoreApplication::applicationName() + ".ini").toStdString());
        const std::string fw = MRK_FIRMWARE_DIR;
        ini << "[Form_Param]\nEdit1=" << fw << "/update-4620.hex\nEdit2=" << fw << "/boot-4620.hex\nEdit5=" << fw
            << "/boot-452.hex\n[Journal]\nStation=shift\nEnabled=" << (journalOn ? 1 : 0) << "\n";
    }
    mrk::gui::GuiOptions o;
    o.bench = QStringLiteral("virtual-lpt");
    o.chip = QStringLiteral("4620");
    o.production = true;
    o.module = QDir(dir.path()).filePath(QStringLiteral("module.hex"));
    const int cycles = ShiftCycles();
    constexpr int kBlock = 100;
    for (auto _ : state) {
        mrk::gui::GuiProgram p(o);
        if (!mrk::gui::DriveStartup(p)) {
            state.SkipWithError("the window did not start");
            break;
        }
        mrk::gui::TProg12& m = *p.Prog12;
        int failed = 0;
        for (int block = 0; block * kBlock < cycles; ++block) {
            const double cpu0 = CpuSeconds();
            const int n = std::min(kBlock, cycles - block * kBlock);
            for (int k = 0; k < n; ++k) {
                m.Edit1->setText(QString::number(1000 + block * kBlock + k));
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QCoreApplication::sendEvent(m.Edit1, &press);
                QCoreApplication::processEvents();
                if (m.LastCycle() != mrk::CycleResult::Passed) ++failed;
            }
            const std::string b = std::to_string(block + 1);
            state.counters["cpu_ms_block" + b] = (CpuSeconds() - cpu0) * 1000.0 / n;
            state.counters["rss_kb_block" + b] = ResidentKb();
            state.counters["heap_kb_block" + b] = HeapInUseKb();
            state.counters["log_lines_block" + b] = m.Memokno->document()->blockCount();
        }
        state.counters["failed_cycles"] = failed;
    }
    QDir::setCurrent(previous);
}
BENCHMARK(Shift)->ArgName("journal")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
