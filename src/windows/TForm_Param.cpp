#include "windows/TForm_Param.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "app/ParamCommands.h"
#include "core/Context.h"
#include "image/FileCommands.h"
#include "windows/KeyFilter.h"
#include "windows/SpeedButton.h"
#include "windows/TProg12.h"

namespace mrk::gui {

namespace {

QToolButton* Button(QWidget* parent, const char* name, const QString& caption, const QString& hint = {}) {
    auto* b = MakeSpeedButton(parent, caption, QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

QFrame* RedRule(QWidget* parent, int y) {
    auto* f = new QFrame(parent);
    f->setGeometry(4, y, 634, 2);
    f->setStyleSheet("background: red;");
    return f;
}

} // namespace

TForm_Param::TForm_Param(TProg12& main) : QDialog(&main), ctx_(main.ctx()), main_(&main) {
    setObjectName("Form_Param");
    setWindowTitle("Путь доступа к загрузочным файлам.");
    setModal(true);
    setFixedSize(642, 189);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    struct Row {
        const char* label;
        const char* labelText;
        const char* edit;
        const char* button;
        const char* hint;
        const char* filter;
        int y;
    };
    // Index 0: the update file, 1: boot loader 4620, 2: boot loader 452.
    const Row rows[3] = {
        {"Label5", "Путь поиска и имя файла програмной памяти:", "Edit1", "SpeedButton17", "*.hex/*crp",
         "Intel *.hex/*.crp (*.hex *.crp)", 92},
        {"Label3", "Путь и имя файла BOOT загрузчика 4620:", "Edit2", "SpeedButton1", "*.hex/*.crp",
         "Intel  *.hex/*.crp (*.hex *.crp)", 4},
        {"Label2", "Путь и имя файла BOOT загрузчика 452:", "Edit5", "SpeedButton8", "*.hex/*.crp",
         "Intel *.hex/*.crp (*.hex *.crp)", 44},
    };
    for (int k = 0; k < 3; ++k) {
        const Row& r = rows[k];
        auto* label = new QLabel(r.labelText, this);
        label->setObjectName(r.label);
        label->setGeometry(8, r.y, 400, 16);
        paths_[k] = new QLineEdit(this);
        paths_[k]->setObjectName(r.edit);
        paths_[k]->setGeometry(8, r.y + 17, 596, 21);
        browse_[k] = Button(this, r.button, "", r.hint);
        browse_[k]->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        browse_[k]->setToolButtonStyle(Qt::ToolButtonIconOnly);
        browse_[k]->setGeometry(610, r.y + 16, 24, 23);
        dialogs_[k] = new QFileDialog(this, "", "", r.filter);
        dialogs_[k]->setObjectName(QString("OpenDialog%1").arg(k + 1));
        dialogs_[k]->setOption(QFileDialog::DontUseNativeDialog, true);
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
    RedRule(this, 86);
    RedRule(this, 133);

    // The band: factory number, K/N, port address, service buttons.
    auto* label10 = new QLabel(" Зав.N", this);
    label10->setObjectName("Label10");
    label10->setGeometry(4, 140, 40, 18);
    label9_ = new QLabel(this);
    label9_->setObjectName("Label9");
    label9_->setGeometry(44, 140, 172, 18);
    label9_->setStyleSheet("background: white;");
    auto* label12 = new QLabel("   Зав.", this);
    label12->setObjectName("Label12");
    label12->setGeometry(218, 140, 36, 18);
    label11_ = new QLabel(this);
    label11_->setObjectName("Label11");
    label11_->setGeometry(254, 140, 18, 18);
    label11_->setStyleSheet("background: white;");
    label11_->setAlignment(Qt::AlignCenter);
    auto* label1 = new QLabel("Адрес LPT порта (HEX)", this);
    label1->setObjectName("Label1");
    label1->setGeometry(276, 140, 152, 18);
    edit4_ = new QLineEdit(this);
    edit4_->setObjectName("Edit4");
    edit4_->setMaxLength(param::kEdit4MaxLength);
    edit4_->setGeometry(430, 139, 44, 21);
    edit4_->installEventFilter(this);
    // The fields are taken as typed: a button pressed before Enter or the close
    // refreshes them from these values, not from the ones of the last showing.
    connect(edit4_, &QLineEdit::textChanged, this, [this](const QString& t) { form_.Edit4 = t.toStdString(); });

    service_[2] = Button(this, "SpeedButton5", "Rd SN", "Прочитать серийный номер программатора");
    service_[3] = Button(this, "SpeedButton6", "Rd UN", "Прочитать уникальный номер программатора");
    service_[5] = Button(this, "SpeedButton21", "Set K");
    service_[6] = Button(this, "SpeedButton22", "Set N");
    service_[2]->setGeometry(478, 138, 38, 22);
    service_[3]->setGeometry(518, 138, 38, 22);
    service_[5]->setGeometry(558, 138, 38, 22);
    service_[6]->setGeometry(598, 138, 38, 22);

    // Bottom row: access code and the service commands.
    edit3_ = new QLineEdit(this);
    edit3_->setObjectName("Edit3");
    edit3_->setGeometry(8, 164, 90, 21);
    connect(edit3_, &QLineEdit::textChanged, this, [this](const QString& t) { form_.Edit3 = t.toStdString(); });
    auto* aktivation = Button(this, "SpeedButton3", "Aktivation");
    aktivation->setGeometry(100, 163, 70, 23);
    service_[1] = Button(this, "SpeedButton4", "Aktivation 2");
    service_[1]->setGeometry(172, 163, 80, 23);
    obnovl_ = new QCheckBox("Обновление", this);
    obnovl_->setObjectName("Obnovl");
    obnovl_->setGeometry(260, 165, 100, 20);
    service_[0] = Button(this, "SpeedButton2", "DateTime");
    service_[0]->setGeometry(370, 163, 70, 23);
    service_[4] = Button(this, "SpeedButton7", "Установить");
    service_[4]->setGeometry(442, 163, 80, 23);

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

std::string& TForm_Param::PathOf(int k) {
    return k == 0 ? ctx_.image.Edit1 : (k == 1 ? ctx_.image.Edit2 : ctx_.image.Edit5);
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
    (void)param::FormClose(ctx_, form_, [this] { (void)mrk::SpeedButton7Click(ctx_); });
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
