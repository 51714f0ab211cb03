#include "icsp/BootLink.h"

#include <algorithm>

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "icsp/ReadyForecast.h"
#include "transport/FtFunkc.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

constexpr uint8_t kSyncBytes[] = {0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C};

// n handshakes; false at the first the programmer did not answer.
bool Handshakes(Context& ctx, int n) {
    for (int k = 0; k < n; ++k)
        if (!Handshake(ctx)) return false;
    return true;
}

// Resets the module and lets its boot loader start; false at the first step
// the programmer did not answer.
bool ResetModule(Context& ctx) {
    if (!SetVpp(ctx, 1) || !Delay(ctx, 1200)) return false;
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return Delay(ctx, 1200) && SetVpp(ctx, 0) && Delay(ctx, 1200);
}

} // namespace

LoaderReady WaitLoaderReady(Context& ctx, int settle, int afterEachHigh, uint32_t usbLimitMs, QueuedPolls* queued) {
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    if (!Handshakes(ctx, settle)) return LoaderReady::NoAnswer;
    SetClk(ctx, 1);
    SetDat(ctx, 0);
    if (!Handshakes(ctx, settle)) return LoaderReady::NoAnswer;
    // On the Kordel a poll costs microseconds; on the Surtan each one is a USB
    // round trip, so there the wait is bounded by the time the polls last on the Kordel.
    const uint32_t t0 = ctx.TickMs();
    int poll = 0;
    uint32_t queuedEnd = t0;
    if (queued && ctx.IsUsb()) {
        // The same polls with the same spacing as one by one below, in one
        // transfer; the polls after the one that saw ready only keep the lines
        // as they are until the host answers, as the round trip would.
        const uint32_t samplesPerPoll = kFtDatReadSamples + static_cast<uint32_t>(afterEachHigh);
        const uint32_t room = FtRoomLeft(ctx) / samplesPerPoll;
        const uint32_t n = std::clamp<uint32_t>(queued->queue, 1, std::min<uint32_t>(room, kReadyPolls));
        for (uint32_t i = 0; i < n; ++i) {
            if (i > 0) Handshakes(ctx, afterEachHigh);
            FtQueueDatRead(ctx);
        }
        const FtDatReads reads = FtTransferDatReads(ctx);
        // A read-back without the polls' marks was not their answer.
        if (!reads.whole || reads.reads != n) return LoaderReady::NoAnswer;
        if (reads.firstLow) {
            queued->took = *reads.firstLow + 1;
            return LoaderReady::Ready;
        }
        poll = static_cast<int>(n);
        queuedEnd = ctx.TickMs();
        if (ctx.TickMs() - t0 >= usbLimitMs) return LoaderReady::NotReady;
        if (!Handshakes(ctx, afterEachHigh)) return LoaderReady::NoAnswer;
    }
    for (; poll < kReadyPolls; ++poll) {
        // A programmer gone reads as no level at all, never as the low of "ready".
        const LineLevel pgd = GetDat(ctx);
        if (pgd == LineLevel::NoAnswer) return LoaderReady::NoAnswer;
        if (pgd == LineLevel::Low) {
            if (queued) {
                // Past the queue the time counts: a whole millisecond more than
                // the clock shows, lest the next queue fall short again.
                const uint32_t samplesPerPoll = kFtDatReadSamples + static_cast<uint32_t>(afterEachHigh);
                queued->took = static_cast<uint32_t>(poll) +
                               (ctx.TickMs() - queuedEnd + 1) * FtSamplesPerMs() / samplesPerPoll;
            }
            return LoaderReady::Ready;
        }
        if (ctx.IsUsb() && ctx.TickMs() - t0 >= usbLimitMs) return LoaderReady::NotReady;
        if (!Handshakes(ctx, afterEachHigh)) return LoaderReady::NoAnswer;
    }
    return LoaderReady::NotReady;
}

