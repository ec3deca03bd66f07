#include "device_fixture.h"

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "control.h"

namespace fs = std::filesystem;

namespace {

void mount_tmpfs(const char* path) {
  fs::create_directories(path);
  ASSERT_EQ(mount("tmpfs", path, "tmpfs", 0, "mode=0755"), 0) << path << ": " << strerror(errno);
}

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

void DeviceTest::SetUp() {
  mount_tmpfs("/sys/class");
  mount_tmpfs("/usr/bin");
  mount_tmpfs("/run");
  fs::create_directories("/sys/class/leds");
  fs::create_directories(twin_control::kDir);
  std::ofstream(twin_control::kJournal).flush();
  std::ofstream(twin_control::kAnswers).flush();
  std::ofstream(twin_control::kSettings).flush();
}

void DeviceTest::TearDown() {
  leds_.reset();
  for (const char* path : {"/run", "/usr/bin", "/sys/class"}) umount2(path, MNT_DETACH);
}

twin::LedClassLayout DeviceTest::all_leds() {
  twin::LedClassLayout layout;
  for (const char* name : twin::kLedNames) {
    for (const char* attribute : twin::kLedAttributes) layout.leds[name].insert(attribute);
  }
  return layout;
}

void DeviceTest::use_leds(const twin::LedClassLayout& layout) {
  leds_.reset();
  leds_ = std::make_unique<twin::LedFs>("/sys/class/leds", layout, twin_control::kJournal);
}

void DeviceTest::install_tool(const std::string& name) {
  const auto files = twin::default_twin_files();
  const fs::path target = fs::path("/usr/bin") / name;
  fs::copy_file(name == twin::kMsd ? files.msd_tool : files.auth_tool, target);
  fs::permissions(target, fs::perms(0755));
}

void DeviceTest::answer(const std::string& tool, const std::string& option, twin::ToolAnswer a) {
  std::ofstream(twin_control::kAnswers, std::ios::app)
      << tool << " " << option << (a.by_signal ? " signal " : " exit ") << a.value << "\n";
}

void DeviceTest::set_tools_talk() { std::ofstream(twin_control::kSettings) << "tools=talk\n"; }

twin::RunResult DeviceTest::recorded() const {
  twin::RunResult result;
  result.events = twin::parse_journal(slurp(twin_control::kJournal));
  return result;
}

std::string DeviceTest::stdout_of(const std::function<void()>& call) {
  fflush(stdout);
  char path[] = "/tmp/device-test-stdout.XXXXXX";
  const int file = mkstemp(path);
  const int saved = dup(1);
  dup2(file, 1);
  call();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(file);
  std::string text = slurp(path);
  unlink(path);
  return text;
}
