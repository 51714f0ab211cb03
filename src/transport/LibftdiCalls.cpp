#include "transport/LibftdiCalls.h"

#include <ftdi.h>

#include <vector>

namespace mrk {

namespace {

class RealLibftdi : public LibftdiCalls {
public:
    explicit RealLibftdi(ftdi_context* c) : ctx_(c) {}
    ~RealLibftdi() override {
        if (open_) ftdi_usb_close(ctx_);
        FreeList();
        ftdi_free(ctx_);
    }
    RealLibftdi(const RealLibftdi&) = delete;
    RealLibftdi& operator=(const RealLibftdi&) = delete;

    int FindAll() override {
        FreeList();
        // Vendor and product 0: every FTDI chip libftdi knows.
        const int n = ftdi_usb_find_all(ctx_, &list_, 0, 0);
        if (n < 0) return n;
        devices_.clear();
        for (auto* p = list_; p; p = p->next) devices_.push_back(p->dev);
        return static_cast<int>(devices_.size());
    }
    int GetDescription(int index, char* buf, int len) override {
        if (index < 0 || index >= static_cast<int>(devices_.size())) return -99;
        return ftdi_usb_get_strings(ctx_, devices_[static_cast<size_t>(index)], nullptr, 0, buf, len, nullptr, 0);
    }
    int GetSerial(int index, char* buf, int len) override {
        if (index < 0 || index >= static_cast<int>(devices_.size())) return -99;
        return ftdi_usb_get_strings(ctx_, devices_[static_cast<size_t>(index)], nullptr, 0, nullptr, 0, buf, len);
    }
    int OpenDev(int index) override {
        if (index < 0 || index >= static_cast<int>(devices_.size())) return -99;
        const int rc = ftdi_usb_open_dev(ctx_, devices_[static_cast<size_t>(index)]);
        open_ = rc == 0;
        return rc;
    }
    int Close() override {
        if (!open_) return 0;
        open_ = false;
        return ftdi_usb_close(ctx_);
    }
    int SetBitmode(uint8_t mask, uint8_t mode) override { return ftdi_set_bitmode(ctx_, mask, mode); }
    int SetLatencyTimer(uint8_t ms) override { return ftdi_set_latency_timer(ctx_, ms); }
    int SetBaudrate(int baud) override { return ftdi_set_baudrate(ctx_, baud); }
    void SetTimeouts(int readMs, int writeMs) override {
        ctx_->usb_read_timeout = readMs;
        ctx_->usb_write_timeout = writeMs;
    }
    int FlushRx() override { return ftdi_tciflush(ctx_); }
    int WriteData(const uint8_t* data, int size) override { return ftdi_write_data(ctx_, data, size); }
    int ReadData(uint8_t* data, int size) override { return ftdi_read_data(ctx_, data, size); }
    int WriteReadData(const uint8_t* out, int size, int& written, uint8_t* in, int want) override {
        written = 0;
        // The read first: it must be waiting before the chip has read-back to send.
        ftdi_transfer_control* rd = ftdi_read_data_submit(ctx_, in, want);
        if (!rd) return -1;
        ftdi_transfer_control* wr = ftdi_write_data_submit(ctx_, const_cast<uint8_t*>(out), size);
        const int w = wr ? ftdi_transfer_data_done(wr) : -1;
        const int r = ftdi_transfer_data_done(rd);
        if (w < 0) return w;
        written = w;
        return r;
    }
    int PollStatus() override {
        unsigned short status = 0;
        return ftdi_poll_modem_status(ctx_, &status);
    }
    std::string ErrorString() override {
        const char* s = ftdi_get_error_string(ctx_);
        return s ? s : "";
    }

private:
    void FreeList() {
        if (list_) ftdi_list_free(&list_);
        list_ = nullptr;
        devices_.clear();
    }

    ftdi_context* ctx_;
    ftdi_device_list* list_ = nullptr;
    std::vector<libusb_device*> devices_;
    bool open_ = false;
};

} // namespace

std::unique_ptr<LibftdiCalls> MakeLibftdiCalls() {
    ftdi_context* c = ftdi_new();
    if (!c) return nullptr;
    return std::make_unique<RealLibftdi>(c);
}

} // namespace mrk
