#include "guest-journal.h"

namespace guest {

std::string tools_file(const std::vector<twin::Record>& records) {
  std::string out;
  for (const auto& record : records) {
    const auto* call = std::get_if<twin::ToolCall>(&record);
    if (call == nullptr) continue;
    for (size_t i = 0; i < call->argv.size(); ++i) out += (i ? "\t" : "") + call->argv[i];
    out += "\n";
  }
  return out;
}

std::string power_file(const std::vector<twin::Record>& records) {
  std::string out;
  for (const auto& record : records) {
    if (const auto* open = std::get_if<twin::PowerOpen>(&record)) {
      out += "open " + std::to_string(open->flags) + "\n";
    } else if (const auto* p = std::get_if<twin::PowerRequest>(&record)) {
      out += "ioctl " + std::to_string(p->request) + " " + std::to_string(p->argument) +
             (p->accepted ? " accepted\n" : " refused\n");
    }
  }
  return out;
}

std::string cut_record(const std::vector<twin::Record>& records) {
  std::string cut_call = "none", flags, main_user = "kept";
  for (const auto& record : records) {
    const auto* call = std::get_if<twin::ToolCall>(&record);
    if (call == nullptr || call->argv.size() < 2) continue;
    const std::string& option = call->argv[1];
    if (call->note == "power cut") {
      cut_call = call->tool + " " + option;
    } else if (call->answer == "exit 0" && (option == "--make-factory" || option == "--make-restore")) {
      flags += (flags.empty() ? "" : " ") + option.substr(7);  // "factory", "restore"
    } else if (option == "--remove" && call->note == "removed") {
      main_user = "removed";
    }
  }
  return "cut-call=" + cut_call + "\nflags=" + (flags.empty() ? "none" : flags) +
         "\nmain-user=" + main_user + "\n";
}

}  // namespace guest
