#pragma once
// Factory numbers handed out by the line ([Journal] Numbers=FROM-TO): the next
// free number of the range, and a cycle started on it. Two stations asking at
// once are offered the same number; the reservation at the cycle's start lets
// only one have it, and the other takes the next one.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mrk::journal {

class JournalStore;
class ProductionJournal;

// The lowest number of from..to that this database holds no reservation for; none when all are taken.
[[nodiscard]] std::optional<uint16_t> NextFreeNumber(JournalStore& store, uint16_t from, uint16_t to);

// Parses "FROM-TO" (decimal, 1 <= FROM <= TO <= 65535); false when it is not that.
[[nodiscard]] bool ParseNumberRange(const std::string& text, uint16_t& from, uint16_t& to);

// Starts a cycle on the next free number: start(n, why) reserves n as every cycle
// does and runs; when it is refused because another station took n meanwhile, the
// next free number is tried. The number the cycle ran on, or none with why (the range
// used up, the journal unreachable, a refusal for another reason).
std::optional<uint16_t> StartOnNextNumber(ProductionJournal& journal,
                                          const std::function<bool(uint16_t number, std::string& why)>& start,
                                          std::string& why);

} // namespace mrk::journal
