// The platform check run whole in the twin: on the device's platform every
// item holds; on the stock kernel's the display writes and the LEDs' blink
// attributes fail; and each fault a real board can show, set by the twin's
// knobs, fails its own items with its own reason. Every run leaves the LEDs,
// the display memory and the volume as it found them, runs no tool and makes
// no power request.
#include <sstream>

#include "report.h"
#include "twin_fixture.h"

namespace {

using CheckInTwin = expect::TwinTest;

struct Case {
  std::vector<std::string> knobs;
  std::string failing;  // the numbers of the items that fail
  std::string reason;   // what the first of them says, in its parentheses
};

// The numbers of the failing items, and the text in the first one's parentheses.
std::pair<std::string, std::string> failures(const std::string& out) {
  std::istringstream lines(out);
  std::string failing;
  std::string reason;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("FAIL ", 0) != 0) continue;
    const std::string number = line.substr(5, line.find(' ', 5) - 5);
    failing += (failing.empty() ? "" : " ") + number;
    if (reason.empty()) {
      const size_t open = line.find(" (");
      reason = line.substr(open + 2, line.size() - open - 3);
    }
  }
  return {failing, reason};
}

// What every run of the check must leave: nothing of the device changed, no
// tool run, no power request.
void expect_left_as_found(const twin::RunResult& r) {
  EXPECT_TRUE(r.tool_calls.empty());
  EXPECT_TRUE(r.power_requests.empty());
  const auto left = twin::left_as_found(r);
  ASSERT_TRUE(left.has_value()) << "the check wrote to neither the LEDs nor the display";
  EXPECT_EQ(left->volume, "as before the run");
  for (const std::string& part : {left->leds, left->display}) {
    EXPECT_TRUE(part == "as before the run" || part == "not written" || part == "none") << part;
  }
}

TEST_F(CheckInTwin, EveryItemHoldsOnTheDevicesPlatform) {
  const auto r = run_check(twin::Scenario{});
  expect::expect_exit(r, 0);
  std::istringstream lines(r.out);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.rfind("PASS " + std::to_string(++number) + " ", 0), 0u) << line;
  }
  EXPECT_EQ(number, 9);
  expect_left_as_found(r);
  // The three writes, the test picture and the screen put back.
  EXPECT_EQ(r.frames.size(), 5u);
}

const std::vector<Case>& cases() {
  static const std::vector<Case> kCases = {
      {{"--platform", "linux", "--max-brightness", "1"},
       "1 3",
       "write 2 of 1024 bytes was taken, but offset 0 still shows write 1's image"},
      {{"--platform", "linux", "--max-brightness", "1", "--fb-memory", "1024"},
       "1 3",
       "write 2 of 1024 bytes: No space left on device"},
      {{"--platform", "linux", "--led-trigger", "timer", "--no-display"},
       "1 2 3",
       "/dev/fb0: No such file or directory"},
      {{"--no-led", "LED7"}, "3 4 5", "LED7:RED is missing: no directory /sys/class/leds/LED7:RED"},
      {{"--no-attribute", "LED3/delay_on"}, "3 4", "LED3:YELLOW:PIN3 has no delay_on at the start"},
      {{"--refuse", "LED8/delay_on"},
       "4",
       "LED8:GREEN did not take \"500\" in delay_on: Invalid argument"},
      {{"--refuse", "LED2/brightness"},
       "5",
       "LED2:YELLOW:PIN2 did not take \"0\" in brightness: Invalid argument; every LED put back"},
      {{"--geometry", "128x64x8"},
       "2",
       "8 bits per pixel (xres_virtual 128, yres 64); display memory put back"},
      {{"--geometry", "124x64x1"},
       "2",
       "xres_virtual 124 is not a multiple of 8 (yres 64, 1 bit per pixel); display memory put "
       "back"},
      {{"--display-fails"}, "1 2", "FBIOGET_VSCREENINFO: Invalid argument"},
      {{"--display-readonly"}, "1 2", "/dev/fb0: Read-only file system"},
      {{"--display-takes", "512"}, "1", "write 1 took 512 of 1024 bytes"},
      {{"--display-write-fails", "EIO"}, "1", "write 1 of 1024 bytes: Input/output error"},
      {{"--fb-memory", "512"},
       "1",
       "the display memory reads 512 bytes, less than one image of 1024; nothing written"},
      {{"--power", "missing"},
       "6",
       "/dev/power does not open read-write: No such file or directory"},
      {{"--tool-not-executable", "orvex-msd"},
       "7",
       "/usr/bin/orvex-msd is not executable (mode 0644)"},
      {{"--no-tool", "orvex-auth"}, "7", "/usr/bin/orvex-auth: No such file or directory"},
      {{"--volume-readonly"}, "8", "/mnt/vfat is mounted read-only"},
      {{"--volume-full"}, "8", "cannot write a file in /mnt/vfat: No space left on device"},
  };
  return kCases;
}

void expect_failures(const twin::RunResult& r, const std::string& failing,
                     const std::string& reason) {
  expect::expect_exit(r, 1);
  EXPECT_EQ(failures(r.out), std::make_pair(failing, reason)) << r.out;
  expect_left_as_found(r);
}

TEST_F(CheckInTwin, EachFaultOfABoardFailsItsItemsWithItsReason) {
  for (const Case& c : cases()) {
    std::string knobs;
    for (const auto& word : c.knobs) knobs += word + " ";
    SCOPED_TRACE(knobs);
    expect_failures(run_check(expect::with_knobs("success", c.knobs)), c.failing, c.reason);
  }
}

TEST_F(CheckInTwin, AFontThatDoesNotLoadFailsWithTheReadersMessage) {
  use_font("STARTFONT 2.1\n");
  expect_failures(
      run_check(twin::Scenario{}), "9",
      "/usr/share/fonts/6x16.bdf does not load: BDF-Font: Failed to read font file header");
}

}  // namespace
