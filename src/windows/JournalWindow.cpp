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
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "journal/CsvExport.h"
#include "journal/ProductionJournal.h"
#include "windows/NameOnlyIcons.h"
#include "windows/RussianButtons.h"

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

QComboBox* Choice(QWidget* parent, const char* name, std::initializer_list<std::pair<const char*, const char*>> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const auto& [shown, value] : items) box->addItem(QString::fromUtf8(shown), QString::fromLatin1(value));
    return box;
}

QDateEdit* Day(QWidget* parent, const char* name) {
    auto* edit = new QDateEdit(QDate::currentDate(), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edit->setEnabled(false);
    return edit;
}

} // namespace

JournalWindow::JournalWindow(journal::ProductionJournal& journal, QWidget* parent)
    : QDialog(parent), journal_(journal) {
    setObjectName(QStringLiteral("JournalWindow"));
    setWindowTitle(QStringLiteral("Журнал производства"));
    setModal(true);

    SinceOn = new QCheckBox(QStringLiteral("с"), this);
    SinceOn->setObjectName(QStringLiteral("SinceOn"));
    Since = Day(this, "Since");
    UntilOn = new QCheckBox(QStringLiteral("по"), this);
    UntilOn->setObjectName(QStringLiteral("UntilOn"));
    Until = Day(this, "Until");
    Number = new QLineEdit(this);
    Number->setObjectName(QStringLiteral("Number"));
    Number->setValidator(new QIntValidator(1, 65535, Number));
    Number->setPlaceholderText(QStringLiteral("любой"));
    Number->setMaximumWidth(80);
    Result = Choice(this, "Result",
                    {{"любой", ""}, {"OK", "OK"}, {"X", "X"}, {"не закончена", "unfinished"}, {"X или не закончена", "failed"}});
    Kind = Choice(this, "Kind", {{"любой", ""}, {"цикл", "cycle"}, {"обновление", "update"}});
    Chip = Choice(this, "Chip", {{"любая", ""}, {"PIC18F452", "PIC18F452"}, {"PIC18F4620", "PIC18F4620"}});
    Conflicts = new QCheckBox(QStringLiteral("только конфликты номеров"), this);
    Conflicts->setObjectName(QStringLiteral("Conflicts"));
    Waiting = new QCheckBox(QStringLiteral("только не отправленные на сервер"), this);
    Waiting->setObjectName(QStringLiteral("Waiting"));
    PageSize = new QSpinBox(this);
    PageSize->setObjectName(QStringLiteral("PageSize"));
    PageSize->setRange(10, 1000);
    PageSize->setSingleStep(10);
    PageSize->setValue(kShownRecords);

    const QStringList headers = {QStringLiteral("Начало"),       QStringLiteral("Зав. N"),
                                 QStringLiteral("ModuleNumber"), QStringLiteral("Микросхема"),
                                 QStringLiteral("Программатор"), QStringLiteral("Серийный N"),
                                 QStringLiteral("Результат"),    QStringLiteral("Запись"),
                                 QStringLiteral("Вид")};
    Table = new QTableWidget(0, int(headers.size()), this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels(headers);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->setVisible(false);
    Table->horizontalHeader()->setStretchLastSection(true);

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto button = [this](const char* text, const char* name) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Newer = button("< Новее", "Newer");
    Older = button("Старше >", "Older");
    Export = button("Экспорт...", "Export");
    Export->setToolTip(QStringLiteral("Записать выбранные записи (все страницы) в файл CSV для таблиц"));
    Reload = button("Обновить", "Reload");
    Close = button("Закрыть", "Close");

    auto* filters = new QGridLayout;
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    filters->addWidget(label("Начало:"), 0, 0);
    auto* dates = new QHBoxLayout;
    dates->addWidget(SinceOn);
    dates->addWidget(Since);
    dates->addWidget(UntilOn);
    dates->addWidget(Until);
    dates->addStretch();
    filters->addLayout(dates, 0, 1);
    filters->addWidget(label("Зав. N:"), 0, 2);
    filters->addWidget(Number, 0, 3);
    filters->addWidget(label("Результат:"), 1, 0);
    auto* choices = new QHBoxLayout;
    choices->addWidget(Result);
    choices->addWidget(label("Вид:"));
    choices->addWidget(Kind);
    choices->addWidget(label("Микросхема:"));
    choices->addWidget(Chip);
    choices->addStretch();
    filters->addLayout(choices, 1, 1, 1, 3);
    auto* marks = new QHBoxLayout;
    marks->addWidget(Conflicts);
    marks->addWidget(Waiting);
    marks->addStretch();
    filters->addLayout(marks, 2, 1, 1, 3);

    auto* paging = new QHBoxLayout;
    paging->addWidget(Newer);
    paging->addWidget(Older);
    paging->addWidget(label("Записей на странице:"));
    paging->addWidget(PageSize);
    paging->addStretch();
    paging->addWidget(Export);
    paging->addWidget(Reload);
    paging->addWidget(Close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(Table);
    layout->addWidget(Status);
    layout->addLayout(paging);
    resize(900, 520);

    connect(SinceOn, &QCheckBox::toggled, Since, &QWidget::setEnabled);
    connect(UntilOn, &QCheckBox::toggled, Until, &QWidget::setEnabled);
    for (QCheckBox* box : {SinceOn, UntilOn, Conflicts, Waiting})
        connect(box, &QCheckBox::toggled, this, &JournalWindow::FirstPage);
    for (QDateEdit* edit : {Since, Until}) connect(edit, &QDateEdit::dateChanged, this, &JournalWindow::FirstPage);
    for (QComboBox* box : {Result, Kind, Chip})
        connect(box, &QComboBox::currentIndexChanged, this, &JournalWindow::FirstPage);
    connect(Number, &QLineEdit::textChanged, this, &JournalWindow::FirstPage);
    connect(PageSize, &QSpinBox::valueChanged, this, &JournalWindow::FirstPage);
    connect(Newer, &QPushButton::clicked, this, [this] { ShowPage(std::max<int64_t>(0, skip_ - PageSize->value())); });
    connect(Older, &QPushButton::clicked, this, [this] { ShowPage(skip_ + PageSize->value()); });
    connect(Export, &QPushButton::clicked, this, &JournalWindow::ExportClick);
    connect(Reload, &QPushButton::clicked, this, &JournalWindow::ReloadClick);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);

    FirstPage();
}

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

void JournalWindow::ReloadClick() { ShowPage(skip_); }

void JournalWindow::FirstPage() { ShowPage(0); }

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
