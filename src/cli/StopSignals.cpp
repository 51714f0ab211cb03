#include "cli/StopSignals.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace mrk::cli {

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void OnStopSignal(int signal) {
    if (caught != 0) {
        // The second one: the default action, which ends the program now.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    caught = signal;
}

} // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and waits interrupted by the signal go on: the stop is taken at a step boundary.
    action.sa_flags = SA_RESTART;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

int StopSignal() { return caught; }

const char* StopSignalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT (Ctrl+C)";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "сигнал";
    }
}

} // namespace mrk::cli
