#include "windows/TFormConfig.h"

#include "windows/TProg12.h"

namespace mrk::gui {

TFormConfig::TFormConfig(TProg12& main) : QDialog(&main), main_(main) {
    setObjectName(QStringLiteral("FormConfig"));
    setWindowTitle(QStringLiteral("Чтение/запись слова конфигурации."));
    setModal(true);
}

} // namespace mrk::gui
