#include "windows/TFormConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/ImageAccess.h"
#include "core/Context.h"
#include "windows/TProg12.h"
#include "ui_TFormConfig.h"

namespace mrk::gui {

TFormConfig::TFormConfig(TProg12& main)
    : QDialog(&main), ctx_(main.ctx()), ui_(std::make_unique<Ui::TFormConfig>()) {
    ui_->setupUi(this);

    QLineEdit* const read[16] = {ui_->LabeledEdit1,  ui_->LabeledEdit2,  ui_->LabeledEdit3,  ui_->LabeledEdit4,
                                 ui_->LabeledEdit5,  ui_->LabeledEdit6,  ui_->LabeledEdit7,  ui_->LabeledEdit8,
                                 ui_->LabeledEdit9,  ui_->LabeledEdit10, ui_->LabeledEdit11, ui_->LabeledEdit12,
                                 ui_->LabeledEdit13, ui_->LabeledEdit14, ui_->LabeledEdit15, ui_->LabeledEdit16};
    QLineEdit* const edit[14] = {ui_->Edit1, ui_->Edit2,  ui_->Edit3,  ui_->Edit4,  ui_->Edit5,  ui_->Edit6,  ui_->Edit7,
                                 ui_->Edit8, ui_->Edit9, ui_->Edit10, ui_->Edit11, ui_->Edit12, ui_->Edit13, ui_->Edit14};
    // Row by row, in the order of the bytes they select.
    QToolButton* const selector[14] = {ui_->SpeedButton1,  ui_->SpeedButton3,  ui_->SpeedButton4,  ui_->SpeedButton5,
                                       ui_->SpeedButton6,  ui_->SpeedButton7,  ui_->SpeedButton10, ui_->SpeedButton11,
                                       ui_->SpeedButton12, ui_->SpeedButton13, ui_->SpeedButton14, ui_->SpeedButton15,
                                       ui_->SpeedButton16, ui_->SpeedButton17};
    QCheckBox* const bit[8] = {ui_->CheckBox1, ui_->CheckBox2, ui_->CheckBox3, ui_->CheckBox4,
                               ui_->CheckBox5, ui_->CheckBox6, ui_->CheckBox7, ui_->CheckBox8};
    // Each bits field just fits eight digits in its font.
    const auto fitBits = [](QLineEdit* e) { e->setFixedWidth(e->fontMetrics().horizontalAdvance("00000000") + 16); };
    for (int k = 0; k < 16; ++k) {
        read_[k] = read[k];
        fitBits(read_[k]);
    }
    selectors_ = new QButtonGroup(this);
    selectors_->setExclusive(true);
    for (int k = 0; k < 14; ++k) {
        edit_[k] = edit[k];
        fitBits(edit_[k]);
        selector_[k] = selector[k];
        selectors_->addButton(selector_[k], k);
    }
    connect(selectors_, &QButtonGroup::idClicked, this, [this](int row) {
        configform::SelectorClick(ConfigAccessOf(ctx_), form_, row);
        Refresh();
    });

    for (int k = 0; k < 8; ++k) {
        bit_[k] = bit[k];
        connect(bit_[k], &QCheckBox::toggled, this, [this, k](bool on) { form_.CheckBox[static_cast<size_t>(k)] = on; });
    }

    connect(ui_->SpeedButton8, &QToolButton::clicked, this, [this] { Run(configform::ChangeSelectedByte); });

    izmConfig_ = ui_->IzmConfig;
    cancel_ = ui_->SpeedButton9;
    auto* mode = new QButtonGroup(this);
    mode->addButton(izmConfig_);
    mode->addButton(cancel_);
    connect(izmConfig_, &QToolButton::clicked, this, [this] { Run(configform::BeginChange); });
    connect(cancel_, &QToolButton::clicked, this, [this] {
        configform::CancelChange(form_);
        Refresh();
    });

    write_ = ui_->SpeedButton2;
    connect(write_, &QToolButton::clicked, this, [this] {
        setCursor(Qt::WaitCursor);
        // The write's verdict is in the window's own log.
        (void)configform::WriteEditedConfig(ConfigAccessOf(ctx_), form_);
        unsetCursor();
        Refresh();
    });
    connect(ui_->ReadConfig, &QToolButton::clicked, this, [this] {
        setCursor(Qt::WaitCursor);
        configform::ReadChipConfig(ConfigAccessOf(ctx_), form_);
        unsetCursor();
        Refresh();
    });

    staticText1_ = ui_->StaticText1;
    memo_ = ui_->Memoconfig;

    configform::FormShow(ConfigAccessOf(ctx_), form_);
    Refresh();
}

TFormConfig::~TFormConfig() = default;

void TFormConfig::Run(void (*handler)(const ConfigAccess&, ConfigForm&)) {
    handler(ConfigAccessOf(ctx_), form_);
    Refresh();
}

void TFormConfig::showEvent(QShowEvent* e) {
    configform::FormShow(ConfigAccessOf(ctx_), form_);
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
