// The guest's journal (the twin's format: its tools and its power driver
// write it) as the guest's result files give it: "tools", one line per tool
// call, the argv entries separated by a tab, argv[0] first; and "power", one
// line per open of /dev/power ("open FLAGS") and per request on it
// ("ioctl REQUEST ARGUMENT accepted|refused"), in decimal.
#pragma once

#include <string>
#include <vector>

#include "journal.h"

namespace guest {

std::string tools_file(const std::vector<twin::Record>& records);
std::string power_file(const std::vector<twin::Record>& records);

// What the tools had done when the power was cut, as KEY=VALUE lines:
// "cut-call=TOOL OPTION" (the call the power went in, or "none"), "flags="
// the restore point flags set before ("factory", "factory restore" or
// "none"), and "main-user=" whether the main-user install file was still
// there ("kept") or had been removed ("removed").
std::string cut_record(const std::vector<twin::Record>& records);

}  // namespace guest
