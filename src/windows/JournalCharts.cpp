#include "windows/JournalCharts.h"

#include <algorithm>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QStackedBarSeries>
#include <QVBoxLayout>
#include <QValueAxis>

namespace mrk::gui {

namespace {

// The report's colours: OK green, X red, not finished grey, the yield blue.
const QColor kOk(0x3a, 0x8f, 0x3a), kFailed(0xc8, 0x37, 0x2d), kUnfinished(0x9a, 0x9a, 0x9a), kYield(0x2d, 0x6f, 0xb7);
// The last days a chart shows (the HTML report's table has them all).
constexpr size_t kChartDays = 31;

QBarSet* Set(const QString& name, const QColor& colour) {
    auto* set = new QBarSet(name);
    set->setColor(colour);
    set->setBorderColor(colour);
    return set;
}

QString DayLabel(const std::string& day) {
    const QDate d = QDate::fromString(QString::fromStdString(day), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd.MM")) : QString::fromStdString(day);
}

// Whole-number ticks, five or so at most (a short chart has room for no more), on steps of 1, 2 or 5 times a power of ten.
void CountAxis(QValueAxis* axis, int64_t most) {
    int64_t step = 1;
    while (most / step > 5) {
        if (most / (step * 2) <= 5) step *= 2;
        else if (most / (step * 5) <= 5) step *= 5;
        else step *= 10;
    }
    const int64_t top = std::max<int64_t>(1, (most + step - 1) / step * step);
    axis->setRange(0, double(top));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(double(step));
    axis->setLabelFormat(QStringLiteral("%d"));
}

// Many days' labels stand on end, so that each stays whole.
void AddCategories(QChart* chart, QAbstractBarSeries* series, const QStringList& keys, Qt::Alignment where) {
    auto* categories = new QBarCategoryAxis;
    categories->append(keys);
    if (where == Qt::AlignBottom && keys.size() > 12) categories->setLabelsAngle(-90);
    chart->addAxis(categories, where);
    series->attachAxis(categories);
}

QString KeyLabel(const std::string& key, const char* none) {
    return key.empty() ? QString::fromUtf8(none) : QString::fromStdString(key);
}

// Runs as OK / X / not finished, one bar per key.
void AddRuns(QChart* chart, const std::vector<journal::KeyedTally>& rows, bool horizontal, const char* none,
             bool days) {
    QBarSet *ok = Set(QStringLiteral("OK"), kOk), *failed = Set(QStringLiteral("X"), kFailed),
            *unfinished = Set(QStringLiteral("не закончена"), kUnfinished);
    QStringList keys;
    int64_t most = 0;
    for (const auto& r : rows) {
        *ok << double(r.tally.ok);
        *failed << double(r.tally.failed);
        *unfinished << double(r.tally.unfinished);
        keys << (days ? DayLabel(r.key) : KeyLabel(r.key, none));
        most = std::max(most, r.tally.runs);
    }
    QAbstractBarSeries* series = horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalStackedBarSeries)
                                            : static_cast<QAbstractBarSeries*>(new QStackedBarSeries);
    series->append({ok, failed, unfinished});
    chart->addSeries(series);
    AddCategories(chart, series, keys, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    auto* values = new QValueAxis;
    CountAxis(values, most);
    chart->addAxis(values, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(values);
}

} // namespace

JournalCharts::JournalCharts(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("JournalCharts"));
    Chart = new QComboBox(this);
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->addItems({QStringLiteral("Прогоны по дням"), QStringLiteral("Выход с первого раза по дням"),
                     QStringLiteral("Отказы по шагам"), QStringLiteral("По станциям"),
                     QStringLiteral("По образам обновления")});
    Totals = new QLabel(this);
    Totals->setObjectName(QStringLiteral("Totals"));
    Totals->setWordWrap(true);
    View = new QChartView(this);
    View->setObjectName(QStringLiteral("View"));
    View->setRenderHint(QPainter::Antialiasing);
    View->setMinimumHeight(260);
    auto* top = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("График:"), this);
    label->setBuddy(Chart);
    top->addWidget(label);
    top->addWidget(Chart);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(Totals);
    layout->addWidget(View, 1);
    connect(Chart, &QComboBox::currentIndexChanged, this, &JournalCharts::Draw);
}

void JournalCharts::Show(const journal::ProductionSummary& s) {
    summary_ = s;
    const journal::Tally& t = s.total;
    QString text = t.runs == 0 ? QStringLiteral("Таких записей в журнале нет.")
                               : QStringLiteral("Прогонов: %1, OK: %2, X: %3, не закончены: %4. "
                                                "Выход с первого раза: %5 % (%6 из %7).")
                                     .arg(t.runs)
                                     .arg(t.ok)
                                     .arg(t.failed)
                                     .arg(t.unfinished)
                                     .arg(t.FirstPassYield(), 0, 'f', 1)
                                     .arg(t.firstTriesOk)
                                     .arg(t.firstTries);
    if (s.damaged) text += QStringLiteral(" Пропущено повреждённых записей: %1.").arg(s.damaged);
    Totals->setText(text);
    Draw();
}

void JournalCharts::ShowProblem(const QString& why) {
    summary_ = {};
    Totals->setText(why);
    Draw();
}

void JournalCharts::Draw() {
    auto* chart = new QChart;
    chart->setTitle(Chart->currentText());
    chart->setAnimationOptions(QChart::NoAnimation);
    const journal::ProductionSummary& s = summary_;
    const size_t from = s.byDay.size() > kChartDays ? s.byDay.size() - kChartDays : 0;
    const std::vector<journal::KeyedTally> days(s.byDay.begin() + std::ptrdiff_t(from), s.byDay.end());
    switch (Chart->currentIndex()) {
    case RunsByDay:
        if (from) chart->setTitle(Chart->currentText() + QStringLiteral(" (последние %1)").arg(kChartDays));
        if (!days.empty()) AddRuns(chart, days, false, "", true);
        break;
    case YieldByDay: {
        if (days.empty()) break;
        QBarSet* yield = Set(QStringLiteral("выход с первого раза, %"), kYield);
        QStringList keys;
        for (const auto& d : days) {
            *yield << d.tally.FirstPassYield();
            keys << DayLabel(d.key);
        }
        auto* series = new QBarSeries;
        series->append(yield);
        chart->addSeries(series);
        AddCategories(chart, series, keys, Qt::AlignBottom);
        auto* values = new QValueAxis;
        values->setRange(0, 100);
        values->setTickCount(6);
        values->setLabelFormat(QStringLiteral("%d %%"));
        chart->addAxis(values, Qt::AlignLeft);
        series->attachAxis(values);
        break;
    }
    case FailuresByStep: {
        if (s.byStep.empty()) break;
        QBarSet* failed = Set(QStringLiteral("прогонов с итогом X"), kFailed);
        QStringList keys;
        int64_t most = 1;
        // Most failed at the top: a horizontal chart draws its first category lowest.
        for (auto it = s.byStep.rbegin(); it != s.byStep.rend(); ++it) {
            *failed << double(it->failed);
            keys << QString::fromStdString(it->step);
            most = std::max(most, it->failed);
        }
        auto* series = new QHorizontalBarSeries;
        series->append(failed);
        chart->addSeries(series);
        AddCategories(chart, series, keys, Qt::AlignLeft);
        auto* values = new QValueAxis;
        CountAxis(values, most);
        chart->addAxis(values, Qt::AlignBottom);
        series->attachAxis(values);
        break;
    }
    case ByStation:
        if (!s.byStation.empty()) AddRuns(chart, s.byStation, true, "(без имени)", false);
        break;
    case ByImage:
        if (!s.byImage.empty()) AddRuns(chart, s.byImage, true, "(без образа)", false);
        break;
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = View->chart();
    View->setChart(chart);
    delete old;
}

} // namespace mrk::gui
