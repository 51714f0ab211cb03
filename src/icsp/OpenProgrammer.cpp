#include "icsp/OpenProgrammer.h"

#include <optional>

#include "core/Context.h"
#include "core/Format.h"
#include "icsp/Icsp.h"
#include "transport/FtFunkc.h"
#include "transport/PortProg.h"

namespace mrk {

namespace {

enum class Found { None, Lpt, Usb };

Found DetectProgrammer(Context& ctx) {
    // On USB a handshake is only a sample queued, no echo: a programmer already
    // found on USB is looked for there again, not taken for a Kordel.
    const bool lpt = !ctx.IsUsb() && Handshake(ctx);
    if (lpt) ctx.SetInterfaceUsb(false);
    // The second handshake only paces the lines; the first one decided.
    (void)Handshake(ctx);
    if (lpt) return Found::Lpt;
    if (FtOpen(ctx)) {
        ctx.SetInterfaceUsb(true);
        FtEnable(ctx);
        SetClk(ctx, 1);
        SetDat(ctx, 0);
        (void)SetVpp(ctx, 0); // the device-ID read that follows asks the programmer
        return Found::Usb;
    }
    return Found::None;
}

struct DevId {
    uint8_t id1 = 0, id2 = 0;
    bool Is4620() const { return id2 == 0x0C && (id1 & 0xE0) == 0x00; }
    bool Is452() const { return id2 == 0x04 && (id1 & 0xE0) == 0x20; }
};

// Both device-ID bytes, in programming mode; none at the first step the
// programmer did not answer.
std::optional<DevId> ReadDevIdBytes(Context& ctx) {
    if (!EnterProgModeB(ctx) || !SelectIdOrDevId(ctx) || !SetTblPtr(ctx, kAdrDevId1) ||
        !SendCommand(ctx, cmd::kTableReadPostInc, false))
        return std::nullopt;
    const auto id1 = ReadTableByte(ctx);
    if (!id1 || !SendCommand(ctx, cmd::kTableReadPostInc, false)) return std::nullopt;
    const auto id2 = ReadTableByte(ctx);
    if (!id2) return std::nullopt;
    return DevId{*id1, *id2};
}

// One identification attempt. False, with d unchanged, when the programmer did
// not answer (no echo on LPT, a USB transfer failed or stayed short): then the
// attempts end, as a hundred more would each wait out a programmer that is gone.
bool ReadDevIdOnce(Context& ctx, DevId& d) {
    const auto read = ReadDevIdBytes(ctx);
    ExitProgMode(ctx);
    (void)SetVpp(ctx, 0); // the read's own answer decides
    if (!read) return false;
    d = *read;
    return true;
}

} // namespace

bool OpenProgrammer(Context& ctx) {
    const Found found = DetectProgrammer(ctx);
    if (!ctx.prog.ProgOpenReported) {
        const std::string& desc = ctx.d2xx.FtDeviceDesc;
        if (found == Found::Usb) {
            ctx.host.Okno("Программатор " + desc + " успешно открыт!");
        } else if (found == Found::Lpt) {
            ctx.host.Okno("Программатор Kordel успешно открыт!");
        } else {
            ctx.host.Okno("Программатор " + desc + " к USB не подключен.");
            ctx.host.Okno("Программатор Kordel к LPT не подключен.");
            ctx.host.Okno("Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь.");
            return false;
        }
        ctx.prog.ProgOpenReported = true;
    }

    // A programmer that answers but brings a wrong ID (a flaky contact) gets
    // every attempt; one that no longer answers at all ends the attempts there,
    // as if the last one had failed.
    int attempts = 0;
    DevId d;
    for (;;) {
        const bool answered = ReadDevIdOnce(ctx, d);
        if (answered && (d.Is4620() || d.Is452())) break;
        if (++attempts == kIdentifyAttempts || !answered) break;
    }
    ctx.prog.Label2Text = Format("Devid1=%X Devid2=%X a=%d", d.id1, d.id2, attempts);
    // Kept for whoever records which chip was worked on (the production journal).
    ctx.prog.DevId1 = d.id1;
    ctx.prog.DevId2 = d.id2;
    ctx.host.Label2(ctx.prog.Label2Text);

    if (d.Is4620()) {
        ctx.SetChipIndicators(true, false);
        ctx.prog.ChipWords = 0x8000;
        ctx.prog.BootWords = 0x400;
        return true;
    }
    if (d.Is452()) {
        ctx.SetChipIndicators(false, true);
        ctx.prog.ChipWords = 0x4000;
        ctx.prog.BootWords = 0x180;
        return true;
    }
    ctx.SetChipIndicators(false, false);
    ctx.host.MessageBox("Не верно прочитался ID процессора", "", MsgKind::Information, MsgButtons::Cancel);
    return false;
}

} // namespace mrk
