# Turns an enciphered image into a C++ source holding it as a byte array.
# Run with -DIN=<image> -DOUT=<.cpp> -DNAME=<resource name>.
file(READ "${IN}" bytes HEX)
string(LENGTH "${bytes}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.part"
"// Generated from ${IN}; do not edit.
#include <cstddef>
#include <cstdint>

namespace mrk::embedded {

extern const uint8_t ${NAME}[];
extern const size_t ${NAME}_size;
const uint8_t ${NAME}[] = {
${bytes}};
const size_t ${NAME}_size = ${size};

} // namespace mrk::embedded
")
file(RENAME "${OUT}.part" "${OUT}")
