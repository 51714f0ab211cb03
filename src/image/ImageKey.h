#pragma once
// The 10-byte key under which the embedded images and the .CRP files in use are
// enciphered. Chosen at build time (CMake option MRK_IMAGE_KEY).
#include "image/Rc6w8r8b10.h"

namespace mrk {

extern const Rc6Key kImageKey;

// Parses 20 hexadecimal digits into a key; false when the text is not exactly that.
[[nodiscard]] bool ParseImageKey(const char* text, Rc6Key& key);

} // namespace mrk
