#pragma once
// Pictures of the states an operator meets, for the operator's guide.
#include <QDir>

class QWidget;

namespace mrk::gui {

// Writes guide-*.png into out (the current folder holds the settings file the
// production pictures use); false when a picture could not be taken.
bool TakeGuideScreenshots(const QDir& out);

// Writes a picture of w as dir/name and prints its path; false (with a message) when it cannot.
bool SaveScreenshot(QWidget& w, const QDir& dir, const char* name);

} // namespace mrk::gui
