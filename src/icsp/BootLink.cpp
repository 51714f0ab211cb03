#include "icsp/BootLink.h"

#include <algorithm>

#include "core/Format.h"
#include "icsp/Icsp.h"
#include "icsp/ReadyForecast.h"
#include "transport/Surtan.h"

namespace mrk {

namespace {

constexpr uint8_t kSyncBytes[] = {0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C};

// n handshakes; false at the first the programmer did not answer.
bool Handshakes(Line& line, int n) {
    for (int k = 0; k < n; ++k)
        if (!line.Handshake()) return false;
    return true;
}

// Resets the module and lets its boot loader start; false at the first step
// the programmer did not answer.
bool ResetModule(Line& line) {
    if (!line.SetVpp(1) || !line.Delay(1200)) return false;
    line.SetClk(0);
    line.SetDat(1);
    return line.Delay(1200) && line.SetVpp(0) && line.Delay(1200);
}

} // namespace

LoaderReady WaitLoaderReady(Line& line, const TickMsFn& tickMs, int settle, int afterEachHigh, uint32_t usbLimitMs, QueuedPolls* queued) {
    line.SetClk(0);
    line.SetDat(1);
    if (!Handshakes(line, settle)) return LoaderReady::NoAnswer;
    line.SetClk(1);
    line.SetDat(0);
    if (!Handshakes(line, settle)) return LoaderReady::NoAnswer;
    // On the Kordel a poll costs microseconds; on the Surtan each one is a USB
    // round trip, so there the wait is bounded by the time the polls last on the Kordel.
    const uint32_t t0 = tickMs();
    int poll = 0;
    uint32_t queuedEnd = t0;
    SampleBatch* batch = line.Batch();
    if (queued && batch) {
        // The same polls with the same spacing as one by one below, in one
        // transfer; the polls after the one that saw ready only keep the lines
        // as they are until the host answers, as the round trip would.
        const uint32_t samplesPerPoll = kFtDatReadSamples + static_cast<uint32_t>(afterEachHigh);
        const uint32_t room = batch->RoomLeft() / samplesPerPoll;
        const uint32_t n = std::clamp<uint32_t>(queued->queue, 1, std::min<uint32_t>(room, kReadyPolls));
        for (uint32_t i = 0; i < n; ++i) {
            if (i > 0) (void)Handshakes(line, afterEachHigh); // only queued: the transfer tells
            batch->QueueDatRead();
        }
        const DatReads reads = batch->TakeDatReads();
        // A read-back without the polls' marks was not their answer.
        if (!reads.whole || reads.reads != n) return LoaderReady::NoAnswer;
        if (reads.firstLow) {
            queued->took = *reads.firstLow + 1;
            return LoaderReady::Ready;
        }
        poll = static_cast<int>(n);
        queuedEnd = tickMs();
        if (tickMs() - t0 >= usbLimitMs) return LoaderReady::NotReady;
        if (!Handshakes(line, afterEachHigh)) return LoaderReady::NoAnswer;
    }
    for (; poll < kReadyPolls; ++poll) {
        // A programmer gone reads as no level at all, never as the low of "ready".
        const LineLevel pgd = line.GetDat();
        if (pgd == LineLevel::NoAnswer) return LoaderReady::NoAnswer;
        if (pgd == LineLevel::Low) {
            if (queued) {
                // Past the queue the time counts: a whole millisecond more than
                // the clock shows, lest the next queue fall short again.
                const uint32_t samplesPerPoll = kFtDatReadSamples + static_cast<uint32_t>(afterEachHigh);
                queued->took = static_cast<uint32_t>(poll) +
                               (tickMs() - queuedEnd + 1) * FtSamplesPerMs() / samplesPerPoll;
            }
            return LoaderReady::Ready;
        }
        if (batch && tickMs() - t0 >= usbLimitMs) return LoaderReady::NotReady;
        if (!Handshakes(line, afterEachHigh)) return LoaderReady::NoAnswer;
    }
    return LoaderReady::NotReady;
}

bool SendLoaderByte(Line& line, uint8_t byte) {
    if (line.Batch()) return FtSendLoaderByte(line, byte);
    // The clock pulses below ask the echo of every bit: a programmer gone shows there.
    (void)line.SetVpp(0);
    line.SetClk(0);
    line.SetDat(1);
    for (int i = 0; i < 8; ++i) {
        line.SetDat(((byte >> i) & 1) ? 0 : 1);
        // A Kordel pulled out would make every further clock wait out its echo.
        if (!line.ClkPulse()) return false;
    }
    line.SetClk(0);
    line.SetDat(1);
    return true;
}

bool FtSendLoaderByte(Line& line, uint8_t byte) {
    // On USB the timing is made of idle samples, one per handshake (only queued:
    // the transfer of the ready wait tells whether the programmer answered).
    (void)line.Handshake();
    line.SetClk(0);
    line.SetDat(1);
    Handshakes(line, 2);
    for (int i = 0; i < 8; ++i) {
        line.SetDat(((byte >> i) & 1) ? 0 : 1);
        Handshakes(line, 3);
        line.SetClk(1);
        Handshakes(line, 4);
        line.SetClk(0);
        Handshakes(line, 4);
    }
    line.SetClk(0);
    line.SetDat(1);
    Handshakes(line, 2);
    return true;
}

LinkResult WriteUpdate(Line& line, const Chip& chip, Host& host, std::span<const uint8_t> reference,
                       const TickMsFn& tickMs) {
    const uint32_t blockSize = chip.Is4620() ? 64 : 8;
    const uint32_t start = 2u * chip.BootWords;
    const uint32_t end = 2u * chip.ChipWords;
    int attempt = 0;
    uint32_t address = start;
    LinkResult result = LinkResult::Sent;
    // On USB the ready polls of each block go out with it (the Kordel ignores this).
    ReadyForecast forecast(blockSize);
    for (;;) {
        bool synced = ResetModule(line);
        line.SetClk(0);
        line.SetDat(1);
        synced = synced && line.Delay(8000);
        for (uint8_t b : kSyncBytes) {
            if (!synced) break;
            synced = SendLoaderByte(line, b) && line.Handshake();
        }
        const LoaderReady ready = synced ? WaitLoaderReady(line, tickMs, 5, 4, kUsbSyncReadyMs) : LoaderReady::NoAnswer;
        if (ready == LoaderReady::NoAnswer) {
            result = LinkResult::ProgrammerLost;
            break;
        }
        if (ready == LoaderReady::NotReady) {
            if (attempt < 4) {
                ++attempt;
                continue;
            }
            result = LinkResult::NoLoader;
            break;
        }
        line.SetClk(0);
        line.SetDat(1);
        host.GaugeMax(static_cast<long>(end) - 1);
        host.GaugePos(0);
        address = start;
        bool lost = false;
        bool gone = false;
        while (address < end - 1) {
            const uint32_t block = address;
            for (uint32_t k = 0; k < blockSize && !gone; ++k)
                gone = !SendLoaderByte(line, reference[address + k]);
            address += blockSize;
            QueuedPolls polls{forecast.PollsFor(block)};
            const LoaderReady ready =
                gone ? LoaderReady::NoAnswer : WaitLoaderReady(line, tickMs, 2, 2, kUsbBlockReadyMs, &polls);
            if (ready == LoaderReady::Ready) forecast.Learn(block, polls.took);
            if (ready == LoaderReady::NoAnswer) {
                gone = true;
                break;
            }
            if (ready == LoaderReady::NotReady) {
                lost = true;
                break;
            }
            line.SetClk(0);
            line.SetDat(1);
            host.GaugePos(address);
            host.Pump();
        }
        if (gone) {
            result = LinkResult::ProgrammerLost;
            break;
        }
        if (!lost) {
            result = LinkResult::Sent;
            break;
        }
        ++attempt;
        if (attempt < kUpdateAttempts) continue;
        result = LinkResult::BlockLost;
        break;
    }

    switch (result) {
    case LinkResult::NoLoader:
        for (const char* text : {"Нет готовности модуля.", "Неисправность!Возможные причины:",
                                 "1)В модуле нет загрузчика!", "2)Не включен Переключатель на программаторе.",
                                 "3)Сбой.", "Попробуйте еще раз."})
            host.Okno(text);
        break;
    case LinkResult::ProgrammerLost:
        host.Okno(kProgrammerLost);
        break;
    case LinkResult::BlockLost:
        host.Okno("Нет готовности модуля 4620.");
        host.Okno(Format("a=%X", address));
        break;
    case LinkResult::Sent:
        host.Okno("Запись закончена.");
        host.Okno(Format("Конечный адрес=%X", address));
        host.Okno("Проверка контрольной суммы.");
        line.SetClk(1);
        line.SetDat(0);
        break;
    }
    return result;
}

} // namespace mrk
