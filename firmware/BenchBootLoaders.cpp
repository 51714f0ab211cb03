// The demo boot loaders' HEX text built into the program for the virtual bench.
#include "sim/FactoryBootLoader.h"

#include <cstddef>

namespace mrk::embedded {
extern const uint8_t BENCH_BOOT_452[];
extern const size_t BENCH_BOOT_452_size;
extern const uint8_t BENCH_BOOT_4620[];
extern const size_t BENCH_BOOT_4620_size;
} // namespace mrk::embedded

namespace mrk::sim {

std::string_view FactoryBootLoaderHex(ChipModel chip) {
    using namespace embedded;
    if (chip == ChipModel::PIC18F452)
        return {reinterpret_cast<const char*>(BENCH_BOOT_452), BENCH_BOOT_452_size};
    return {reinterpret_cast<const char*>(BENCH_BOOT_4620), BENCH_BOOT_4620_size};
}

} // namespace mrk::sim
