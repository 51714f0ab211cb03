#pragma once
// The few libftdi1 calls the libftdi1 driver makes, behind an interface so
// that the mapping onto them can be checked without a device.
#include <cstdint>
#include <memory>
#include <string>

namespace mrk {

class LibftdiCalls {
public:
    virtual ~LibftdiCalls() = default;
    // ftdi_usb_find_all over the FTDI chips libftdi knows: how many, or libftdi's negative code.
    [[nodiscard]] virtual int FindAll() = 0;
    // ftdi_usb_get_strings for the index-th device found: its description into buf.
    [[nodiscard]] virtual int GetDescription(int index, char* buf, int len) = 0;
    // The same call for its serial number.
    [[nodiscard]] virtual int GetSerial(int index, char* buf, int len) = 0;
    // ftdi_usb_open_dev on the index-th device found.
    [[nodiscard]] virtual int OpenDev(int index) = 0;
    [[nodiscard]] virtual int Close() = 0;
    [[nodiscard]] virtual int SetBitmode(uint8_t mask, uint8_t mode) = 0;
    [[nodiscard]] virtual int SetLatencyTimer(uint8_t ms) = 0;
    [[nodiscard]] virtual int SetBaudrate(int baud) = 0;
    // The context's usb_read_timeout and usb_write_timeout.
    virtual void SetTimeouts(int readMs, int writeMs) = 0;
    // ftdi_tciflush: drops what the chip holds for the host.
    [[nodiscard]] virtual int FlushRx() = 0;
    [[nodiscard]] virtual int WriteData(const uint8_t* data, int size) = 0;
    [[nodiscard]] virtual int ReadData(uint8_t* data, int size) = 0;
    // The write and a read of `want` bytes under way together (libftdi's
    // asynchronous transfers: ftdi_read_data_submit, ftdi_write_data_submit,
    // then ftdi_transfer_data_done on both): bytes read, or libftdi's negative
    // code; `written` says how much of the write the chip took.
    [[nodiscard]] virtual int WriteReadData(const uint8_t* out, int size, int& written, uint8_t* in, int want) = 0;
    // ftdi_poll_modem_status: a short exchange with the chip, which fails when it is gone.
    [[nodiscard]] virtual int PollStatus() = 0;
    virtual std::string ErrorString() = 0;
};

// The real library; nullptr if libftdi1 cannot even make a context.
std::unique_ptr<LibftdiCalls> MakeLibftdiCalls();

} // namespace mrk
