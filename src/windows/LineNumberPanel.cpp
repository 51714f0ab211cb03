#include "windows/LineNumberPanel.h"

#include "app/Station.h"

namespace mrk::gui {

LineNumberPanel::LineNumberPanel(QWidget* window, QLineEdit* field, Station& station)
    : QObject(window), field_(field), station_(station), caption_(new QLabel(window)), number_(new QLabel(window)) {
    caption_->setObjectName(QStringLiteral("LineNumberCaption"));
    number_->setObjectName(QStringLiteral("LineNumber"));
    caption_->setGeometry(508, 64, 287, 30);
    caption_->setWordWrap(true);
    caption_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    number_->setGeometry(508, 94, 287, 62);
    number_->setAlignment(Qt::AlignCenter);
    QFont big = number_->font();
    big.setPointSize(34);
    big.setBold(true);
    number_->setFont(big);
    caption_->hide();
    number_->hide();
    // The number shown is the one the module will get: what the field holds now.
    connect(field_, &QLineEdit::textChanged, this, [this] { Mirror(); });
}

void LineNumberPanel::Mirror() {
    if (!shown_) return;
    const QString text = field_->text();
    number_->setText(text.isEmpty() ? QStringLiteral("—") : QStringLiteral("№ ") + text);
}

void LineNumberPanel::Refill(bool production) {
    auto& journal = station_.journal();
    shown_ = production && journal.Settings().enabled && journal.Settings().HandsOutNumbers();
    caption_->setVisible(shown_);
    number_->setVisible(shown_);
    if (!shown_) return;
    std::string why;
    const auto next = journal.NextNumber(why);
    const auto& s = journal.Settings();
    if (next) {
        caption_->setText(QStringLiteral("Заводской номер модуля (номера линии %1–%2):").arg(s.numbersFrom).arg(s.numbersTo));
        field_->setText(QString::number(*next));
    } else {
        // No number to offer: the operator types one, as without the setting.
        caption_->setText(QString::fromStdString(why));
        field_->clear();
    }
    Mirror();
}

} // namespace mrk::gui
