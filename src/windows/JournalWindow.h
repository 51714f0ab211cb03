#pragma once
// The last records of this station's production journal, newest first: what the
// operator checks after a shift or when a module comes back. It only reads.
#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace mrk::journal {
class ProductionJournal;
}

namespace mrk::gui {

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShownRecords = 50;

    JournalWindow(journal::ProductionJournal& journal, QWidget* parent = nullptr);

    QTableWidget* Table;
    QLabel* Status;       // why the journal cannot be read, or how many records are shown
    QPushButton *Reload, *Close;

public slots:
    void ReloadClick();

private:
    journal::ProductionJournal& journal_;
};

} // namespace mrk::gui