bool SendLoaderByte(Context& ctx, uint8_t byte) {
    if (ctx.IsUsb()) return FtSendLoaderByte(ctx, byte);
    // The clock pulses below ask the echo of every bit: a programmer gone shows there.
    (void)SetVpp(ctx, 0);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    for (int i = 0; i < 8; ++i) {
        SetDat(ctx, ((byte >> i) & 1) ? 0 : 1);
        // A Kordel pulled out would make every further clock wait out its echo.
        if (!ClkPulse(ctx)) return false;
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    return true;
}

bool FtSendLoaderByte(Context& ctx, uint8_t byte) {
    // On USB the timing is made of idle samples, one per handshake (only queued:
    // the transfer of the ready wait tells whether the programmer answered).
    (void)Handshake(ctx);
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshakes(ctx, 2);
    for (int i = 0; i < 8; ++i) {
        SetDat(ctx, ((byte >> i) & 1) ? 0 : 1);
        Handshakes(ctx, 3);
        SetClk(ctx, 1);
        Handshakes(ctx, 4);
        SetClk(ctx, 0);
        Handshakes(ctx, 4);
    }
    SetClk(ctx, 0);
    SetDat(ctx, 1);
    Handshakes(ctx, 2);
    return true;
}

LinkResult WriteUpdate(Context& ctx) {
    const uint32_t blockSize = ctx.Is4620() ? 64 : 8;
    const uint32_t start = 2u * ctx.prog.BootWords;
    const uint32_t end = 2u * ctx.prog.ChipWords;
    int attempt = 0;
    uint32_t address = start;
    LinkResult result = LinkResult::Sent;
    // On USB the ready polls of each block go out with it (the Kordel ignores this).
    ReadyForecast forecast(blockSize);
    for (;;) {
        bool synced = ResetModule(ctx);
        SetClk(ctx, 0);
        SetDat(ctx, 1);
        synced = synced && Delay(ctx, 8000);
        for (uint8_t b : kSyncBytes) {
            if (!synced) break;
            synced = SendLoaderByte(ctx, b) && Handshake(ctx);
        }
        const LoaderReady ready = synced ? WaitLoaderReady(ctx, 5, 4, kUsbSyncReadyMs) : LoaderReady::NoAnswer;
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
        SetClk(ctx, 0);
        SetDat(ctx, 1);
        ctx.host.GaugeMax(static_cast<long>(end) - 1);
        ctx.host.GaugePos(0);
        address = start;
        bool lost = false;
        bool gone = false;
        while (address < end - 1) {
            const uint32_t block = address;
            for (uint32_t k = 0; k < blockSize && !gone; ++k)
                gone = !SendLoaderByte(ctx, ctx.image.BuffEt[address + k]);
            address += blockSize;
            QueuedPolls polls{forecast.PollsFor(block)};
            const LoaderReady ready =
                gone ? LoaderReady::NoAnswer : WaitLoaderReady(ctx, 2, 2, kUsbBlockReadyMs, &polls);
            if (ready == LoaderReady::Ready) forecast.Learn(block, polls.took);
            if (ready == LoaderReady::NoAnswer) {
                gone = true;
                break;
            }
            if (ready == LoaderReady::NotReady) {
                lost = true;
                break;
            }
            SetClk(ctx, 0);
            SetDat(ctx, 1);
            ctx.host.GaugePos(address);
            ctx.host.Pump();
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
        for (const char* line : {"Нет готовности модуля.", "Неисправность!Возможные причины:",
                                 "1)В модуле нет загрузчика!", "2)Не включен Переключатель на программаторе.",
                                 "3)Сбой.", "Попробуйте еще раз."})
            ctx.host.Okno(line);
        break;
    case LinkResult::ProgrammerLost:
        ctx.host.Okno(kProgrammerLost);
        break;
    case LinkResult::BlockLost:
        ctx.host.Okno("Нет готовности модуля 4620.");
        ctx.host.Okno(Format("a=%X", address));
        break;
    case LinkResult::Sent:
        ctx.host.Okno("Запись закончена.");
        ctx.host.Okno(Format("Конечный адрес=%X", address));
        ctx.host.Okno("Проверка контрольной суммы.");
        SetClk(ctx, 1);
        SetDat(ctx, 0);
        break;
    }
    return result;
}

} // namespace mrk
