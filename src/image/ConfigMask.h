#pragma once
#include "image/ImageVars.h"

namespace mrk {

// Keeps only the configuration bits the loaders may set (the same masks for both
// chips); run after every successful image load.
void MaskConfigWrite(ImageVars& image);

} // namespace mrk
