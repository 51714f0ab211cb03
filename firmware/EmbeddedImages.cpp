// The enciphered update images compiled into the program, by resource name.
#include "image/EmbeddedImages.h"

#include <cstddef>

namespace mrk::embedded {
extern const uint8_t DATAARRAY[];
extern const size_t DATAARRAY_size;
extern const uint8_t DATAARRAY1[];
extern const size_t DATAARRAY1_size;
} // namespace mrk::embedded

namespace mrk {

std::optional<std::span<const uint8_t>> FindImageResource(std::string_view name) {
    using namespace embedded;
    if (name == "DATAARRAY") return std::span<const uint8_t>(DATAARRAY, DATAARRAY_size);
    if (name == "DATAARRAY1") return std::span<const uint8_t>(DATAARRAY1, DATAARRAY1_size);
    return std::nullopt;
}

} // namespace mrk
