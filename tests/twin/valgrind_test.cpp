// Whole runs of the device program under valgrind's memcheck, inside the
// twin's sandbox: no invalid access, no use of uninitialised memory, no
// definite or indirect leak, and at exit no descriptor left open but the
// three standard streams (and valgrind's own log), on the display and on the
// LEDs, in success and in failure.
//
// Leaks are counted for the kinds "definite" and "indirect" only: the glyph
// table of the console font stays reachable through current_font until the
// process ends, by design (the procedure never releases the font). The tests
// also pin that this table is the one block left at exit.
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "control.h"
#include "files.h"
#include "twin_fixture.h"

using namespace expect;

namespace {

// valgrind's launcher is a dynamic program: the twin's preload library would
// load into it and, as it does in every program it is loaded into, take
// itself out of LD_PRELOAD, so the program under test would run without it.
// The memcheck tool is run directly instead (it is static), with the
// preload library put back into its environment by env(1), and the
// variable that marks a launched tool.
constexpr const char* kEnv = "/usr/bin/env";
constexpr const char* kValgrindLauncher = "/usr/bin/valgrind.bin";
constexpr const char* kValgrindTools = "/usr/libexec/valgrind";
constexpr int kErrorStatus = 99;  // valgrind's exit status when it found an error

// The memcheck tool for programs of this machine.
std::filesystem::path memcheck_tool() {
#if defined(__x86_64__)
  const char* platform = "amd64";
#elif defined(__aarch64__)
  const char* platform = "arm64";
#elif defined(__arm__)
  const char* platform = "arm";
#else
  const char* platform = "";
#endif
  const auto tool =
      std::filesystem::path(kValgrindTools) / (std::string("memcheck-") + platform + "-linux");
  return access(tool.c_str(), X_OK) == 0 ? tool : std::filesystem::path();
}

class Valgrind : public TwinTest {
 public:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "valgrind cannot run a program built with AddressSanitizer";
#endif
    const auto tool = memcheck_tool();
    if (tool.empty() || access(kEnv, X_OK) != 0) {
      GTEST_SKIP() << "valgrind is not installed (scripts/install-deps tools)";
    }
    const char* other = getenv("RESTOREMARK_TWIN_EXECUTABLE");
    if (other != nullptr && *other != '\0') {
      GTEST_SKIP() << "valgrind runs only programs of this machine";
    }
    TwinTest::SetUp();
    log_ = dir_ / "valgrind.log";
    options_.sandbox.wrapper = {kEnv,
                                std::string("LD_PRELOAD=") + twin_control::kPreload,
                                std::string("VALGRIND_LAUNCHER=") + kValgrindLauncher,
                                tool.string(),
                                "--error-exitcode=" + std::to_string(kErrorStatus),
                                "--leak-check=full",
                                "--show-leak-kinds=definite,indirect",
                                "--errors-for-leak-kinds=definite,indirect",
                                "--track-origins=yes",
                                "--track-fds=yes",
                                "--log-file=" + log_.string()};
    options_.sandbox.read_only_paths.push_back(kEnv);
    options_.sandbox.read_only_paths.push_back(kValgrindTools);
    options_.sandbox.writable_paths.push_back(dir_);
  }

  std::string report() const { return support::read_file(log_); }

  // The run's exit status is the program's own, valgrind found no error and
  // lost no memory, and only the standard streams were open at exit.
  void expect_clean(const twin::RunResult& r, int status) {
    const std::string text = report();
    SCOPED_TRACE(text);
    expect_exit(r, status);
    EXPECT_NE(text.find("ERROR SUMMARY: 0 errors from 0 contexts"), std::string::npos);
    EXPECT_FALSE(std::regex_search(text, std::regex("(definitely|indirectly) lost: [1-9]")));
    EXPECT_NE(text.find("FILE DESCRIPTORS: "), std::string::npos);
    EXPECT_EQ(open_descriptors(text), std::vector<std::string>{});
  }

  // Bytes and blocks still allocated at exit, as valgrind counts them.
  std::pair<long, long> in_use_at_exit() const {
    std::smatch match;
    const std::string text = report();
    if (!std::regex_search(text, match,
                           std::regex("in use at exit: ([0-9,]+) bytes in ([0-9,]+) blocks"))) {
      return {-1, -1};
    }
    auto number = [](std::string digits) {
      std::erase(digits, ',');
      return std::stol(digits);
    };
    return {number(match[1]), number(match[2])};
  }

  // The descriptors open at exit besides the standard streams and valgrind's
  // own log, as "N: what".
  std::vector<std::string> open_descriptors(const std::string& text) const {
    std::vector<std::string> open;
    const std::regex line(R"(Open (file descriptor (\d+)|[A-Z_]+ socket[^:]*): ?(.*))");
    for (std::sregex_iterator i(text.begin(), text.end(), line), end; i != end; ++i) {
      const std::string number = (*i)[2];
      const std::string what = (*i)[3];
      if (!number.empty() && std::stoi(number) <= 2) continue;
      if (what == log_.string()) continue;
      open.push_back((*i)[1].str() + ": " + what);
    }
    return open;
  }

  std::filesystem::path log_;
};

// What is left allocated at exit is the console font's glyph table, one
// block, and nothing else: the test font's 256 records of 124 bytes each (a
// 32-bit code and sixty 16-bit rows).
const std::pair<long, long> kFontTable = {256 * 124, 1};

TEST_F(Valgrind, DisplayRunsAreCleanInSuccessAndFailure) {
  const auto success = run(preset("success"));
  expect_clean(success, 0);
  EXPECT_EQ(success.out, kBanner + "Success.\n");
  EXPECT_EQ(success.frames.size(), 3u);
  EXPECT_EQ(in_use_at_exit(), kFontTable);

  const auto refused = run(preset("restore-refused"));
  expect_clean(refused, 1);
  EXPECT_EQ(refused.out, kBanner + "Error.\n");
  EXPECT_EQ(refused.log(), kRestoreLine);
  EXPECT_EQ(in_use_at_exit(), kFontTable);
}

// The console closes the display itself when it cannot start: after the
// screen information was refused, and after a geometry it cannot draw on.
TEST_F(Valgrind, DisplayThatCannotStartLeavesNothingOpen) {
  expect_clean(run(preset("display-fails")), 1);
  auto low = preset("success");
  low.geometry = {128, 15, 1};
  expect_clean(run(low), 1);
}

TEST_F(Valgrind, LedRunsAreCleanInSuccessAndFailure) {
  const auto success = run_on_leds(preset("success"));
  expect_clean(success, 0);
  EXPECT_EQ(picture(success), kSuccessLeds);
  EXPECT_EQ(in_use_at_exit(), std::make_pair(0L, 0L));

  const auto refused = run_on_leds(preset("factory-refused"));
  expect_clean(refused, 1);
  EXPECT_EQ(picture(refused), kFailureLeds);
}

}  // namespace
