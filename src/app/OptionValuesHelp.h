#pragma once
// The values of the options that take one of a list (benches, USB drivers, module
// firmware, fault modes), from the station's tables, as a block both programs'
// --help print after their options: a heading per option and one line per
// value, its name and its meaning apart, so that a man page made from the help
// keeps every value its own item.
#include <string>

namespace mrk {

// usbDriver: whether the program has --usb-driver.
std::string OptionValuesHelp(bool usbDriver);

} // namespace mrk
