// The check's findings, one per item of the platform contract, and the line
// each is printed as: "PASS" or "FAIL", the item's number and title, and in
// parentheses what was measured or, for a failure, the first thing that did
// not hold.
#pragma once

#include <cstddef>

inline constexpr int kItemCount = 9;

// What the measurement of one item found. The text is kept in the record
// (nothing is allocated for the report); what does not fit is cut.
struct item_result {
  bool failed;
  size_t length;
  char detail[480];
};

// Records the first thing that did not hold: the item fails, later failures are dropped.
void item_fail(item_result& item, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Says what was measured, unless a failure is recorded already.
void item_measured(item_result& item, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Appends "; " and a note whatever the outcome (what was put back, say).
void item_note(item_result& item, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// The item's title as the platform contract gives it (number 1 to kItemCount).
const char* item_title(int number);
// The item's line without its line end, "PASS 2 A 1-bit-per-pixel geometry (...)", cut to `size`.
void format_item_line(char* out, size_t size, int number, const item_result& item);
// Prints the item's line from byte `from` on: all of it when `finished`, else all but the closing
// parenthesis and line end, so that notes added meanwhile can follow. Returns the bytes printed so
// far.
size_t print_item(int number, const item_result& item, size_t from, bool finished);

// 0 when every item holds, 1 when any failed.
int exit_status(const item_result (&items)[kItemCount]);
