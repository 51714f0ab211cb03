#pragma once
// The parsers of untrusted input, each as one function taking a byte string.
// libFuzzer drives them (built with -DMRK_FUZZ=ON and clang), and an ordinary
// test replays every input kept in fuzz/corpus/<target>/ through them. A target
// returns normally for any input; it stops the process (std::abort) only when a
// property that must hold for every input is broken.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mrk::fuzz {

// The Intel HEX reader of the firmware loads, on text of any content.
void HexReader(const uint8_t* data, size_t size);
// The .CRP path: the input enciphered into a .CRP file, loaded as a boot image
// (must give what reading the text as HEX gives) and as an update; and the raw
// input taken as a .CRP file itself.
void CrpLoad(const uint8_t* data, size_t size);
// The virtual module's HEX loader, for both chips; what loads must save and load
// back to the same memory.
void ModuleHex(const uint8_t* data, size_t size);
// mrkcrypt decipher; enciphering its output gives the input back.
void Decipher(const uint8_t* data, size_t size);

struct Target {
    const char* name; // also the corpus folder's name
    void (*run)(const uint8_t*, size_t);
};
const std::vector<Target>& Targets();

} // namespace mrk::fuzz
