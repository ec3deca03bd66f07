// The restore-point procedure's own module: the device tool runners and the
// frame-buffer text console.
#pragma once

#include <cstdint>

// Runs "/usr/bin/orvex-msd" with one option; 0 when it exited with status 0,
// otherwise its raw wait status, or 1 when it could not be run or waited for.
int sys_orvex_msd(const char* option);
// Runs "/usr/bin/orvex-auth" with up to four arguments (a null one ends the
// list); the tool's exit status, or 1 when it could not be run or was killed.
int sys_orvex_auth(const char* option, const char* arg1, const char* arg2, const char* arg3);

// Scrolling text console on "/dev/fb0". lcd_init returns 0 when ready;
// lcd_clear, lcd_puts and lcd_update return 1 when the push to the display fails.
int lcd_init();
int lcd_clear();
int lcd_puts(const char* s);
int lcd_update();
void lcd_term();

// What lcd_puts draws, on any bitmap of a drawable geometry (at least 16 rows,
// whole bytes per row) and without the push: scrolls up one 16-row text line,
// clears the new bottom line and draws at most width / 6 characters of `s`.
// The preview tool and the benchmarks show and measure the console with it.
struct mmap_buffer;
void lcd_draw_line(mmap_buffer& bitmap, const char* s);
