// The module's pins: MCLR decides between programming mode, reset and the
// running boot loader; PGC edges go to whichever of them is active.
#include "sim/VirtualModule.h"

#include <algorithm>
#include <stdexcept>

#include "sim/ExecutedFirmware.h"
#include "sim/ModuleBootLoader.h"
#include "sim/ModuleHex.h"
#include "sim/ModuleIcsp.h"
#include "sim/ModuleMemory.h"

namespace mrk::sim {

struct VirtualModule::Impl {
    Options opt;
    ModuleMemory memory;
    ModuleIcsp icsp;
    std::unique_ptr<ModuleProgram> program;
    ProgrammerPins pins;
    Nanos now = 0;
    std::string problem;

    explicit Impl(const Options& o)
        : opt(o), memory(ChipTraits::For(o.chip), o.revision), icsp(memory, o.chip, o.traceLimit),
          program(MakeProgram(o, memory)) {}

    static std::unique_ptr<ModuleProgram> MakeProgram(const Options& o, ModuleMemory& memory) {
        if (o.firmware == ModuleFirmware::Gpsim) {
            if (auto executed = MakeExecutedFirmware(o.chip, memory)) return executed;
            throw std::runtime_error(ExecutedFirmwareProblem());
        }
        return std::make_unique<ModuleBootLoader>(memory, o.faults);
    }

    // Time never runs backwards for the chip, whatever a caller passes.
    Nanos Catch(Nanos t) {
        now = std::max(now, t);
        icsp.Advance(now);
        program->Advance(now);
        return now;
    }

    std::optional<bool> ChipOutput(Nanos t) const {
        if (icsp.Active()) return icsp.Output(t);
        if (pins.mclr == Mclr::Vdd) return program->Output(t);
        return std::nullopt;
    }

    // The PGD wire as it stood before this change: what the chip latches on an edge.
    bool WireLevel(Nanos t) const {
        if (pins.pgdPulledLow) return false;
        if (auto d = ChipOutput(t)) return *d;
        return true;
    }

    void McLrChanged(Nanos t, const ProgrammerPins& next) {
        if (pins.mclr == Mclr::Vpp) icsp.Leave(t);
        switch (next.mclr) {
        case Mclr::Vpp:
            // The program stops; its outputs are released before the level is judged.
            program->Stop();
            if (next.pgcHigh) {
                problem = "PGC was high when MCLR rose to VPP";
            } else if (!next.pgdPulledLow) {
                problem = "PGD was high when MCLR rose to VPP";
            } else {
                problem.clear();
                icsp.Enter(t);
            }
            break;
        case Mclr::Low: program->Stop(); break;
        case Mclr::Vdd: program->Reset(t, next); break;
        }
    }
};

VirtualModule::VirtualModule(const Options& opt) : impl_(std::make_unique<Impl>(opt)) {}
VirtualModule::~VirtualModule() = default;

void VirtualModule::Drive(Nanos t, const ProgrammerPins& pins) {
    Impl& m = *impl_;
    t = m.Catch(t);
    const bool level = m.WireLevel(t);
    if (pins.mclr != m.pins.mclr) m.McLrChanged(t, pins);
    else if (m.icsp.Active()) {
        if (pins.pgcHigh != m.pins.pgcHigh) {
            // A clock too early leaves programming mode; m.problem keeps why.
            if (pins.pgcHigh) (void)m.icsp.ClockRise(t, m.problem);
            else m.icsp.ClockFall(t, level);
        }
    } else if (pins.mclr == Mclr::Vdd && pins != m.pins) {
        m.program->Lines(t, pins);
    }
    m.pins = pins;
}

std::optional<bool> VirtualModule::PgdDrive(Nanos t) {
    return impl_->ChipOutput(impl_->Catch(t));
}

void VirtualModule::Settle(Nanos t) { impl_->Catch(t); }

ChipModel VirtualModule::Chip() const { return impl_->opt.chip; }
bool VirtualModule::InProgrammingMode() const { return impl_->icsp.Active(); }
uint32_t VirtualModule::Tblptr() const { return impl_->icsp.Tblptr(); }
const std::vector<IcspRecord>& VirtualModule::Trace() const { return impl_->icsp.Trace(); }
const std::vector<TimedStep>& VirtualModule::TimedSteps() const { return impl_->icsp.TimedSteps(); }
void VirtualModule::ClearTrace() { impl_->icsp.ClearTrace(); }
const std::string& VirtualModule::LastEntryProblem() const { return impl_->problem; }
uint8_t VirtualModule::Peek(uint32_t address) const { return impl_->memory.Peek(address); }
void VirtualModule::Poke(uint32_t address, uint8_t value) { impl_->memory.Poke(address, value); }

bool VirtualModule::LoadHex(const std::string& path, std::string& error) {
    return LoadModuleHex(path, impl_->memory, error);
}
bool VirtualModule::LoadHexText(std::string_view text, std::string& error) {
    return LoadModuleHexText(text, impl_->memory, error);
}
std::string VirtualModule::HexText() const { return ModuleHexText(impl_->memory); }
bool VirtualModule::SaveHex(const std::string& path, std::string& error) const {
    return SaveModuleHex(path, impl_->memory, error);
}

bool VirtualModule::BootLoaderRunning() const { return impl_->program->Running(); }
int VirtualModule::BootLoaderBlocks() const { return impl_->program->Blocks(); }
Nanos VirtualModule::BootLoaderFlashTime() const { return impl_->program->FlashTime(); }
std::vector<std::string> VirtualModule::FirmwareEvents() const {
    return impl_->program->Events();
}

} // namespace mrk::sim
