#include "journal/HtmlReport.h"

#include <algorithm>
#include <cstdio>

#include "core/FileBytes.h"

namespace mrk::journal {

namespace {

// The last days a chart shows; the table below it has them all.
constexpr size_t kChartDays = 62;
constexpr int kLabelWidth = 210, kBarWidth = 440, kRowHeight = 22, kChartWidth = kLabelWidth + kBarWidth + 170;

struct Bar {
    std::string label;
    std::vector<double> parts; // drawn one after another, classes p0, p1, ...
    std::string value;         // written after the bar
};

std::string Number(double v, int decimals = 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string Percent(double v) { return Number(v, 1) + " %"; }

// At most n characters (not bytes) of UTF-8 text, with "…" where it was cut.
std::string Shortened(const std::string& s, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) continue;
        if (++chars > n) return s.substr(0, i) + "…";
    }
    return s;
}

void AppendBars(std::string& out, const std::string& title, const std::vector<Bar>& bars, const char* cls) {
    double most = 0;
    for (const auto& b : bars) {
        double sum = 0;
        for (double p : b.parts) sum += p;
        most = std::max(most, sum);
    }
    const int height = int(bars.size()) * kRowHeight + 8;
    out += "<svg class=\"chart " + std::string(cls) + "\" role=\"img\" aria-label=\"" + HtmlText(title) +
           "\" width=\"" + std::to_string(kChartWidth) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
           std::to_string(kChartWidth) + " " + std::to_string(height) + "\">";
    int y = 4;
    for (const auto& b : bars) {
        out += "<text class=\"label\" x=\"" + std::to_string(kLabelWidth - 6) + "\" y=\"" + std::to_string(y + 15) +
               "\">" + HtmlText(Shortened(b.label, 30)) + "</text>";
        double x = kLabelWidth;
        for (size_t i = 0; i < b.parts.size(); ++i) {
            const double w = most > 0 ? b.parts[i] / most * kBarWidth : 0;
            if (w > 0)
                out += "<rect class=\"p" + std::to_string(i) + "\" x=\"" + Number(x, 1) + "\" y=\"" +
                       std::to_string(y + 2) + "\" width=\"" + Number(w, 1) + "\" height=\"" +
                       std::to_string(kRowHeight - 6) + "\"/>";
            x += w;
        }
        out += "<text class=\"value\" x=\"" + Number(x + 6, 1) + "\" y=\"" + std::to_string(y + 15) + "\">" +
               HtmlText(b.value) + "</text>";
        y += kRowHeight;
    }
    out += "</svg>\n";
}

const char* kRunsLegend =
    "<p class=\"legend\"><span class=\"key p0\"></span>OK <span class=\"key p1\"></span>X "
    "<span class=\"key p2\"></span>не закончена</p>\n";

Bar RunsBar(const KeyedTally& k, const std::string& label) {
    const Tally& t = k.tally;
    return {label, {double(t.ok), double(t.failed), double(t.unfinished)}, std::to_string(t.runs)};
}

void AppendTallyTable(std::string& out, const char* head, const std::vector<KeyedTally>& rows,
                      const std::string& empty) {
    out += "<table><thead><tr><th>" + std::string(head) +
           "</th><th>Прогонов</th><th>OK</th><th>X</th><th>Не закончены</th><th>С первого раза</th>"
           "<th>Выход с первого раза</th></tr></thead><tbody>\n";
    for (const auto& r : rows) {
        const Tally& t = r.tally;
        out += "<tr><td>" + HtmlText(r.key.empty() ? empty : r.key) + "</td><td>" + std::to_string(t.runs) +
               "</td><td>" + std::to_string(t.ok) + "</td><td>" + std::to_string(t.failed) + "</td><td>" +
               std::to_string(t.unfinished) + "</td><td>" + std::to_string(t.firstTriesOk) + " из " +
               std::to_string(t.firstTries) + "</td><td>" + Percent(t.FirstPassYield()) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void AppendRunsSection(std::string& out, const char* title, const char* head, const std::vector<KeyedTally>& rows,
                       const std::string& empty) {
    out += "<h2>" + std::string(title) + "</h2>\n";
    if (rows.empty()) {
        out += "<p>Записей нет.</p>\n";
        return;
    }
    out += kRunsLegend;
    std::vector<Bar> bars;
    for (const auto& r : rows) bars.push_back(RunsBar(r, r.key.empty() ? empty : r.key));
    AppendBars(out, title, bars, "runs");
    AppendTallyTable(out, head, rows, empty);
}

const char* kStyle =
    "body{font-family:'DejaVu Sans',Arial,sans-serif;margin:24px;color:#222;max-width:900px}"
    "h1{font-size:22px;margin-bottom:4px}h2{font-size:17px;margin-top:28px}"
    "p.meta{color:#555;margin:2px 0}"
    "table{border-collapse:collapse;margin:8px 0 4px;font-size:13px}"
    "th,td{border:1px solid #bbb;padding:3px 8px;text-align:right}"
    "th:first-child,td:first-child{text-align:left}th{background:#eee}"
    ".totals td{font-weight:bold}"
    "svg.chart{display:block;margin:6px 0;font-size:12px}"
    "svg .label{text-anchor:end;fill:#222}svg .value{fill:#444}"
    ".p0{fill:#3a8f3a;background:#3a8f3a}.p1{fill:#c8372d;background:#c8372d}"
    ".p2{fill:#9a9a9a;background:#9a9a9a}"
    "svg.yield .p0{fill:#2d6fb7}svg.yield .p1{fill:#e3e8ef}svg.steps .p0{fill:#c8372d}"
    ".legend{font-size:13px;margin:4px 0}"
    ".key{display:inline-block;width:12px;height:12px;margin:0 4px 0 10px;vertical-align:-1px}";

} // namespace

std::string HtmlText(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
        }
    }
    return out;
}

