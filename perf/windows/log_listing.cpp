// Listing a memory page into the main window's real log widget: page 3 of a
// PIC18F4620 (2389 lines) with the log's repaint held, as the page buttons do,
// and, for comparison, the same lines appended one by one without the hold.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>

#include "core/Context.h"
#include "image/MemoryListing.h"
#include "windows/TProg12.h"

namespace {

mrk::gui::TProg12* window = nullptr;

void ListPage3Held(benchmark::State& state) {
    mrk::Context& ctx = window->ctx();
    for (auto _ : state) {
        mrk::Okno_1_2_Str(ctx.host, ctx.image, ctx.prog.ChipWords, mrk::MemorySource::Reference, 3);
        QCoreApplication::processEvents(); // the repaint that shows the page
    }
    state.counters["lines"] = window->Memokno->document()->blockCount() - 1;
}
BENCHMARK(ListPage3Held)->Unit(benchmark::kMillisecond);

void ListPage3LineByLine(benchmark::State& state) {
    mrk::Context& ctx = window->ctx();
    const mrk::PageLines lines = mrk::PageBounds(ctx.prog.ChipWords, 3);
    for (auto _ : state) {
        window->Memokno->clear();
        window->Memokno->appendPlainText(QStringLiteral("Карта памяти программ."));
        for (unsigned L = lines.first; L <= lines.last; ++L)
            window->Memokno->appendPlainText(QString::fromStdString(mrk::ListingLine(ctx.image.BuffEt.data(), L)));
        QCoreApplication::processEvents();
    }
}
BENCHMARK(ListPage3LineByLine)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    mrk::gui::GuiOptions options;
    options.bench = QStringLiteral("virtual-lpt"); // no hardware; the chip stays a PIC18F4620
    mrk::gui::TProg12 main(options);
    window = &main;
    main.show();
    QCoreApplication::processEvents();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
