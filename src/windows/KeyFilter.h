#pragma once
// Field filters see only what the operator types. Under X11 editing keys carry
// key text too (Delete "\x7f", Ctrl+A "\x01"), which a filter must not take for
// a typed character, or the field could no longer be edited from the keyboard.
#include <QKeyEvent>

namespace mrk::gui {

inline bool IsTypedCharacter(const QKeyEvent& key) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = key.text();
    return !text.isEmpty() && text.at(0).isPrint();
}

} // namespace mrk::gui
