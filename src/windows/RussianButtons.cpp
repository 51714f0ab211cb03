#include "windows/RussianButtons.h"

#include <QMessageBox>
#include <QPushButton>

namespace mrk::gui {

QPushButton* RussianYesNo(QMessageBox& box) {
    QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    no->setFocus();
    return yes;
}

void RussianCaptions(QMessageBox& box) {
    static const struct {
        QMessageBox::StandardButton which;
        const char* caption;
    } kCaptions[] = {{QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Отмена"}, {QMessageBox::Yes, "Да"},
                     {QMessageBox::No, "Нет"}};
    for (const auto& c : kCaptions)
        if (QAbstractButton* b = box.button(c.which)) b->setText(QString::fromUtf8(c.caption));
}

} // namespace mrk::gui
