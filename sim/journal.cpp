#include "journal.h"

#include <charconv>
#include <functional>
#include <map>

#include "journal-writer.h"

namespace twin {

namespace {

// The fields of one line, %XX sequences decoded.
class Fields {
 public:
  Fields(std::vector<std::string> fields, size_t line) : fields_(std::move(fields)), line_(line) {}

  size_t size() const { return fields_.size(); }
  void expect(size_t count) const {
    if (fields_.size() != count) {
      fail(std::to_string(fields_.size()) + " fields where " + std::to_string(count) + " belong");
    }
  }
  const std::string& text(size_t i) const { return fields_.at(i); }
  long long number(size_t i) const {
    const std::string& t = fields_.at(i);
    long long value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (error != std::errc() || end != t.data() + t.size() || t.empty()) {
      fail("field " + std::to_string(i + 1) + " is not a number: '" + t + "'");
    }
    return value;
  }
  bool flag(size_t i, const char* yes, const char* no) const {
    if (fields_.at(i) == yes) return true;
    if (fields_.at(i) != no) fail("field " + std::to_string(i + 1) + " is '" + fields_[i] + "'");
    return false;
  }
  [[noreturn]] void fail(const std::string& why) const {
    throw JournalError("journal line " + std::to_string(line_) + ": " + why);
  }

 private:
  std::vector<std::string> fields_;
  size_t line_;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string unescape(std::string_view field, size_t line) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '%') {
      out.push_back(field[i]);
      continue;
    }
    const int high = i + 2 < field.size() ? hex_digit(field[i + 1]) : -1;
    const int low = high >= 0 ? hex_digit(field[i + 2]) : -1;
    if (low < 0) throw JournalError("journal line " + std::to_string(line) + ": a bad % escape");
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

ToolCall tool_call(const Fields& f) {
  if (f.size() < 6) f.expect(6);
  ToolCall t{f.number(0), f.text(1), f.text(2), f.text(3), f.text(4), {}};
  const long long argc = f.number(5);
  if (argc < 0 || static_cast<size_t>(argc) != f.size() - 6) f.fail("argc does not match argv");
  for (size_t i = 6; i < f.size(); ++i) t.argv.push_back(f.text(i));
  return t;
}

LedWrite led_write(const Fields& f) {
  f.expect(9);
  return {f.text(0),
          f.text(1),
          f.text(2),
          f.flag(3, "accepted", "refused"),
          static_cast<int>(f.number(4)),
          LedState{f.text(5), f.text(6), f.text(7), f.text(8)}};
}

using Decoder = std::function<Record(const Fields&)>;

const std::map<std::string, Decoder, std::less<>>& decoders() {
  static const std::map<std::string, Decoder, std::less<>> kDecoders = {
      {journal::kLoaded,
       [](const Fields& f) -> Record { return f.expect(1), Loaded{f.number(0)}; }},
      {journal::kTool, [](const Fields& f) -> Record { return tool_call(f); }},
      {journal::kWait,
       [](const Fields& f) -> Record {
         f.expect(2);
         return ChildEnd{f.number(0), static_cast<int>(f.number(1))};
       }},
      {journal::kLed, [](const Fields& f) -> Record { return led_write(f); }},
      {journal::kFbInfo,
       [](const Fields& f) -> Record {
         f.expect(2);
         return FbInfo{f.number(0), f.flag(1, "answered", "refused")};
       }},
      {journal::kFbWrite,
       [](const Fields& f) -> Record {
         f.expect(5);
         FbWrite write;
         write.offered = f.number(0);
         write.result = f.number(1);
         write.error = static_cast<int>(f.number(2));
         write.position = f.number(3);
         write.at = f.number(4);
         return write;
       }},
      {journal::kPower,
       [](const Fields& f) -> Record {
         f.expect(3);
         return PowerRequest{f.number(0), f.number(1), f.flag(2, "accepted", "refused")};
       }},
      {journal::kPowerOpen,
       [](const Fields& f) -> Record { return f.expect(1), PowerOpen{f.number(0)}; }},
      {journal::kSleep,
       [](const Fields& f) -> Record { return f.expect(1), Sleep{f.number(0) / 1e9}; }},
      {journal::kToolTime,
       [](const Fields& f) -> Record { return f.expect(1), ToolTime{f.number(0) / 1e9}; }},
      {journal::kSync, [](const Fields& f) -> Record { return f.expect(0), Sync{}; }},
      {journal::kUsage, [](const Fields& f) -> Record { return f.expect(1), Usage{f.number(0)}; }},
  };
  return kDecoders;
}

}  // namespace

double time_of(const Record& record) {
  return std::visit([](const auto& r) { return r.time; }, record);
}

std::vector<Record> decode_journal(std::string_view text) {
  std::vector<Record> records;
  double now = 0;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      throw JournalError("journal line " + std::to_string(number) + " has no line end");
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
      const size_t tab = line.find('\t', start);
      parts.push_back(unescape(line.substr(start, tab - start), number));
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    const std::string kind = parts.front();
    parts.erase(parts.begin());
    if (kind == journal::kLost) {
      throw JournalError("a " + (parts.empty() ? std::string("?") : parts[0]) +
                         " record was too large for the journal and is lost");
    }
    const auto decoder = decoders().find(kind);
    if (decoder == decoders().end()) {
      throw JournalError("journal line " + std::to_string(number) + " is of no known kind: '" +
                         std::string(line.substr(0, 40)) + "'");
    }
    Record record = decoder->second(Fields(std::move(parts), number));
    std::visit([now](auto& r) { r.time = now; }, record);
    if (const auto* sleep = std::get_if<Sleep>(&record)) now += sleep->seconds;
    if (const auto* took = std::get_if<ToolTime>(&record)) now += took->seconds;
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace twin
