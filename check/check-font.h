// Item 9 of the platform contract: the console font "/usr/share/fonts/6x16.bdf"
// loads with the program's own reader, in 6 x 16 cells, with a glyph for every
// character the program draws. The font stays loaded for the test picture.
#pragma once

#include "check-report.h"

void check_font(item_result& item);
