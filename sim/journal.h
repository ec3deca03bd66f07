// The reading half of the twin's journal (journal-writer.h writes it): every
// record of a run as a typed value, in the order it happened, each with the
// virtual time at which it happened (the seconds of recorded sleeps and tool
// times before it). The decoder is strict: a line that is not a record of a known kind
// with its fields, or a record the writer had to drop, fails the decoding.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "led-model.h"

namespace twin {

// The program's process loaded the preload library.
struct Loaded {
  long long pid = 0;
  double time = 0;  // virtual seconds: the recorded sleeps before it (so in every record)
};

// A device tool as it was started: what it received and what it was told
// to do, and how the program saw it end.
struct ToolCall {
  long long pid = 0;
  std::string tool;
  std::string answer;  // "exit N" or "signal N": how the scenario told it to end
  std::string note;    // what it did besides answering ("removed")
  std::string descriptors;
  std::vector<std::string> argv;
  double time = 0;
  // Not in the tool's record: how waitpid() gave its end to the program
  // ("exit 1", "killed by SIGKILL"), filled in from the child's end.
  std::string ended = "not waited for";
};

// The time a tool call took before it answered (the scenario's tool time).
struct ToolTime {
  double seconds = 0;
  double time = 0;  // when it started
};

// A child's end as the program's waitpid() returned it.
struct ChildEnd {
  long long pid = 0;
  int status = 0;  // the raw wait status
  double time = 0;
};

struct LedWrite {
  std::string led;
  std::string attribute;
  std::string text;
  bool accepted = true;
  int error = 0;   // the errno of a refused write
  LedState after;  // the LED's attributes after the write
  double time = 0;
};

struct FbInfo {
  long long request = 0;
  bool answered = false;
  double time = 0;
};

// One write() on "/dev/fb0".
struct FbWrite {
  long long offered = 0;   // bytes the program offered
  long long result = 0;    // what write() returned
  int error = 0;           // errno when it returned -1
  long long position = 0;  // the file position it was made at
  long long at = 0;        // where in the display memory it landed
  double time = 0;
  // Not in the record: the bytes it took, from the control folder's record
  // of them (result.h).
  std::string bytes;
};

struct PowerRequest {
  long long request = 0;
  long long argument = 0;
  bool accepted = false;
  double time = 0;
};

// An open of "/dev/power" with its flags, as a power driver saw it (the
// full-system suite's driver records them; the twin's preload does not).
struct PowerOpen {
  long long flags = 0;
  double time = 0;
};

struct Sleep {
  double seconds = 0;
  double time = 0;  // when it started
};

struct Sync {
  double time = 0;
};

struct Usage {
  long long max_rss_kib = 0;
  double time = 0;
};

using Record = std::variant<Loaded, ToolCall, ChildEnd, LedWrite, FbInfo, FbWrite, PowerRequest,
                            Sleep, Sync, Usage, PowerOpen, ToolTime>;

double time_of(const Record& record);

class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every record of `text`, in order. Throws JournalError naming the line
// that is not a record, or the kind of a record that was lost.
std::vector<Record> decode_journal(std::string_view text);

}  // namespace twin
