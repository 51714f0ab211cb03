#pragma once
// The Intel HEX reader shared by the plain and the enciphered loaders.
#include <istream>
#include <string>

#include "image/FirmwareImages.h"

namespace mrk {

class Host;

// Whether configuration records (under upper address 0x0030) reach ConfigWrite.
enum class ConfigRecords { Store, Drop };

enum class HexLine { Next, End, Bad };

// Reads one file's records line by line into BuffEt and ConfigWrite.
class HexLineReader {
public:
    HexLineReader(FirmwareImages& image, ConfigRecords config) : image_(image), config_(config) {}
    // One line as read from the text (a trailing CR is ignored).
    HexLine Read(std::string line);

private:
    // The region the last extended address record named, by the low byte of the
    // upper address. Only program memory and configuration have a place here.
    enum class Upper { Program, Config, IdLocations, Eeprom };

    HexLine ReadData(const std::string& line, bool store);
    HexLine ReadConfig(const std::string& line);

    FirmwareImages& image_;
    ConfigRecords config_;
    bool configArea_ = false; // set by the first configuration address, never cleared
    Upper upper_ = Upper::Program;
};

// Reads the text up to its end-of-file record. Returns 0, or -1 after logging
// "Ошибка формата или КС" for the first bad line or for a text that ends without
// a valid end record (records before that stay in place); a read error is shown
// in a message box naming the file and gives -1.
// Neither clears BuffEt nor masks ConfigWrite.
[[nodiscard]] int ReadHexText(FirmwareImages& images, Host& host, std::istream& in, ConfigRecords config, const std::string& name);

} // namespace mrk
