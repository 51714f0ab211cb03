#pragma once
// Pictures of the states an operator meets, for the operator's guide.
#include <QDir>

namespace mrk::gui {

// Writes guide-*.png into out (the current folder holds the settings file the
// production pictures use); false when a picture could not be taken.
bool TakeGuideScreenshots(const QDir& out);

} // namespace mrk::gui
