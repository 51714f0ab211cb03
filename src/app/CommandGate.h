#pragma once
// One command at a time. The message pump runs inside the commands, so a click
// or an Enter can arrive while one runs; every command a front end starts goes
// through Run, which refuses a second one while the first runs. A stop asked
// for meanwhile ("СТОП", or the window closing) is taken by the running command
// at its next step boundary, never inside a row write or a block transfer.
#include <utility>

namespace mrk {

struct Context;

// Operator: "СТОП"; Closing: the window closes; Signal: Ctrl+C or SIGTERM to the command line.
enum class StopCause { None, Operator, Closing, Signal };

class CommandGate {
public:
    [[nodiscard]] bool Running() const { return running_; }

    // Runs `command` unless one is running already; false when it did not start.
    template <class Command>
    [[nodiscard]] bool Run(Command&& command) {
        if (running_) return false;
        running_ = true;
        stop_ = StopCause::None;
        said_ = false;
        struct Leave {
            CommandGate& gate;
            ~Leave() {
                gate.running_ = false;
                gate.stop_ = StopCause::None;
            }
        } leave{*this};
        std::forward<Command>(command)();
        return true;
    }

    // Asks the running command to stop; nothing when none runs. The first cause stays.
    void RequestStop(StopCause cause) {
        if (running_ && stop_ == StopCause::None) stop_ = cause;
    }
    StopCause Stop() const { return stop_; }
    // True once per run: the stop is to be said in the log now.
    [[nodiscard]] bool SayStop() { return stop_ != StopCause::None && !std::exchange(said_, true); }

private:
    bool running_ = false;
    StopCause stop_ = StopCause::None;
    bool said_ = false;
};

// At a step boundary: true when the running command is to stop here. The first
// time it says so it logs why ("Остановлено оператором." or the window closing).
[[nodiscard]] bool StopHere(Context& ctx);

} // namespace mrk
