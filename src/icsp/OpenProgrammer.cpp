#include "icsp/OpenProgrammer.h"

#include <optional>

#include "core/Format.h"
#include "icsp/Icsp.h"

namespace mrk {

namespace {

enum class Found { None, Lpt, Usb };

Found DetectProgrammer(Programmers& p) {
    // On USB a handshake is only a sample queued, no echo: a programmer already
    // found on USB is looked for there again, not taken for a Kordel.
    const bool lpt = !p.usb() && p.kordel.Handshake();
    if (lpt) p.setUsb(false);
    // The second handshake only paces the lines; the first one decided.
    (void)p.line().Handshake();
    if (lpt) return Found::Lpt;
    if (p.surtan.Open()) {
        p.setUsb(true);
        p.surtan.Enable();
        p.surtan.SetClk(1);
        p.surtan.SetDat(0);
        (void)p.surtan.SetVpp(0); // the device-ID read that follows asks the programmer
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
std::optional<DevId> ReadDevIdBytes(Line& line) {
    if (!EnterProgModeB(line) || !SelectIdOrDevId(line) || !SetTblPtr(line, kAdrDevId1) ||
        !SendCommand(line, cmd::kTableReadPostInc, false))
        return std::nullopt;
    const auto id1 = ReadTableByte(line);
    if (!id1 || !SendCommand(line, cmd::kTableReadPostInc, false)) return std::nullopt;
    const auto id2 = ReadTableByte(line);
    if (!id2) return std::nullopt;
    return DevId{*id1, *id2};
}

// One identification attempt. False, with d unchanged, when the programmer did
// not answer (no echo on LPT, a USB transfer failed or stayed short): then the
// attempts end, as a hundred more would each wait out a programmer that is gone.
bool ReadDevIdOnce(Line& line, DevId& d) {
    const auto read = ReadDevIdBytes(line);
    ExitProgMode(line);
    (void)line.SetVpp(0); // the read's own answer decides
    if (!read) return false;
    d = *read;
    return true;
}

} // namespace

bool OpenProgrammer(Programmers& p, Chip& chip, Host& host, std::string& serviceLine) {
    const Found found = DetectProgrammer(p);
    if (!p.reported) {
        const std::string& desc = p.surtan.d2xx.FtDeviceDesc;
        if (found == Found::Usb) {
            host.Okno("Программатор " + desc + " успешно открыт!");
        } else if (found == Found::Lpt) {
            host.Okno("Программатор Kordel успешно открыт!");
        } else {
            host.Okno("Программатор " + desc + " к USB не подключен.");
            host.Okno("Программатор Kordel к LPT не подключен.");
            host.Okno("Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь.");
            return false;
        }
        p.reported = true;
    }

    // A programmer that answers but brings a wrong ID (a flaky contact) gets
    // every attempt; one that no longer answers at all ends the attempts there,
    // as if the last one had failed.
    int attempts = 0;
    DevId d;
    for (;;) {
        const bool answered = ReadDevIdOnce(p.line(), d);
        if (answered && (d.Is4620() || d.Is452())) break;
        if (++attempts == kIdentifyAttempts || !answered) break;
    }
    serviceLine = Format("Devid1=%X Devid2=%X a=%d", d.id1, d.id2, attempts);
    // Kept for whoever records which chip was worked on (the production journal).
    chip.DevId1 = d.id1;
    chip.DevId2 = d.id2;
    host.Label2(serviceLine);

    chip.is4620 = d.Is4620();
    if (d.Is4620()) {
        p.setChip(true, false);
        chip.ChipWords = 0x8000;
        chip.BootWords = 0x400;
        return true;
    }
    if (d.Is452()) {
        p.setChip(false, true);
        chip.ChipWords = 0x4000;
        chip.BootWords = 0x180;
        return true;
    }
    p.setChip(false, false);
    host.MessageBox("Не верно прочитался ID процессора", "", MsgKind::Information, MsgButtons::Cancel);
    return false;
}

} // namespace mrk
