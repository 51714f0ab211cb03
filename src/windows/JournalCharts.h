#pragma once
// The journal window's charts of what its filters pick: runs per day, the
// first-pass yield per day, failures by step, by station and by image; one chart
// at a time, chosen in a list, with the totals above it. The numbers are the
// journal's summary, the same the HTML report draws.
#include <QWidget>

#include "journal/ProductionSummary.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;

namespace mrk::gui {

class JournalCharts : public QWidget {
    Q_OBJECT
public:
    enum Which { RunsByDay, YieldByDay, FailuresByStep, ByStation, ByImage };

    explicit JournalCharts(QWidget* parent = nullptr);

    QComboBox* Chart;  // which chart
    QLabel* Totals;    // the totals, or why there is nothing to show
    QChartView* View;

    void Show(const journal::ProductionSummary& s);
    // Nothing to draw, and why.
    void ShowProblem(const QString& why);
    const journal::ProductionSummary& Shown() const { return summary_; }

private:
    void Draw();
    journal::ProductionSummary summary_;
};

} // namespace mrk::gui
