#pragma once
// libftdi1 as it drives the bench's FTDI chip: the calls of the project's
// libftdi driver, with libftdi1's own behaviour where it differs from the
// vendor's D2XX driver. There is no driver reading ahead: the chip's read-back
// reaches the host only during a read call, one bulk transfer of it, which
// ends at the first packet that is not full (one the latency timer sent);
// a read with nothing on its way comes back empty when the timer runs out.
// A write ends when the chip has taken all of it, which in synchronous
// bit-bang it cannot while its receive buffer is full and nobody reads.
// In bit-bang mode libftdi1 sets the chip's divisor for four times the rate
// it is given.
#include <string>
#include <vector>

#include "sim/VirtualFtdi.h"
#include "transport/LibftdiCalls.h"

namespace mrk::sim {

class VirtualLibftdi : public LibftdiCalls {
public:
    VirtualLibftdi(VirtualFtdi& chip, SimClock& clock) : chips_{&chip}, chip_(&chip), clock_(clock) {}
    // Several chips on the bus (several Surtans): the one opened serves the calls.
    VirtualLibftdi(std::vector<VirtualFtdi*> chips, SimClock& clock)
        : chips_(std::move(chips)), chip_(chips_.front()), clock_(clock) {}

    int FindAll() override;
    int GetDescription(int index, char* buf, int len) override;
    int GetSerial(int index, char* buf, int len) override;
    int OpenDev(int index) override;
    int Close() override;
    int SetBitmode(uint8_t mask, uint8_t mode) override;
    int SetLatencyTimer(uint8_t ms) override;
    int SetBaudrate(int baud) override;
    void SetTimeouts(int readMs, int writeMs) override;
    int FlushRx() override;
    int WriteData(const uint8_t* data, int size) override;
    int ReadData(uint8_t* data, int size) override;
    int WriteReadData(const uint8_t* out, int size, int& written, uint8_t* in, int want) override;
    int PollStatus() override;
    std::string ErrorString() override { return error_; }

private:
    int Fail(int code, const char* what);
    // ftdi_usb_get_strings for one of the two strings.
    int String(int index, char* buf, int len, bool serial);

    // The chips the last FindAll found, in the order it listed them.
    std::vector<VirtualFtdi*> found_;
    std::vector<VirtualFtdi*> chips_;
    VirtualFtdi* chip_;
    SimClock& clock_;
    FtHandleValue handle_ = nullptr;
    bool bitBang_ = false;
    std::string error_;
};

} // namespace mrk::sim
