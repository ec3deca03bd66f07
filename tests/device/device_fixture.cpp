#include "device_fixture.h"

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "control.h"

namespace fs = std::filesystem;

namespace {

void mount_tmpfs(const char* path) {
  fs::create_directories(path);
  ASSERT_EQ(mount("tmpfs", path, "tmpfs", 0, "mode=0755"), 0) << path << ": " << strerror(errno);
}

}  // namespace

void DeviceTest::SetUp() {
  mount_tmpfs("/sys/class");
  mount_tmpfs("/usr/bin");
  mount_tmpfs("/run");
  fs::create_directories("/sys/class/leds");
  fs::create_directories(twin_control::kDir);
  std::ofstream(twin_control::kJournal).flush();
  std::ofstream(twin_control::kDisplayPushes).flush();
  settings = {};
  apply();
}

void DeviceTest::TearDown() {
  leds_.reset();
  for (const char* path : {"/run", "/usr/bin", "/sys/class"}) umount2(path, MNT_DETACH);
}

twin::LedClassLayout DeviceTest::all_leds() { return twin::make_device(twin::Scenario{}).leds; }

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

void DeviceTest::apply() {
  ASSERT_TRUE(twin_settings::write_settings(settings, twin_control::kSettings));
}

void DeviceTest::answer(const std::string& tool, const std::string& option, twin::ToolAnswer a) {
  ASSERT_TRUE(
      twin_settings::set_answer(settings, tool.c_str(), option.c_str(), a.by_signal, a.value));
  apply();
}

twin::RunResult DeviceTest::recorded() const {
  twin::RunResult result;
  result.records = twin::decode_journal(support::read_file(twin_control::kJournal));
  twin::attach_pushed_bytes(result.records, support::read_file(twin_control::kDisplayPushes));
  twin::build_views(result, twin::make_device(twin::Scenario{}).initial_leds);
  return result;
}
