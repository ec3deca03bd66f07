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

}  // namespace guest