std::string HtmlReport(const ProductionSummary& s, const ReportHeading& h) {
    std::string out;
    out += "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
           // Nothing from anywhere and no scripts at all: the page is read as it stands.
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
           "<title>Журнал производства модулей МРК</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>Журнал производства модулей МРК</h1>\n";
    out += "<p class=\"meta\">Журнал: " + HtmlText(h.where) + "</p>\n";
    out += "<p class=\"meta\">Отбор: " + HtmlText(h.filter) + "</p>\n";
    out += "<p class=\"meta\">Отчёт составлен: " + HtmlText(h.madeLocal) + "</p>\n";

    const Tally& t = s.total;
    out += "<h2>Итого</h2>\n<table class=\"totals\"><thead><tr><th>Прогонов</th><th>OK</th><th>X</th>"
           "<th>Не закончены</th><th>С первого раза</th><th>Выход с первого раза</th></tr></thead><tbody><tr><td>" +
           std::to_string(t.runs) + "</td><td>" + std::to_string(t.ok) + "</td><td>" + std::to_string(t.failed) +
           "</td><td>" + std::to_string(t.unfinished) + "</td><td>" + std::to_string(t.firstTriesOk) + " из " +
           std::to_string(t.firstTries) + "</td><td>" + Percent(t.FirstPassYield()) + "</td></tr></tbody></table>\n";
    if (s.damaged)
        out += "<p>Пропущено повреждённых записей: " + std::to_string(s.damaged) + ".</p>\n";

    // The days' chart shows the last ones; the table all of them.
    const size_t from = s.byDay.size() > kChartDays ? s.byDay.size() - kChartDays : 0;
    const std::vector<KeyedTally> chartDays(s.byDay.begin() + std::ptrdiff_t(from), s.byDay.end());
    out += "<h2>Прогоны по дням</h2>\n";
    if (s.byDay.empty()) {
        out += "<p>Записей нет.</p>\n";
    } else {
        if (from) out += "<p>На графике последние " + std::to_string(kChartDays) + " дней; в таблице все.</p>\n";
        out += kRunsLegend;
        std::vector<Bar> bars;
        for (const auto& d : chartDays) bars.push_back(RunsBar(d, d.key));
        AppendBars(out, "Прогоны по дням", bars, "runs");
        AppendTallyTable(out, "День", s.byDay, "?");

        out += "<h2>Выход с первого раза по дням</h2>\n<p>Доля модулей, прошедших с первой попытки "
               "(повтор того же модуля не считается первой попыткой).</p>\n";
        // On a 0–100 % scale: the rest of each row drawn pale, so 100 % stands full width.
        bars.clear();
        for (const auto& d : chartDays) {
            const double yield = d.tally.FirstPassYield();
            bars.push_back({d.key, {yield, 100.0 - yield},
                            Percent(yield) + " (" + std::to_string(d.tally.firstTriesOk) + " из " +
                                std::to_string(d.tally.firstTries) + ")"});
        }
        AppendBars(out, "Выход с первого раза по дням", bars, "yield");
    }

    out += "<h2>Отказы по шагам</h2>\n";
    if (s.byStep.empty()) {
        out += "<p>Прогонов с итогом X нет.</p>\n";
    } else {
        std::vector<Bar> bars;
        for (const auto& st : s.byStep) bars.push_back({st.step, {double(st.failed)}, std::to_string(st.failed)});
        AppendBars(out, "Отказы по шагам", bars, "steps");
        out += "<table><thead><tr><th>Шаг, на котором прогон закончился X</th><th>Прогонов</th></tr></thead><tbody>\n";
        for (const auto& st : s.byStep)
            out += "<tr><td>" + HtmlText(st.step) + "</td><td>" + std::to_string(st.failed) + "</td></tr>\n";
        out += "</tbody></table>\n";
    }

    AppendRunsSection(out, "По станциям", "Станция", s.byStation, "(без имени)");
    AppendRunsSection(out, "По образам обновления", "Образ", s.byImage, "(без образа)");
    out += "</body>\n</html>\n";
    return out;
}

HtmlFileResult WriteHtmlReport(JournalStore& store, const ListFilter& f, const std::string& path,
                               const ReportHeading& h) {
    HtmlFileResult out;
    ProductionSummary s;
    try {
        s = Summarise(store, f);
    } catch (const std::exception& e) {
        out.error = e.what();
        return out;
    }
    out.records = s.total.runs;
    out.skipped = s.damaged;
    const std::string page = HtmlReport(s, h);
    int err = 0;
    out.written = ReplaceFileWith(path, [&](const ByteWriter& write) { return write(page); }, err);
    if (!out.written) out.error = FileErrorText(err);
    return out;
}

} // namespace mrk::journal
