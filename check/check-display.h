// Items 1 and 2 of the platform contract on the display "/dev/fb0": the
// screen information, and three whole-image writes on one descriptor, each
// read back from the start of the screen through a second one. Bit order
// cannot be measured from software: a test picture is shown for a person to
// look at. What the display memory held is read first and put back at the end.
#pragma once

#include "check-report.h"

// Measures both items and keeps the display open, its former contents saved, for the rest.
void display_measure(item_result& writes, item_result& geometry);
// True when the test picture can be drawn: the geometry holds.
bool display_shows_picture();
// Shows the test picture from the start of the screen and keeps it there a few seconds.
void display_show_picture();
// Puts back what the display memory held, closes the display, and notes on `item` how that went.
void display_restore(item_result& item);
