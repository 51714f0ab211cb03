#pragma once
// This station's production journal, newest first, a page at a time: what the
// operator checks after a shift or when a module comes back, and what the
// production manager picks out (dates, number, result, kind, chip, conflicts,
// records not yet on the server), exports for a spreadsheet, and sees in charts.
// It only reads.
// The controls are the form JournalWindow.ui.
#include <memory>

#include <QDialog>

#include "journal/JournalStore.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;

namespace Ui {
class JournalWindow;
}

namespace mrk::journal {
class ProductionJournal;
}

namespace mrk::gui {

class JournalCharts;

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShownRecords = 50;

    JournalWindow(journal::ProductionJournal& journal, QWidget* parent = nullptr);
    ~JournalWindow() override;

    // The filters; each change shows the newest page of what they pick.
    QCheckBox *SinceOn, *UntilOn;
    QDateEdit *Since, *Until;  // whole days in the station's own time
    QLineEdit* Number;         // factory number
    QComboBox *Result, *Kind, *Chip;
    QCheckBox *Conflicts, *Waiting;
    QSpinBox* PageSize;
    QTabWidget* Views;     // the records' pages, or the charts of all they pick
    QTableWidget* Table;
    JournalCharts* Charts;
    QLabel* Status;       // why the journal cannot be read, or which records are shown
    QPushButton *Newer, *Older, *Export, *Reload, *Close;

    // What the filters pick, the paging aside (the export writes all of it).
    journal::ListFilter Filter() const;

public slots:
    void ReloadClick();
    void ExportClick();
    // The charts of what the filters pick (all pages), drawn afresh.
    void ShowCharts();

private:
    void FirstPage();
    void Refresh(int64_t skip);
    void ShowPage(int64_t skip);
    // The export's file, asked for in a save dialog; empty when the user gave none.
    QString AskExportFile();
    std::unique_ptr<Ui::JournalWindow> ui_; // the controls of JournalWindow.ui
    journal::ProductionJournal& journal_;
    int64_t skip_ = 0, total_ = 0;
};

} // namespace mrk::gui
