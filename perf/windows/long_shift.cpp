// A long shift in production mode: the update command never clears the log
// there, so after a shift the log holds every update's lines. One real update
// on the virtual bench gives the lines; they are then appended as 500 updates
// would append them (the log repainted after each), and one more line is timed
// against the same line in a fresh log. The memory the 500 updates took is
// reported as a counter (resident set size before and after).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <QApplication>
#include <QPlainTextEdit>

#include "app/MainCommands.h"
#include "core/Context.h"
#include "windows/TProg12.h"

namespace {

mrk::gui::TProg12* window = nullptr;
QStringList updateLines;
constexpr int kShift = 500;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key)
        if (key == "VmRSS:" && status >> kb) break;
    return kb;
}

void AppendUpdate() {
    for (const QString& line : updateLines) window->host().Okno(line.toStdString());
    QCoreApplication::processEvents();
}

void AppendOneLine(benchmark::State& state) {
    for (auto _ : state) {
        window->host().Okno("Можно подключить следующий модуль.");
        QCoreApplication::processEvents();
    }
    state.counters["log_lines"] = window->Memokno->document()->blockCount();
}

void AppendToAFreshLog(benchmark::State& state) {
    window->Memokno->clear();
    AppendUpdate();
    AppendOneLine(state);
}
BENCHMARK(AppendToAFreshLog)->Unit(benchmark::kMicrosecond);

void AppendAfter500Updates(benchmark::State& state) {
    window->Memokno->clear();
    QCoreApplication::processEvents();
    const long before = ResidentKb();
    for (int k = 0; k < kShift; ++k) AppendUpdate();
    const long after = ResidentKb();
    AppendOneLine(state);
    state.counters["shift_rss_mb"] = double(after - before) / 1024.0;
    state.counters["lines_per_update"] = updateLines.size();
}
BENCHMARK(AppendAfter500Updates)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    mrk::gui::GuiOptions options;
    options.bench = QStringLiteral("virtual-lpt"); // a module with its factory boot loader
    options.production = true;
    mrk::gui::TProg12 main(options);
    window = &main;
    main.show();
    QCoreApplication::processEvents();
    // The lines one update writes in production mode, from a real run.
    main.ctx().commands.Obnovl = false;
    // Only its log lines are wanted here, whatever the update's outcome.
    (void)mrk::SpeedButton4Click(main.ctx(), main, mrk::Ctl::SpeedButton4);
    updateLines = main.Memokno->toPlainText().split(QLatin1Char('\n'));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
