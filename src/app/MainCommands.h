#pragma once
// The main window's commands without the window: one function per button handler,
// named after the handler. The window's slots call these; so do the CLI and the tests.
// Each reports through ctx.host and touches controls only through MainControls.
#include <cstdint>

#include "app/MainControls.h"

namespace mrk {

struct Context;

// Lock (true) or unlock (false) the 17 managed command controls around a command.
void UpravlKnopk(Context& ctx, MainControls& ui, Ctl sender, bool lock);

void ProgClick(Context& ctx, MainControls& ui);                     // write the boot loader
bool SpeedButton4Click(Context& ctx, MainControls& ui, Ctl sender); // write the update; true = "КС Программы OK."
void ReadChipClick(Context& ctx, MainControls& ui);                 // read the boot region, show page 0 of BuffChip
void SravnClick(Context& ctx, MainControls& ui);                    // compare the boot region
void SpeedButton21Click(Context& ctx, MainControls& ui);            // compare the whole program memory
void SpeedButton11Click(Context& ctx, MainControls& ui);            // RD ID
void SpeedButton10Click(Context& ctx, MainControls& ui);            // WR ID
void SpeedButton1Click(Context& ctx, MainControls& ui);             // RD PIC
void SpeedButton16Click(Context& ctx, MainControls& ui);            // Cal CRC
void SpeedButton12Click(Context& ctx, MainControls& ui);            // erase the whole chip
void SpeedButton13Click(Context& ctx, MainControls& ui);            // "Маска ПЗУ" "Старт"
void Avtom_Prog_PClick(Context& ctx, MainControls& ui, Ctl sender); // the automatic cycle

// Factory-number field: the digit filter (true = the character passes) and Enter.
bool Edit1KeyPress(char32_t ch);
void Edit1KeyDownEnter(Context& ctx, MainControls& ui);

// The page buttons: SpeedButton5/6/2/8 = pages 0..3.
void ShowPage(Context& ctx, MainControls& ui, int page);

} // namespace mrk
