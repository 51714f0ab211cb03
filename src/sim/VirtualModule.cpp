// Stand-in until the chip model lands: a module that never answers.
#include "sim/VirtualModule.h"

namespace mrk::sim {

struct VirtualModule::Impl {
    Options opt;
    std::vector<IcspRecord> trace;
    std::string problem;
};

VirtualModule::VirtualModule(const Options& opt) : impl_(std::make_unique<Impl>()) { impl_->opt = opt; }
VirtualModule::~VirtualModule() = default;
void VirtualModule::Drive(Nanos, const ProgrammerPins&) {}
std::optional<bool> VirtualModule::PgdDrive(Nanos) { return std::nullopt; }
ChipModel VirtualModule::Chip() const { return impl_->opt.chip; }
bool VirtualModule::InProgrammingMode() const { return false; }
uint32_t VirtualModule::Tblptr() const { return 0; }
const std::vector<IcspRecord>& VirtualModule::Trace() const { return impl_->trace; }
void VirtualModule::ClearTrace() { impl_->trace.clear(); }
const std::string& VirtualModule::LastEntryProblem() const { return impl_->problem; }
uint8_t VirtualModule::Peek(uint32_t) const { return 0xFF; }
void VirtualModule::Poke(uint32_t, uint8_t) {}

} // namespace mrk::sim
