#include "windows/TForm_otladka.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

#include "core/Context.h"
#include "windows/SpeedButton.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QToolButton* Button(QWidget* parent, const char* name, const QString& caption, bool checkable = false) {
    auto* b = MakeSpeedButton(parent, caption, QString::fromLatin1(name));
    b->setCheckable(checkable);
    b->setMinimumWidth(110);
    return b;
}

} // namespace

TForm_otladka::TForm_otladka(TProg12& main) : QDialog(&main), ctx_(main.ctx()) {
    setObjectName("Form_otladka");
    setWindowTitle("Отладка  оборудования.");
    setModal(true);
    auto* grid = new QGridLayout(this);

    using Handler = void (*)(Context&, DebugForm&);
    struct Line {
        const char* name;
        const char* caption;
        Handler handler;
    };
    const Line lines[] = {
        {"SpeedButton1", "MCLR", debugform::SpeedButton1Click},
        {"SpeedButton2", "RB6", debugform::SpeedButton2Click},
        {"SpeedButton3", "RB7", debugform::SpeedButton3Click},
        {"SpeedButton4", "WR_Zad", debugform::SpeedButton4Click},
        {"SpeedButton5", "RD_Zad", debugform::SpeedButton5Click},
    };
    int row = 0;
    for (const auto& l : lines) {
        auto* b = Button(this, l.name, l.caption);
        connect(b, &QToolButton::clicked, this, [this, h = l.handler] {
            h(ctx_, form_);
            label1_->setText(QString::fromStdString(form_.Label1));
        });
        grid->addWidget(b, row++, 0);
    }
    label1_ = new QLabel(QString::fromStdString(form_.Label1), this);
    label1_->setObjectName("Label1");
    grid->addWidget(label1_, row, 0, 1, 2);

    // The patterns: one radio group, so the running one stays down until "Завершить".
    const Line patterns[] = {
        {"Data", "8 байт->Чип", debugform::DataClick},
        {"Zad", "Гот.-?", debugform::ZadClick},
        {"SpeedButton7", "Задержка", debugform::SpeedButton7Click},
        {"SpeedButton8", "1 байт->Чип", debugform::SpeedButton8Click},
    };
    auto* group = new QButtonGroup(this);
    row = 0;
    for (const auto& p : patterns) {
        auto* b = Button(this, p.name, p.caption, true);
        group->addButton(b);
        connect(b, &QToolButton::clicked, this, [this, h = p.handler] { h(ctx_, form_); });
        grid->addWidget(b, row++, 1);
    }
    auto* stop = Button(this, "Zaverch", "Завершить", true);
    group->addButton(stop);
    connect(stop, &QToolButton::clicked, this, [this] { debugform::ZaverchClick(form_); });
    grid->addWidget(stop, row, 1);
}

void TForm_otladka::done(int r) {
    debugform::FormClose(form_);
    QDialog::done(r);
}

} // namespace mrk::gui
