// Items 6 and 7 of the platform contract, measured without acting: the
// power-management device opens read-write (the request is never made), and
// the device's two tools are regular executable files (they are never run).
#pragma once

#include "check-report.h"

void check_power_device(item_result& item);
void check_tools(item_result& item);
