#pragma once
// The hardware debug window without its widgets: the remembered line levels,
// the stop flag and one function per button. The endless patterns run the
// message pump (Host::Pump) once per cycle; that is where "Завершить" or the
// window's closing gets in to set the stop flag.
#include <cstdint>
#include <string>

namespace mrk {

struct Context;

struct DebugForm {
    bool stop = false;  // set by "Завершить" and by closing; a pattern clears it when it starts
    uint8_t clk = 0;    // "RB6"
    uint8_t dat = 0;    // "RB7", the raw line value
    uint8_t vpp = 0;    // "MCLR"
    uint8_t req = 0;    // "WR_Zad"
    std::string Label1 = "Длительность RB6 10мкс.";
};

namespace debugform {

void SpeedButton1Click(Context& ctx, DebugForm& f); // "MCLR"
void SpeedButton2Click(Context& ctx, DebugForm& f); // "RB6"
void SpeedButton3Click(Context& ctx, DebugForm& f); // "RB7"
void SpeedButton4Click(Context& ctx, DebugForm& f); // "WR_Zad"
void SpeedButton5Click(Context& ctx, DebugForm& f); // "RD_Zad"
// Endless until the stop flag: eight 0xAA bytes to the boot loader per cycle.
void DataClick(Context& ctx, DebugForm& f);         // "8 байт->Чип"
// Endless: a table read per cycle; then PGC low and PGD driven low.
void ZadClick(Context& ctx, DebugForm& f);          // "Гот.-?"
// Endless: 54 samples of the USB output buffer as it stands, per cycle.
void SpeedButton7Click(Context& ctx, DebugForm& f); // "Задержка"
// Once: 101 data toggles with PGC low, a send; 101 with PGC high, a send.
void SpeedButton8Click(Context& ctx, DebugForm& f); // "1 байт->Чип"
void ZaverchClick(DebugForm& f);                    // "Завершить"
void FormClose(DebugForm& f);

} // namespace debugform
} // namespace mrk
