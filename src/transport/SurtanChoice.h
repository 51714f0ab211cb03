#pragma once
// Several Surtans on one station: each program uses the one it was given by its
// serial number, so that each drives its own programmer and module. The chosen
// Surtan is the only one the programmer search sees: the driver is wrapped so
// that the list holds only devices of that serial number and the open opens it
// by its serial number (FT_OpenEx with FT_OPEN_BY_SERIAL_NUMBER).
#include <memory>
#include <string>
#include <vector>

#include "transport/FtDevice.h"

namespace mrk {

class Surtan;

// A driver that can open a device by its serial number (beside FtDevice).
class FtSerialOpen {
public:
    virtual ~FtSerialOpen() = default;
    // FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle).
    [[nodiscard]] virtual FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) = 0;
};
// Opens by serial number through a driver that can; a driver that cannot finds no device.
[[nodiscard]] FtStatus OpenBySerial(FtDevice& device, const char* serial, FtHandleValue& handle);

// The context's driver, from now on showing only the Surtan of that serial number.
void ChooseSurtan(Surtan& surtan, const std::string& serial);
// The serial number chosen; empty when none was (the first Surtan found is used).
std::string ChosenSurtan(const Surtan& surtan);

// One FTDI device on the bus as its driver lists it.
struct FtdiListing {
    std::string description;
    std::string serial;
    std::string problem; // why its description could not be read (no permission ...); empty when it was
};
// Every FTDI device the context's driver sees (all of them, whichever was chosen),
// without any error box: a listing is not a programmer failing. error: why the bus
// could not be listed.
std::vector<FtdiListing> ListFtdiDevices(Surtan& surtan, std::string& error);

} // namespace mrk
