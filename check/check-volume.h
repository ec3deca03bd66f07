// Item 8 of the platform contract: "/mnt/vfat" is a FAT file system mounted
// there read-write, in which the process can create a file with a long name,
// find it by that name and delete it again.
#pragma once

#include "check-report.h"

void check_volume(item_result& item);
