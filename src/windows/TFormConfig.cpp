#include "windows/TFormConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/Context.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QToolButton* Button(QWidget* parent, const char* name, const QString& caption, bool checkable) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

QLineEdit* BitsField(QWidget* parent, const QString& name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setMaxLength(8);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance("00000000") + 16);
    return e;
}

} // namespace

TFormConfig::TFormConfig(TProg12& main) : QDialog(&main), ctx_(main.ctx()) {
    setObjectName("FormConfig");
    setWindowTitle("Чтение/запись слова конфигурации.");
    setModal(true);

    auto* rows = new QGridLayout;
    selectors_ = new QButtonGroup(this);
    selectors_->setExclusive(true);
    for (int k = 0; k < 16; ++k) {
        auto* label = new QLabel(kConfigReadLabels[static_cast<size_t>(k)], this);
        read_[k] = BitsField(this, QString("LabeledEdit%1").arg(k + 1));
        label->setBuddy(read_[k]);
        rows->addWidget(label, k, 0);
        rows->addWidget(read_[k], k, 1);
        if (k >= 14) continue;
        edit_[k] = BitsField(this, QString("Edit%1").arg(k + 1));
        selector_[k] = Button(this, kConfigSelectorButtons[static_cast<size_t>(k)], "Выбор", true);
        selectors_->addButton(selector_[k], k);
        rows->addWidget(edit_[k], k, 2);
        rows->addWidget(selector_[k], k, 3);
    }
    connect(selectors_, &QButtonGroup::idClicked, this, [this](int row) {
        configform::SelectorClick(ctx_, form_, row);
        Refresh();
    });

    // Bit 7 leftmost, each box under its bit number.
    auto* bits = new QGridLayout;
    for (int k = 7; k >= 0; --k) {
        const int col = 7 - k;
        bits->addWidget(new QLabel(QString::number(k), this), 0, col, Qt::AlignHCenter);
        bit_[k] = new QCheckBox(this);
        bit_[k]->setObjectName(QString("CheckBox%1").arg(k + 1));
        connect(bit_[k], &QCheckBox::toggled, this, [this, k](bool on) { form_.CheckBox[static_cast<size_t>(k)] = on; });
        bits->addWidget(bit_[k], 1, col, Qt::AlignHCenter);
    }

    auto* change = Button(this, "SpeedButton8", "Изменить выбранное слово", false);
    connect(change, &QToolButton::clicked, this, [this] { Run(configform::SpeedButton8Click); });

    izmConfig_ = Button(this, "IzmConfig", "Изменить конфигурацию", true);
    cancel_ = Button(this, "SpeedButton9", "Отмена", true);
    auto* mode = new QButtonGroup(this);
    mode->addButton(izmConfig_);
    mode->addButton(cancel_);
    connect(izmConfig_, &QToolButton::clicked, this, [this] { Run(configform::IzmConfigClick); });
    connect(cancel_, &QToolButton::clicked, this, [this] {
        configform::SpeedButton9Click(form_);
        Refresh();
    });

    write_ = Button(this, "SpeedButton2", "Запись слова конфигурации", false);
    connect(write_, &QToolButton::clicked, this, [this] {
        setCursor(Qt::WaitCursor);
        // The write's verdict is in the window's own log.
        (void)configform::SpeedButton2Click(ctx_, form_);
        unsetCursor();
        Refresh();
    });
    auto* read = Button(this, "ReadConfig", "Чтение слова конфигурации", false);
    connect(read, &QToolButton::clicked, this, [this] {
        setCursor(Qt::WaitCursor);
        configform::ReadConfigClick(ctx_, form_);
        unsetCursor();
        Refresh();
    });

    staticText1_ = new QLabel(this);
    staticText1_->setObjectName("StaticText1");
    staticText1_->setFrameShape(QFrame::Panel);
    staticText1_->setFrameShadow(QFrame::Sunken);
    staticText1_->setAlignment(Qt::AlignCenter);
    QFont big = staticText1_->font();
    big.setBold(true);
    staticText1_->setFont(big);
    staticText1_->setMinimumHeight(28);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("Memoconfig");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setMinimumWidth(520);

    auto* right = new QVBoxLayout;
    right->addLayout(bits);
    right->addWidget(change);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(izmConfig_);
    modeRow->addWidget(cancel_);
    right->addLayout(modeRow);
    right->addWidget(write_);
    right->addWidget(read);
    right->addWidget(staticText1_);
    right->addWidget(memo_, 1);

    auto* top = new QHBoxLayout(this);
    top->addLayout(rows);
    top->addLayout(right, 1);

    configform::FormShow(ctx_, form_);
    Refresh();
}

void TFormConfig::Run(void (*handler)(Context&, ConfigForm&)) {
    handler(ctx_, form_);
    Refresh();
}

void TFormConfig::showEvent(QShowEvent* e) {
    configform::FormShow(ctx_, form_);
    Refresh();
    QDialog::showEvent(e);
}

void TFormConfig::done(int r) {
    configform::FormClose(form_);
    Refresh();
    QDialog::done(r);
}

void TFormConfig::Refresh() {
    for (int k = 0; k < 16; ++k) read_[k]->setText(QString::fromStdString(form_.LabeledEdit[static_cast<size_t>(k)]));
    for (int k = 0; k < 14; ++k) {
        edit_[k]->setText(QString::fromStdString(form_.Edit[static_cast<size_t>(k)]));
        edit_[k]->setEnabled(form_.editsEnabled);
        selector_[k]->setEnabled(form_.selectorsEnabled);
    }
    if (form_.selectorDown >= 0) {
        selector_[form_.selectorDown]->setChecked(true);
    } else if (selectors_->checkedButton()) {
        selectors_->setExclusive(false);
        selectors_->checkedButton()->setChecked(false);
        selectors_->setExclusive(true);
    }
    for (int k = 0; k < 8; ++k) {
        const QSignalBlocker block(bit_[k]);
        bit_[k]->setChecked(form_.CheckBox[static_cast<size_t>(k)]);
    }
    (form_.IzmConfigDown ? izmConfig_ : cancel_)->setChecked(true);
    write_->setEnabled(form_.SpeedButton2Enabled);
    staticText1_->setText(QString::fromStdString(ctx_.prog.ConfigStaticText1));
    QStringList lines;
    for (const auto& l : form_.Memoconfig) lines << QString::fromStdString(l);
    if (memo_->toPlainText() != lines.join('\n')) memo_->setPlainText(lines.join('\n'));
}

} // namespace mrk::gui
