#pragma once
// Why no programmer answered: for each one, which device could not be used and
// why (no permission, a driver missing or in the way, the port held by another
// program, no such device), so that the operator and the technician know what
// to mend. The window program writes it into its log, `mrkprog detect --verbose`
// onto stderr.
#include <string>
#include <vector>

namespace mrk {

struct Context;

// One line for the Kordel ("LPT: ...") and one for the Surtan ("USB: ..."); none
// once a programmer has been found.
std::vector<std::string> ProgrammerAccessReport(const Context& ctx);

} // namespace mrk
