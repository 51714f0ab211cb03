#include "windows/TForm_otladka.h"

#include "windows/TProg12.h"

namespace mrk::gui {

TForm_otladka::TForm_otladka(TProg12& main) : QDialog(&main), main_(main) {
    setObjectName(QStringLiteral("Form_otladka"));
    setWindowTitle(QStringLiteral("Отладка  оборудования."));
    setModal(true);
}

} // namespace mrk::gui
