#pragma once
// The programming lines of the module (MCLR/VPP, PGC, PGD) as the protocol moves
// them: the one boundary between the programming protocol and the programmers.
// Two programmers implement it: the Kordel on the parallel port acts at once,
// paced by its delay line; the Surtan on USB queues samples and sends them in
// transfers. Which one serves the protocol is the station's choice.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "transport/LineLevel.h"

namespace mrk {

class SampleBatch;

class Line {
public:
    virtual ~Line() = default;

    // Each says whether the programmer answered: the Kordel every echo cycle it
    // waited on; the Surtan a delay's transfer and every poll of its wait, a VPP
    // change that the device took it (its read-back counts in the next delay or
    // transfer). Samples only queued answer true: the next transfer tells.
    [[nodiscard]] virtual bool SetVpp(uint8_t on) = 0;
    virtual void SetClk(uint8_t level) = 0;
    virtual void SetDat(uint8_t level) = 0; // 1 drives PGD low, 0 releases it
    // PGD as the target drives it, or no answer when the programmer gave none.
    [[nodiscard]] virtual LineLevel GetDat() = 0;
    [[nodiscard]] virtual bool ClkPulse() = 0;
    [[nodiscard]] virtual bool Handshake() = 0;
    // n units of about 10 us.
    [[nodiscard]] virtual bool Delay(uint16_t n) = 0;

    // The batching part of the line, when it has one: a line that queues its
    // samples offers room left, flush and the taking of marked samples; a line
    // that acts at once has none (null).
    virtual SampleBatch* Batch() { return nullptr; }
};

// What the protocol reads back from one transfer of marked samples.
struct DatReads {
    bool whole = false; // the transfer came back whole
    uint32_t reads = 0; // marked samples read back
    std::optional<uint32_t> firstLow; // the first read (from 0) that saw PGD low
};

// Samples queued and sent in one transfer; the marked ones carry PGD back.
class SampleBatch {
public:
    virtual ~SampleBatch() = default;
    // Samples that still fit in the transfer being queued.
    [[nodiscard]] virtual uint32_t RoomLeft() const = 0;
    // Sends what is queued and takes its read-back; whether it came back whole.
    [[nodiscard]] virtual bool Flush() = 0;
    // The 16 clocks of a table read's operand phase, eight of them sampled.
    virtual void QueueByteIn() = 0;
    // Sends what is queued and decodes its sampled bytes into out[0..n-1]; false,
    // with out left alone, when the transfer did not come back whole or did not
    // carry n bytes.
    [[nodiscard]] virtual bool TakeBytes(uint8_t* out, size_t n) = 0;
    // One table read's operand phase in a transfer of its own, after what is
    // pending went out; none when either transfer did not come back whole.
    [[nodiscard]] virtual std::optional<uint8_t> ReadByte() = 0;
    // The samples of one PGD read (the first of them marked), without a transfer.
    virtual void QueueDatRead() = 0;
    // Sends what is queued, ending on a whole read-back packet, and tells which
    // marked read first saw PGD low.
    [[nodiscard]] virtual DatReads TakeDatReads() = 0;
};

} // namespace mrk
