#pragma once
// Ctrl+C and SIGTERM during a run are the window's "СТОП": the running command
// ends at its next step boundary, says so, and the station closes as after any
// command (journal record, module file, temporary files). A second signal ends
// the program at once, as the default action would.
namespace mrk::cli {

// From now on SIGINT, SIGTERM and SIGHUP ask for a stop instead of ending the program.
void CatchStopSignals();
// The signal that asked for a stop; 0 when none came.
int StopSignal();
// "SIGINT (Ctrl+C)", "SIGTERM"...: for the message.
const char* StopSignalName(int signal);

} // namespace mrk::cli
