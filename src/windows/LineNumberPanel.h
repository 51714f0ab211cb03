#pragma once
// The line's next factory number in the main window ([Journal] Numbers=FROM-TO):
// the factory-number field is filled with it (the operator may type another),
// and the number in the field is shown large above it, to be written on the
// module's label. Without the setting nothing is shown and the field is the operator's.
#include <QLabel>
#include <QLineEdit>
#include <QObject>

namespace mrk {
class Station;
}

namespace mrk::gui {

class LineNumberPanel : public QObject {
    Q_OBJECT
public:
    // Placed in the main window's free space above the field.
    LineNumberPanel(QWidget* window, QLineEdit* field, Station& station);

    // Asks the journal for the next free number and puts it into the field (production
    // mode, with the setting); hides the panel otherwise. After start and after every cycle.
    void Refill(bool production);

    QLabel* Number() const { return number_; }
    QLabel* Caption() const { return caption_; }

private:
    void Mirror();

    QLineEdit* field_;
    Station& station_;
    QLabel* caption_;
    QLabel* number_;
    bool shown_ = false;
};

} // namespace mrk::gui
