#include "sim/GpsimFirmware.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <unordered_map>

#include <gpsim/16bit-processors.h>
#include <gpsim/breakpoints.h>
#include <gpsim/gpsim_time.h>
#include <gpsim/interface.h>
#include <gpsim/pic-processor.h>
#include <gpsim/stimuli.h>

#include "sim/ExecutedFirmware.h"
#include "sim/ModuleOscillator.h"
#include "sim/VirtualModule.h"

namespace mrk::sim {

namespace {

constexpr unsigned kEecon1 = 0xFA6;
constexpr unsigned kEecon2 = 0xFA7;
constexpr unsigned kPinPgc = 39; // RB6, 40-pin package of both chips
constexpr unsigned kPinPgd = 40; // RB7
constexpr uint32_t kUnknownWord = 0xFFFFFFFF;
constexpr size_t kEventLimit = 200;

// gpsim reports on std::cout (resets, warnings). While it works for the bench,
// that goes into a buffer the bench reads as the module's events, not into the
// program's own output.
class GpsimOutput : public std::streambuf {
public:
    std::string text;

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) text.push_back(static_cast<char>(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text.append(s, static_cast<size_t>(n));
        return n;
    }
};

class QuietGpsim {
public:
    QuietGpsim() : old_(std::cout.rdbuf(&Output())) {}
    ~QuietGpsim() { std::cout.rdbuf(old_); }
    QuietGpsim(const QuietGpsim&) = delete;
    QuietGpsim& operator=(const QuietGpsim&) = delete;
    // What gpsim said since the last call.
    static std::string Take() {
        std::string text;
        text.swap(Output().text);
        return text;
    }

private:
    static GpsimOutput& Output() {
        static GpsimOutput output;
        return output;
    }
    std::streambuf* old_;
};

// A register the bench puts in the place of one of gpsim's: reads and writes
// go on to gpsim's own register, apart from what the bench takes over.
class ForwardingRegister : public sfr_register {
public:
    ForwardingRegister(Processor* cpu, Register* original, const char* name)
        : sfr_register(cpu, name), original_(original) {
        address = original->address;
    }
    unsigned int get() override { return original_->get(); }
    unsigned int get_value() override { return original_->get_value(); }
    void put_value(unsigned int v) override { put(v); }
    void reset(RESET_TYPE r) override { original_->reset(r); }

protected:
    Register* original_;
};

// EECON2: the unlock sequence 55h, AAh that must come before WR.
class UnlockRegister : public ForwardingRegister {
public:
    using ForwardingRegister::ForwardingRegister;
    void put(unsigned int v) override {
        original_->put(v); // gpsim's data EEPROM follows the sequence too
        step_ = (step_ == 0 && v == 0x55) ? 1 : (step_ == 1 && v == 0xAA) ? 2 : 0;
    }
    void reset(RESET_TYPE r) override {
        ForwardingRegister::reset(r);
        step_ = 0;
    }
    // True once per unlock sequence.
    bool TakeUnlock() {
        const bool unlocked = step_ == 2;
        step_ = 0;
        return unlocked;
    }

private:
    int step_ = 0;
};

// Standard output closed for a moment, for gpsim's printf.
class StdoutMuted {
public:
    StdoutMuted() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~StdoutMuted() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    StdoutMuted(const StdoutMuted&) = delete;
    StdoutMuted& operator=(const StdoutMuted&) = delete;

private:
    int saved_;
};

} // namespace

// One gpsim processor. gpsim keeps references to every processor it made (its
// interface and symbol tables), so deleting one is not safe: a processor is
// made once per process and chip, and lent to one module at a time.
struct GpsimFirmware::Chip {
    ChipModel model{};
    Processor* cpu = nullptr;
    pic_processor* pic = nullptr;
    _16bit_processor* p16 = nullptr;
    IOPIN* pgc = nullptr;
    IOPIN* pgd = nullptr;
    std::vector<uint32_t> words;        // the program memory gpsim decoded, by word
    // Every instruction object made, by word index and opcode. gpsim's deletion of an
    // instruction searches its whole symbol table, so they are kept and used again
    // (an update rewrites the same words each time).
    std::unordered_map<uint64_t, instruction*> decoded;
    GpsimFirmware* owner = nullptr;     // the module running on it
    UnlockRegister* eecon2 = nullptr;
};

namespace {

uint32_t Tblptr(GpsimFirmware::Chip& chip) {
    TBL_MODULE& tbl = chip.p16->tbl;
    return ((tbl.tblptru.value.get() & 0x3Fu) << 16) | ((tbl.tblptrh.value.get() & 0xFFu) << 8) |
           (tbl.tblptrl.value.get() & 0xFFu);
}

// EECON1: WR for program memory, ID locations or configuration starts the
// bench's write cycle (FlashSelfWrite) instead of gpsim's, whose PIC18F4620
// keeps only 8 holding bytes and whose erase leaves 0x00. The data EEPROM
// stays gpsim's.
class WriteControlRegister : public ForwardingRegister {
public:
    WriteControlRegister(GpsimFirmware::Chip& chip, Register* original)
        : ForwardingRegister(chip.cpu, original, "eecon1"), chip_(chip) {}
    void put(unsigned int v) override {
        const bool flashCycle = (v & FlashSelfWrite::kWr) && (v & (FlashSelfWrite::kEepgd | FlashSelfWrite::kCfgs));
        if (!flashCycle) {
            original_->put(v);
            return;
        }
        original_->put(v & ~unsigned{FlashSelfWrite::kWr}); // EEPGD, CFGS, FREE, WREN as written
        const bool unlocked = chip_.eecon2->TakeUnlock();
        if (!(v & FlashSelfWrite::kWren) || !unlocked || !chip_.owner) return;
        // The processor stalls for the cycle; timers and the watchdog run on.
        const uint64_t stall = chip_.owner->StartWrite(Tblptr(chip_), static_cast<uint8_t>(v));
        for (uint64_t i = 0; i < stall; ++i) get_cycles().increment();
    }

private:
    GpsimFirmware::Chip& chip_;
};

// TBLRD / TBLWT: served from the bench's memory, in two instruction cycles.
class TableInstruction : public instruction {
public:
    TableInstruction(GpsimFirmware::Chip& chip, unsigned int word, unsigned int address)
        : instruction(chip.cpu, word, address), chip_(chip) {
        new_name((word & 4) ? "tblwt" : "tblrd");
    }
    bool isBase() override { return true; }
    void execute() override {
        TBL_MODULE& tbl = chip_.p16->tbl;
        const unsigned mode = opcode & 3; // *, *+, *-, +*
        if (mode == 3) tbl.increment();
        if (chip_.owner) {
            if (opcode & 4) chip_.owner->TableWrite(Tblptr(chip_), static_cast<uint8_t>(tbl.tablat.value.get()));
            else tbl.tablat.put(chip_.owner->TableRead(Tblptr(chip_)));
        }
        if (mode == 1) tbl.increment();
        else if (mode == 2) tbl.decrement();
        chip_.p16->pc->increment();
        get_cycles().increment();
    }

private:
    GpsimFirmware::Chip& chip_;
};

bool IsTableInstruction(uint32_t word) { return (word & 0xFFF8) == 0x0008; }

// Puts the instruction gpsim executes for one program word in its place.
void Decode(GpsimFirmware::Chip& chip, size_t index, uint32_t word) {
    chip.words[index] = word;
    const unsigned address = static_cast<unsigned>(2 * index);
    instruction*& slot = chip.cpu->program_memory[index];
    const uint64_t key = uint64_t{index} << 32 | word;
    instruction*& made = chip.decoded[key];
    if (!made) made = IsTableInstruction(word) ? new TableInstruction(chip, word, address) : chip.pic->disasm(address, word);
    if (made) {
        slot = made;
        slot->initialize(false); // a two-word instruction reads its second word again
        return;
    }
    chip.decoded.erase(key);
    slot = nullptr; // gpsim puts its invalid instruction there without deleting a kept one
    chip.cpu->init_program_memory(address, word);
}

std::vector<std::unique_ptr<GpsimFirmware::Chip>>& Pool() {
    static std::vector<std::unique_ptr<GpsimFirmware::Chip>> pool;
    return pool;
}

GpsimFirmware::Chip* Borrow(ChipModel model, GpsimFirmware* owner) {
    static const bool started = [] {
        initialize_gpsim_core();
        return true;
    }();
    (void)started;
    for (auto& c : Pool()) {
        if (c->model == model && !c->owner) {
            c->owner = owner;
            return c.get();
        }
    }
    QuietGpsim quiet;
    auto c = std::make_unique<GpsimFirmware::Chip>();
    c->model = model;
    const char* type = model == ChipModel::PIC18F452 ? "p18f452" : "p18f4620";
    const std::string name = "module" + std::to_string(Pool().size());
    c->cpu = ProcessorConstructorList::findByType(type)->ConstructProcessor(name.c_str());
    c->pic = dynamic_cast<pic_processor*>(c->cpu);
    c->p16 = dynamic_cast<_16bit_processor*>(c->cpu);
    c->pgc = c->cpu->get_pin(kPinPgc);
    c->pgd = c->cpu->get_pin(kPinPgd);
    c->words.assign(c->cpu->program_memory_size(), kUnknownWord);
    c->eecon2 = new UnlockRegister(c->cpu, c->cpu->registers[kEecon2], "eecon2");
    c->cpu->registers[kEecon2] = c->eecon2;
    c->cpu->registers[kEecon1] = new WriteControlRegister(*c, c->cpu->registers[kEecon1]);
    c->owner = owner;
    Pool().push_back(std::move(c));
    QuietGpsim::Take();
    return Pool().back().get();
}

// A processor given back is reset with its watchdog off, so that nothing of it
// runs while another module's processor moves gpsim's shared cycle counter.
void GiveBack(GpsimFirmware::Chip& chip) {
    QuietGpsim quiet;
    chip.pic->set_config_word(kConfigBase + 2, 0x0000);
    chip.pic->reset(POR_RESET);
    chip.owner = nullptr;
    QuietGpsim::Take();
}

} // namespace

GpsimFirmware::GpsimFirmware(ChipModel chip, ModuleMemory& memory)
    : chip_(chip), mem_(memory), flash_(memory), cpu_(Borrow(chip, this)) {}

GpsimFirmware::~GpsimFirmware() { GiveBack(*cpu_); }

void GpsimFirmware::SyncProgramMemory(uint32_t first, uint32_t end) {
    const uint32_t flashEnd = mem_.Traits().flashSize;
    for (uint32_t a = first & ~1u; a < end && a < flashEnd; a += 2) {
        const uint32_t word = mem_.Peek(a) | uint32_t{mem_.Peek(a + 1)} << 8;
        const size_t i = a / 2;
        if (cpu_->words[i] == word) continue;
        Decode(*cpu_, i, word);
        // A two-word instruction before it takes this word as its operand.
        if (i > 0 && cpu_->words[i - 1] != kUnknownWord) Decode(*cpu_, i - 1, cpu_->words[i - 1]);
    }
}

void GpsimFirmware::Reset(Nanos t, const ProgrammerPins& pins) {
    QuietGpsim quiet;
    SyncProgramMemory(0, mem_.Traits().flashSize);
    std::array<uint8_t, kConfigSize> config{};
    for (uint32_t k = 0; k < kConfigSize; ++k) config[k] = mem_.Peek(kConfigBase + k);
    for (uint32_t k = 0; k < kConfigSize; k += 2)
        cpu_->pic->set_config_word(kConfigBase + k, config[k] | unsigned{config[k + 1]} << 8);
    const double fosc = OscillatorHz(chip_, config);
    cpu_->cpu->set_frequency(fosc);
    cycleTime_ = static_cast<Nanos>(std::llround(4e9 / fosc));
    if (poweredUp_) {
        // A reset through a pin: registers take their MCLR values, execution
        // starts at once (gpsim's MCLR_RESET would wait for its own MCLR pin).
        cpu_->pic->reset(IO_RESET);
    } else {
        cpu_->pic->reset(POR_RESET);
        poweredUp_ = true;
    }
    flash_.Reset();
    dirtyFirst_ = dirtyEnd_ = 0;
    DriveInputs(pins);
    startTime_ = t;
    startCycle_ = get_cycles().get();
    running_ = true;
    QuietGpsim::Take(); // gpsim announces every reset
}

// Nothing else hangs on RB6 and RB7: the programmer's levels are forced on
// the pins (PGD released reads high through the module's pull-up).
void GpsimFirmware::DriveInputs(const ProgrammerPins& pins) {
    cpu_->pgc->forceDrivenState(pins.pgcHigh ? '1' : '0');
    cpu_->pgd->forceDrivenState(pins.pgdPulledLow ? '0' : '1');
}

void GpsimFirmware::Stop() { running_ = false; }

void GpsimFirmware::Advance(Nanos t) {
    if (!running_ || t <= startTime_) return;
    Cycle_Counter& counter = get_cycles();
    const uint64_t target = startCycle_ + (t - startTime_) / cycleTime_;
    if (counter.get() >= target) return;
    QuietGpsim quiet;
    const unsigned lastWord = static_cast<unsigned>(cpu_->words.size() - 1);
    while (counter.get() < target) {
        const uint64_t before = counter.get();
        if (cpu_->cpu->pc->value >= lastWord) {
            // gpsim prints (printf) when the program counter wraps at the end of
            // the flash; the chip says nothing.
            StdoutMuted muted;
            cpu_->pic->step_cycle();
        } else {
            cpu_->pic->step_cycle();
        }
        if (get_bp().have_halt()) get_bp().clear_halt(); // the chip has no debugger to stop it
        if (counter.get() == before) counter.increment();
        cycles_ += counter.get() - before;
        if (dirtyEnd_ > dirtyFirst_) {
            // Decoded again only now: the instruction that wrote may sit in the row it wrote.
            SyncProgramMemory(dirtyFirst_, dirtyEnd_);
            dirtyFirst_ = dirtyEnd_ = 0;
        }
    }
    Capture(QuietGpsim::Take());
}

void GpsimFirmware::Lines(Nanos, const ProgrammerPins& pins) {
    if (!running_) return;
    QuietGpsim quiet;
    DriveInputs(pins);
    Capture(QuietGpsim::Take());
}

std::optional<bool> GpsimFirmware::Output(Nanos) const {
    if (!running_ || cpu_->pgd->get_direction() != IOPIN::DIR_OUTPUT) return std::nullopt;
    return cpu_->pgd->getDrivingState();
}

uint32_t GpsimFirmware::ProgramCounter() const { return cpu_->cpu->pc->get_value(); }

uint8_t GpsimFirmware::TableRead(uint32_t tblptr) const { return mem_.Peek(tblptr); }

void GpsimFirmware::TableWrite(uint32_t tblptr, uint8_t value) { flash_.Load(tblptr, value); }

uint64_t GpsimFirmware::StartWrite(uint32_t tblptr, uint8_t eecon1) {
    const FlashSelfWrite::Cycle c = flash_.Start(tblptr, eecon1);
    flashTime_ += c.duration;
    if (c.end > c.first) {
        dirtyFirst_ = dirtyEnd_ > dirtyFirst_ ? std::min(dirtyFirst_, c.first) : c.first;
        dirtyEnd_ = std::max(dirtyEnd_, c.end);
    }
    return c.duration / cycleTime_;
}

void GpsimFirmware::Capture(const std::string& text) {
    if (text.empty()) return;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        // gpsim's remarks on CLRWDT with the watchdog off and on its own symbol
        // table say nothing of the chip.
        if (line.empty() || line.find("WDT is not enabled") != std::string::npos ||
            line.find("SymbolTable") != std::string::npos)
            continue;
        if (events_.size() == kEventLimit) events_.erase(events_.begin());
        events_.push_back(line);
    }
}

} // namespace mrk::sim

// The plugin's entry point: the loader checks the interface version first.
extern "C" __attribute__((visibility("default"))) mrk::sim::ModuleProgram*
mrk_make_executed_firmware(int abi, int chip, mrk::sim::ModuleMemory* memory) {
    if (abi != mrk::sim::kExecutedFirmwareAbi || !memory) return nullptr;
    return new mrk::sim::GpsimFirmware(static_cast<mrk::sim::ChipModel>(chip), *memory);
}
