#pragma once
// Whether the programmer keeps answering while a chip routine runs. On LPT the
// delay-line echo tells it: ProgAnswered after the last handshake, cleared also
// by a delay that lost its echo. On USB the transfers tell it: one that failed
// or came back incomplete since the watch began.
#include <cstdint>

namespace mrk {

struct Context;

class LinkWatch {
public:
    explicit LinkWatch(const Context& ctx);
    // The programmer stopped answering. On LPT ask right after a step that ended
    // with a handshake: the flag holds that handshake's result.
    bool Lost() const;
    // Anything answered since the watch began: an echo (LPT), a whole transfer (USB).
    bool AnsweredSince() const;

private:
    const Context& ctx_;
    uint64_t echoes_, done_, failed_;
};

} // namespace mrk
