#include "app/ChipRoutines.h"

#include "core/Context.h"

namespace mrk {

bool OpenProgrammer(Context& ctx) {
    Programmers p{ctx.kordel,
                  ctx.surtan,
                  [&ctx] { return ctx.IsUsb(); },
                  [&ctx](bool usb) { ctx.SetInterfaceUsb(usb); },
                  [&ctx](bool is4620, bool is452) { ctx.SetChipIndicators(is4620, is452); },
                  ctx.prog.ProgOpenReported};
    return OpenProgrammer(p, ctx.prog, ctx.host, ctx.prog.Label2Text);
}

bool ReadConfigWords(Context& ctx) {
    return ReadConfigWords(ctx.line(), ctx.prog, ctx.host);
}

bool WriteConfigWords(Context& ctx) {
    return WriteConfigWords(ctx.line(), ctx.prog, ctx.host, ctx.image.ConfigWrite);
}

bool ReadIdWords(Context& ctx) {
    return ReadIdWords(ctx.line(), ctx.prog, ctx.host, ctx.prog.Label2Text);
}

bool WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3) {
    return WriteIdWords(ctx.line(), ctx.prog, ctx.host, w1, w2, w3);
}

bool EraseChip(Context& ctx, void (*clearLog)(Context&)) {
    if (!clearLog) return EraseChip(ctx.line(), ctx.prog, ctx.host);
    return EraseChip(ctx.line(), ctx.prog, ctx.host, [&ctx, clearLog] { clearLog(ctx); });
}

bool ReadDevIdPlain(Context& ctx) {
    return ReadDevIdPlain(ctx.line(), ctx.prog, ctx.host, ctx.prog.Label2Text);
}

bool WriteBoot(Context& ctx) {
    return WriteBoot(ctx.line(), ctx.prog, ctx.host, ctx.image.BuffEt);
}

bool ReadBoot(Context& ctx) {
    return ReadBoot(ctx.line(), ctx.prog, ctx.host, ctx.image.BuffChip, ctx.image.ChipReadBrokeAt, ctx.ind.SpeedButton21);
}

bool ReadAll(Context& ctx) {
    return ReadAll(ctx.line(), ctx.prog, ctx.host, ctx.image.BuffChip, ctx.image.ChipReadBrokeAt, ctx.ind.SpeedButton21);
}

bool CompareChip(Context& ctx) {
    return CompareChip(ctx.prog, ctx.host, ctx.image.BuffChip, ctx.image.BuffEt, ctx.ind.SpeedButton21);
}

LinkResult WriteUpdate(Context& ctx) {
    return WriteUpdate(ctx.line(), ctx.prog, ctx.host, ctx.image.BuffEt, ctx.TickMs);
}

bool SendLoaderByte(Context& ctx, uint8_t byte) {
    return SendLoaderByte(ctx.line(), byte);
}

} // namespace mrk
