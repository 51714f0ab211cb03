#pragma once
// The part of program memory a read or a compare covers: the boot region, or all
// of it while " Сравн. Пр.Пам." (SpeedButton21) is down. The USB read and
// CompareChip take the range from that toggle, so it is held down exactly as long
// as the range object lives.
namespace mrk {

struct Context;

class ChipRange {
public:
    ChipRange(Context& ctx, bool whole);
    ~ChipRange();
    ChipRange(const ChipRange&) = delete;
    ChipRange& operator=(const ChipRange&) = delete;

    // The range into BuffChip (ReadAll or ReadBoot); false when the read broke off.
    [[nodiscard]] bool Read();

private:
    Context& ctx_;
    bool whole_;
};

} // namespace mrk
