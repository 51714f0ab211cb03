#include "windows/JournalWindow.h"

#include <algorithm>
#include <exception>

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "journal/JournalStore.h"
#include "journal/ProductionJournal.h"

namespace mrk::gui {

namespace {

// "2026-12-10T14:08:53Z" in the station's own time; the text as stored if it is not a time.
QString LocalTime(const std::string& utc) {
    const QString text = QString::fromStdString(utc);
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) return text;
    return t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

JournalWindow::JournalWindow(journal::ProductionJournal& journal, QWidget* parent)
    : QDialog(parent), journal_(journal) {
    setObjectName(QStringLiteral("JournalWindow"));
    setWindowTitle(QStringLiteral("Журнал производства"));
    setModal(true);

    Table = new QTableWidget(0, 8, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels({QStringLiteral("Начало"), QStringLiteral("Зав. N"),
                                      QStringLiteral("ModuleNumber"), QStringLiteral("Микросхема"),
                                      QStringLiteral("Программатор"), QStringLiteral("Результат"),
                                      QStringLiteral("Запись"), QStringLiteral("Вид")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->setVisible(false);
    Table->horizontalHeader()->setStretchLastSection(true);

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Reload = new QPushButton(QStringLiteral("Обновить"), this);
    Reload->setObjectName(QStringLiteral("Reload"));
    Close = new QPushButton(QStringLiteral("Закрыть"), this);
    Close->setObjectName(QStringLiteral("Close"));
    connect(Reload, &QPushButton::clicked, this, &JournalWindow::ReloadClick);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Reload);
    buttons->addWidget(Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Table);
    layout->addWidget(Status);
    layout->addLayout(buttons);
    resize(760, 400);

    ReloadClick();
}

void JournalWindow::ReloadClick() {
    Table->setRowCount(0);
    const journal::JournalSettings& s = journal_.Settings();
    if (!s.enabled) {
        Status->setText(QStringLiteral("Журнал выключен в файле настроек ([Journal] Enabled=0)."));
        return;
    }
    std::vector<journal::JournalRecord> records;
    std::string error;
    try {
        journal::JournalStore* store = journal_.Local(error);
        if (!store) {
            Status->setText(QStringLiteral("Журнал %1 не читается: %2")
                                .arg(QString::fromStdString(s.file), QString::fromStdString(error)));
            return;
        }
        journal::ListFilter f;
        f.station = s.station;
        f.limit = kShownRecords;
        records = store->List(f);
    } catch (const std::exception& e) {
        Status->setText(QStringLiteral("Журнал %1 не читается: %2")
                            .arg(QString::fromStdString(s.file), QString::fromLocal8Bit(e.what())));
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
            QString::fromStdString(journal::ResultText(r)) +
                (r.conflict ? QStringLiteral(", конфликт номера") : QString()) +
                (!r.setAside.empty() ? QStringLiteral(", не принята сервером") : QString()),
            QString::fromStdString(journal::ShortUid(r)),
            r.kind == journal::RunKind::Cycle ? QStringLiteral("цикл") : QStringLiteral("обновление"),
        };
        for (int col = 0; col < 8; ++col) Table->setItem(row, col, Cell(cells[col]));
    }
    Table->resizeColumnsToContents();
    Status->setText(records.empty()
                        ? QStringLiteral("Станция %1: записей в журнале нет.").arg(QString::fromStdString(s.station))
                        : QStringLiteral("Станция %1: последние записи, новые сверху (%2).")
                              .arg(QString::fromStdString(s.station))
                              .arg(records.size()));
}

} // namespace mrk::gui
