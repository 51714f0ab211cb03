#include "windows/TForm_Param.h"

#include "windows/TProg12.h"

namespace mrk::gui {

TForm_Param::TForm_Param(TProg12& main) : QDialog(&main), main_(main) {
    setObjectName(QStringLiteral("Form_Param"));
    setWindowTitle(QStringLiteral("Путь доступа к загрузочным файлам."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(642, 189);
}

} // namespace mrk::gui
