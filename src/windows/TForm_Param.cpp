#include "windows/TForm_Param.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "app/ImageAccess.h"
#include "app/ParamCommands.h"
#include "core/Context.h"
#include "image/FileCommands.h"
#include "windows/KeyFilter.h"
#include "windows/NameOnlyIcons.h"
#include "windows/TProg12.h"
#include "ui_TForm_Param.h"

namespace mrk::gui {

TForm_Param::TForm_Param(TProg12& main)
    : QDialog(&main), ctx_(main.ctx()), main_(&main), ui_(std::make_unique<Ui::TForm_Param>()) {
    // The form (TForm_Param.ui) is 28 px wider than the band once was: the widest
    // module number ("HEX=FFFFFFFF") shows whole.
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Index 0: the update file, 1: boot loader 4620, 2: boot loader 452.
    paths_ = {ui_->Edit1, ui_->Edit2, ui_->Edit5};
    browse_ = {ui_->SpeedButton17, ui_->SpeedButton1, ui_->SpeedButton8};
    const char* const filters[3] = {"Intel *.hex/*.crp (*.hex *.crp)", "Intel  *.hex/*.crp (*.hex *.crp)",
                                    "Intel *.hex/*.crp (*.hex *.crp)"};
    for (int k = 0; k < 3; ++k) {
        browse_[k]->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        dialogs_[k] = new QFileDialog(this, "", "", filters[k]);
        dialogs_[k]->setObjectName(QString("OpenDialog%1").arg(k + 1));
        dialogs_[k]->setOption(QFileDialog::DontUseNativeDialog, true);
        // The folders it lists are never opened file by file (see NameOnlyIcons).
        dialogs_[k]->setIconProvider(NameOnlyIcons::Shared());
        dialogs_[k]->setFileMode(QFileDialog::ExistingFile);
        // The field follows the selection while browsing and keeps it if the dialog is cancelled.
        connect(dialogs_[k], &QFileDialog::currentChanged, this, [this, k](const QString& path) {
            if (QFileInfo(path).isFile()) {
                paths_[k]->setText(path);
                PathOf(k) = path.toStdString();
            }
        });
        connect(browse_[k], &QToolButton::clicked, this, [this, k] { dialogs_[k]->exec(); });
        connect(paths_[k], &QLineEdit::textEdited, this, [this, k](const QString& t) { PathOf(k) = t.toStdString(); });
    }

    label9_ = ui_->Label9;
    label11_ = ui_->Label11;
    edit4_ = ui_->Edit4;
    edit4_->setMaxLength(param::kEdit4MaxLength);
    edit4_->installEventFilter(this);
    // The fields are taken as typed: a button pressed before Enter or the close
    // refreshes them from these values, not from the ones of the last showing.
    connect(edit4_, &QLineEdit::textChanged, this, [this](const QString& t) { form_.Edit4 = t.toStdString(); });

    edit3_ = ui_->Edit3;
    connect(edit3_, &QLineEdit::textChanged, this, [this](const QString& t) { form_.Edit3 = t.toStdString(); });
    QToolButton* aktivation = ui_->SpeedButton3;
    service_ = {ui_->SpeedButton2, ui_->SpeedButton4, ui_->SpeedButton5, ui_->SpeedButton6,
                ui_->SpeedButton7, ui_->SpeedButton21, ui_->SpeedButton22};
    obnovl_ = ui_->Obnovl;

    connect(aktivation, &QToolButton::clicked, this, [this] {
        form_.Edit3 = edit3_->text().toStdString();
        ApplyToMainWindow(param::SpeedButton3Click(ctx_, form_));
        Refresh();
    });
    connect(service_[1], &QToolButton::clicked, this, [this] { ApplyToMainWindow(param::SpeedButton4Click()); });
    connect(service_[5], &QToolButton::clicked, this, [this] {
        param::SpeedButton21Click(ctx_, form_);
        Refresh();
    });
    connect(service_[6], &QToolButton::clicked, this, [this] {
        param::SpeedButton22Click(ctx_, form_);
        Refresh();
    });
    connect(service_[0], &QToolButton::clicked, this, [this] { ParamDateTimeClick(ctx_); });
    connect(service_[4], &QToolButton::clicked, this, [this] {
        setCursor(Qt::WaitCursor);
        // The stamp says in the log what it wrote, or why not.
        (void)ParamUstanovitClick(ctx_);
        unsetCursor();
    });
    connect(obnovl_, &QCheckBox::toggled, this, [this](bool on) { ctx_.commands.Obnovl = on; });
    obnovl_->setChecked(ctx_.commands.Obnovl);
    Refresh();
}

TForm_Param::~TForm_Param() = default;

std::string& TForm_Param::PathOf(int k) {
    return k == 0 ? ctx_.image.UpdatePath : (k == 1 ? ctx_.image.BootPath4620 : ctx_.image.BootPath452);
}

void TForm_Param::ApplyToMainWindow(const MainVisibility& v) {
    if (!main_) return;
    for (const auto& [name, visible] : v)
        if (auto* w = main_->findChild<QWidget*>(QString::fromStdString(name))) w->setVisible(visible);
}

bool TForm_Param::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edit4_ && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            form_.Edit4 = edit4_->text().toStdString();
            if (!param::SetAdrCom(ctx_, form_)) {
                edit4_->clear();
                setFocus();
            }
            return true;
        }
        if (k->key() == Qt::Key_Backspace) return true;
        const QString t = k->text();
        if (IsTypedCharacter(*k) && (t.size() != 1 || !param::Edit4KeyPress(t.at(0).unicode()))) return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TForm_Param::showEvent(QShowEvent* e) {
    param::FormShow(ctx_, form_);
    for (int k = 0; k < 3; ++k) paths_[k]->setText(QString::fromStdString(PathOf(k)));
    obnovl_->setChecked(ctx_.commands.Obnovl);
    Refresh();
    QDialog::showEvent(e);
}

void TForm_Param::done(int r) {
    form_.Edit4 = edit4_->text().toStdString();
    // A missing port address was said in its box; the update's load says in the
    // status line how it went. The window closes either way.
    (void)param::FormClose(ctx_, form_, [this] { (void)mrk::LoadEmbeddedUpdate(ImageLoadOf(ctx_)); });
    Refresh();
    QDialog::done(r);
}

void TForm_Param::Refresh() {
    const bool visible[7] = {form_.SpeedButton2Visible, form_.SpeedButton4Visible, form_.SpeedButton5Visible,
                             form_.SpeedButton6Visible, form_.SpeedButton7Visible, form_.SpeedButton21Visible,
                             form_.SpeedButton22Visible};
    for (int k = 0; k < 7; ++k) service_[k]->setVisible(visible[k]);
    obnovl_->setVisible(form_.ObnovlVisible);
    const bool enabled[3] = {form_.updatePathEnabled, form_.bootPathsEnabled, form_.bootPathsEnabled};
    for (int k = 0; k < 3; ++k) {
        paths_[k]->setEnabled(enabled[k]);
        browse_[k]->setEnabled(enabled[k]);
    }
    label9_->setText(QString::fromStdString(form_.Label9));
    label11_->setText(QString::fromStdString(form_.Label11));
    edit4_->setText(QString::fromStdString(form_.Edit4));
    edit3_->setText(QString::fromStdString(form_.Edit3));
}

} // namespace mrk::gui
