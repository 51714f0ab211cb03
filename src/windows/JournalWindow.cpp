#include "windows/JournalWindow.h"

#include <algorithm>
#include <exception>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "journal/CsvExport.h"
#include "journal/ProductionJournal.h"
#include "journal/ProductionSummary.h"
#include "windows/JournalCharts.h"
#include "windows/NameOnlyIcons.h"
#include "windows/RussianButtons.h"
#include "ui_JournalWindow.h"

namespace mrk::gui {

namespace {

// "2026-12-10T14:08:53Z" in the station's own time; the text as stored if it is not a time.
QString LocalTime(const std::string& utc) {
    const QString text = QString::fromStdString(utc);
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) return text;
    return t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

// The start of a day in the station's own time, as the journal keeps times.
std::string DayStartUtc(const QDate& day) {
    return QDateTime(day, QTime(0, 0)).toUTC().toString(Qt::ISODate).toStdString();
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

JournalWindow::JournalWindow(journal::ProductionJournal& journal, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::JournalWindow>()), journal_(journal) {
    ui_->setupUi(this);
    SinceOn = ui_->SinceOn;
    Since = ui_->Since;
    UntilOn = ui_->UntilOn;
    Until = ui_->Until;
    Number = ui_->Number;
    Result = ui_->Result;
    Kind = ui_->Kind;
    Chip = ui_->Chip;
    Conflicts = ui_->Conflicts;
    Waiting = ui_->Waiting;
    PageSize = ui_->PageSize;
    Views = ui_->Views;
    Table = ui_->Table;
    Charts = new JournalCharts(ui_->ChartsPage);
    ui_->chartsLayout->addWidget(Charts);
    Status = ui_->Status;
    Newer = ui_->Newer;
    Older = ui_->Older;
    Export = ui_->Export;
    Reload = ui_->Reload;
    Close = ui_->Close;

    for (QDateEdit* day : {Since, Until}) day->setDate(QDate::currentDate());
    Number->setValidator(new QIntValidator(1, 65535, Number));
    // What each choice picks, in the order of the form's items; empty: any.
    const auto values = [](QComboBox* box, std::initializer_list<const char*> values) {
        int index = 0;
        for (const char* v : values) box->setItemData(index++, QString::fromLatin1(v));
    };
    values(Result, {"", "OK", "X", "unfinished", "failed"});
    values(Kind, {"", "cycle", "update"});
    values(Chip, {"", "PIC18F452", "PIC18F4620"});
    PageSize->setValue(kShownRecords);

    connect(SinceOn, &QCheckBox::toggled, Since, &QWidget::setEnabled);
    connect(UntilOn, &QCheckBox::toggled, Until, &QWidget::setEnabled);
    for (QCheckBox* box : {SinceOn, UntilOn, Conflicts, Waiting})
        connect(box, &QCheckBox::toggled, this, &JournalWindow::FirstPage);
    for (QDateEdit* edit : {Since, Until}) connect(edit, &QDateEdit::dateChanged, this, &JournalWindow::FirstPage);
    for (QComboBox* box : {Result, Kind, Chip})
        connect(box, &QComboBox::currentIndexChanged, this, &JournalWindow::FirstPage);
    connect(Number, &QLineEdit::textChanged, this, &JournalWindow::FirstPage);
    connect(PageSize, &QSpinBox::valueChanged, this, &JournalWindow::FirstPage);
    connect(Views, &QTabWidget::currentChanged, this, [this] {
        if (Views->currentWidget() == ui_->ChartsPage) ShowCharts();
    });
    connect(Newer, &QPushButton::clicked, this, [this] { ShowPage(std::max<int64_t>(0, skip_ - PageSize->value())); });
    connect(Older, &QPushButton::clicked, this, [this] { ShowPage(skip_ + PageSize->value()); });
    connect(Export, &QPushButton::clicked, this, &JournalWindow::ExportClick);
    connect(Reload, &QPushButton::clicked, this, &JournalWindow::ReloadClick);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);

    FirstPage();
}

JournalWindow::~JournalWindow() = default;

journal::ListFilter JournalWindow::Filter() const {
    journal::ListFilter f;
    f.station = journal_.Settings().station;
    if (SinceOn->isChecked()) f.since = DayStartUtc(Since->date());
    if (UntilOn->isChecked()) f.until = DayStartUtc(Until->date().addDays(1)); // the day itself counts whole
    bool ok = false;
    const int number = Number->text().toInt(&ok);
    if (ok && number >= 1 && number <= 65535) f.number = uint16_t(number);
    const QString result = Result->currentData().toString();
    if (result == QLatin1String("failed")) f.failedOnly = true;
    else f.result = result.toStdString();
    f.kind = journal::RunKindFromName(Kind->currentData().toString().toStdString());
    f.chip = Chip->currentData().toString().toStdString();
    f.conflictsOnly = Conflicts->isChecked();
    f.waitingOnly = Waiting->isChecked();
    return f;
}

void JournalWindow::ReloadClick() { Refresh(skip_); }

void JournalWindow::FirstPage() { Refresh(0); }

void JournalWindow::Refresh(int64_t skip) {
    ShowPage(skip);
    // The charts follow the filters while they are shown; otherwise when they are opened.
    if (Views->currentWidget() == ui_->ChartsPage) ShowCharts();
}

void JournalWindow::ShowCharts() {
    const journal::JournalSettings& s = journal_.Settings();
    if (!s.enabled) {
        Charts->ShowProblem(QStringLiteral("Журнал выключен в файле настроек ([Journal] Enabled=0)."));
        return;
    }
    try {
        std::string error;
        const auto store = journal_.ReadLocal(error);
        if (!store) {
            Charts->ShowProblem(error.empty() ? QStringLiteral("Станция %1: записей в журнале нет.")
                                                    .arg(QString::fromStdString(s.station))
                                              : QStringLiteral("Журнал %1 не читается: %2")
                                                    .arg(QString::fromStdString(s.file), QString::fromStdString(error)));
            return;
        }
        Charts->Show(journal::Summarise(*store, Filter()));
    } catch (const std::exception& e) {
        Charts->ShowProblem(QStringLiteral("Журнал %1 не читается: %2")
                                .arg(QString::fromStdString(s.file), QString::fromStdString(e.what())));
    }
}

void JournalWindow::ShowPage(int64_t skip) {
    Table->setRowCount(0);
    Newer->setEnabled(false);
    Older->setEnabled(false);
    skip_ = total_ = 0;
    const journal::JournalSettings& s = journal_.Settings();
    const QString station = QString::fromStdString(s.station);
    if (!s.enabled) {
        Status->setText(QStringLiteral("Журнал выключен в файле настроек ([Journal] Enabled=0)."));
        return;
    }
    std::vector<journal::JournalRecord> records;
    int damaged = 0;
    try {
        std::string error;
        const auto store = journal_.ReadLocal(error);
        if (!store) {
            Status->setText(error.empty() ? QStringLiteral("Станция %1: записей в журнале нет.").arg(station)
                                          : QStringLiteral("Журнал %1 не читается: %2")
                                                .arg(QString::fromStdString(s.file), QString::fromStdString(error)));
            return;
        }
        journal::ListFilter f = Filter();
        total_ = store->Count(f);
        skip_ = total_ == 0 ? 0 : std::min(skip, (total_ - 1) / PageSize->value() * PageSize->value());
        f.limit = PageSize->value();
        f.skipNewest = skip_;
        store->Each(
            f, [&](const journal::JournalRecord& r) { records.push_back(r); }, [&](const std::string&) { ++damaged; });
    } catch (const std::exception& e) {
        Status->setText(QStringLiteral("Журнал %1 не читается: %2")
                            .arg(QString::fromStdString(s.file), QString::fromStdString(e.what())));
        return;
    }
    std::reverse(records.begin(), records.end()); // the store lists oldest first

    Table->setRowCount(static_cast<int>(records.size()));
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        const journal::JournalRecord& r = records[static_cast<size_t>(row)];
        const QString cells[] = {
            LocalTime(r.startedUtc),
            r.factoryNumber ? QString::number(*r.factoryNumber) : QStringLiteral("-"),
            r.moduleNumber ? QStringLiteral("%1").arg(*r.moduleNumber, 8, 16, QLatin1Char('0')).toUpper()
                           : QStringLiteral("-"),
            QString::fromStdString(r.chip),
            QString::fromStdString(r.programmer),
            r.programmerSerial.empty() ? QStringLiteral("-") : QString::fromStdString(r.programmerSerial),
            QString::fromStdString(journal::ResultText(r)) +
                (r.conflict ? QStringLiteral(", конфликт номера") : QString()) +
                (!r.setAside.empty() ? QStringLiteral(", не принята сервером") : QString()),
            QString::fromStdString(journal::ShortUid(r)),
            r.kind == journal::RunKind::Cycle ? QStringLiteral("цикл") : QStringLiteral("обновление"),
        };
        for (int col = 0; col < Table->columnCount(); ++col) Table->setItem(row, col, Cell(cells[col]));
    }
    Table->resizeColumnsToContents();
    Newer->setEnabled(skip_ > 0);
    Older->setEnabled(skip_ + PageSize->value() < total_);
    QString text;
    if (total_ == 0) text = QStringLiteral("Станция %1: таких записей в журнале нет.").arg(station);
    else
        text = QStringLiteral("Станция %1: записи %2–%3 из %4, новые сверху.")
                   .arg(station)
                   .arg(skip_ + 1)
                   .arg(skip_ + int64_t(records.size()) + damaged)
                   .arg(total_);
    if (damaged) text += QStringLiteral(" Пропущено повреждённых записей: %1.").arg(damaged);
    Status->setText(text);
}

QString JournalWindow::AskExportFile() {
    QFileDialog dialog(this, QStringLiteral("Экспорт журнала в CSV"));
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(NameOnlyIcons::Shared());
    // Asked below in the program's own words, with "Нет" the default.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Таблицы CSV (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файла:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Сохранить"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    dialog.selectFile(QStringLiteral("journal-%1-%2.csv")
                          .arg(QString::fromStdString(journal_.Settings().station),
                               QDate::currentDate().toString(Qt::ISODate)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    if (!QFileInfo::exists(path)) return path;
    QMessageBox ask(QMessageBox::Question, windowTitle(),
                    QStringLiteral("Файл %1 уже есть. Заменить его?").arg(QDir::toNativeSeparators(path)),
                    QMessageBox::NoButton, this);
    QPushButton* yes = RussianYesNo(ask);
    ask.exec();
    return ask.clickedButton() == yes ? path : QString();
}

void JournalWindow::ExportClick() {
    const QString path = AskExportFile();
    if (path.isEmpty()) return;
    QString text;
    bool failed = false;
    std::string error;
    const auto store = journal_.ReadLocal(error);
    if (!store) {
        failed = true;
        text = error.empty() ? QStringLiteral("В журнале станции ещё нет записей: файл %1 не записан.")
                                   .arg(QDir::toNativeSeparators(path))
                             : QStringLiteral("Журнал %1 не читается: %2")
                                   .arg(QString::fromStdString(journal_.Settings().file), QString::fromStdString(error));
    } else {
        const journal::CsvFileResult out = journal::WriteCsvFile(*store, Filter(), path.toStdString());
        failed = !out.written;
        if (failed)
            text = QStringLiteral("Файл %1 не записан: %2")
                       .arg(QDir::toNativeSeparators(path), QString::fromStdString(out.error));
        else
            text = QStringLiteral("Записей в файле %1: %2.").arg(QDir::toNativeSeparators(path)).arg(out.records);
        if (out.skipped) text += QStringLiteral("\nПропущено повреждённых записей: %1.").arg(out.skipped);
    }
    QMessageBox box(failed ? QMessageBox::Warning : QMessageBox::Information, windowTitle(), text, QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("ExportResult"));
    RussianCaptions(box);
    box.exec();
}

} // namespace mrk::gui
