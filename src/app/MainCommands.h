#pragma once
// The main window's commands without the window: one function per button handler,
// named after the handler. The window's slots call these; so do the CLI and the tests.
// Each reports through ctx.host and touches controls only through MainControls.
// The commands on the chip run the station's operations (ChipOperations.h) and
// give back their outcome.
#include <cstdint>

#include "app/AutoCycle.h"
#include "app/ChipOperations.h"
#include "app/MainControls.h"
#include "app/UpdateCommand.h"

namespace mrk {

struct Context;

// Lock (true) or unlock (false) the 17 managed command controls around a command.
void UpravlKnopk(Context& ctx, MainControls& ui, Ctl sender, bool lock);

[[nodiscard]] ChipOutcome ProgClick(Context& ctx, MainControls& ui); // write the boot loader
// Write the update; Ok() = "КС Программы OK.".
[[nodiscard]] UpdateOutcome SpeedButton4Click(Context& ctx, MainControls& ui, Ctl sender);
[[nodiscard]] MemoryReadOutcome ReadChipClick(Context& ctx, MainControls& ui); // read the boot region, show page 0 of BuffChip
[[nodiscard]] CompareOutcome SravnClick(Context& ctx, MainControls& ui);         // compare the boot region
[[nodiscard]] CompareOutcome SpeedButton21Click(Context& ctx, MainControls& ui); // compare the whole program memory
[[nodiscard]] IdReadOutcome SpeedButton11Click(Context& ctx, MainControls& ui); // RD ID
[[nodiscard]] ChipOutcome SpeedButton10Click(Context& ctx, MainControls& ui);    // WR ID
[[nodiscard]] DevIdOutcome SpeedButton1Click(Context& ctx, MainControls& ui);    // RD PIC
void SpeedButton16Click(Context& ctx, MainControls& ui);            // Cal CRC
[[nodiscard]] ChipOutcome SpeedButton12Click(Context& ctx, MainControls& ui);    // erase the whole chip
// "Маска ПЗУ" "Старт"; NotBegun when "Не ставить защиту" is selected
[[nodiscard]] ConfigWriteOutcome SpeedButton13Click(Context& ctx, MainControls& ui);
CycleResult Avtom_Prog_PClick(Context& ctx, MainControls& ui, Ctl sender); // the automatic cycle

// Factory-number field: the digit filter (true = the character passes) and Enter.
[[nodiscard]] bool Edit1KeyPress(char32_t ch);
CycleResult Edit1KeyDownEnter(Context& ctx, MainControls& ui);

// The page buttons: SpeedButton5/6/2/8 = pages 0..3.
void ShowPage(Context& ctx, MainControls& ui, int page);

} // namespace mrk
