#pragma once
// Speed buttons of the windows: flat-looking tool buttons. A grouped one is
// checkable and sits in an exclusive button group, so setting one down raises the
// others of its group; its hidden partner takes the "down" state when the command
// ends, which pops the command button back up.
#include <QButtonGroup>
#include <QToolButton>

namespace mrk::gui {

inline QToolButton* MakeSpeedButton(QWidget* parent, const QString& caption, const QString& name) {
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setObjectName(name);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus); // speed buttons never take the focus
    return b;
}

inline QToolButton* MakeGroupedSpeedButton(QWidget* parent, QButtonGroup* group, const QString& caption,
                                           const QString& name) {
    QToolButton* b = MakeSpeedButton(parent, caption, name);
    b->setCheckable(true);
    group->addButton(b);
    return b;
}

} // namespace mrk::gui
