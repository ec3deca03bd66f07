// Placeholder until the reader lands: no font ever loads.
#include "bdf-reader.h"

bdf_font current_font{};

int32_t load_font(const char*) { return 1; }
bdf_char* get_bdf_char(uint8_t) { return nullptr; }
void release_bdf_font() {}
