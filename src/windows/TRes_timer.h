#pragma once
// A small form that is never shown; it carries the millisecond tick the USB
// transport calibrates with (on the virtual bench, the bench's own clock).
#include <cstdint>

#include <QWidget>

namespace mrk::gui {

class TProg12;

class TRes_timer : public QWidget {
    Q_OBJECT
public:
    explicit TRes_timer(TProg12& main);

    // Milliseconds since an arbitrary start, 32-bit, wrapping.
    uint32_t TickCount() const;

private:
    TProg12& main_;
};

} // namespace mrk::gui
