#include "twin_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "build-paths.h"
#include "files.h"
#include "knobs.h"

namespace expect {

std::filesystem::path executable() {
  const char* named = getenv("RESTOREMARK_TWIN_EXECUTABLE");
  return named != nullptr && *named != '\0' ? named : build_paths::kProgram;
}

std::filesystem::path check_executable() {
  const char* named = getenv("RESTOREMARK_TWIN_CHECK");
  return named != nullptr && *named != '\0' ? named : build_paths::kCheck;
}

twin::RunOptions run_options() {
  twin::RunOptions options;
  const char* preload = getenv("RESTOREMARK_TWIN_PRELOAD");
  if (preload != nullptr && *preload != '\0') options.files.preload = preload;
  // A coverage build's programs write their counts (.gcda files) beside their
  // objects in the build tree, also from inside the sandbox.
  if (*build_paths::kCoverageDir != '\0') {
    options.sandbox.writable_paths.push_back(build_paths::kCoverageDir);
  }
  return options;
}

twin::Scenario preset(const std::string& name) {
  const auto scenario = twin::preset(name);
  EXPECT_TRUE(scenario.has_value()) << name;
  return scenario.value_or(twin::Scenario{});
}

twin::Scenario with_knobs(const std::string& preset_name, const std::vector<std::string>& knobs) {
  auto scenario = preset(preset_name);
  const auto why = twin::apply_knobs(scenario, knobs);
  EXPECT_EQ(why, std::nullopt);
  return scenario;
}

twin::Scenario on_display(const std::string& preset_name, const twin::Geometry& geometry) {
  auto scenario = preset(preset_name);
  scenario.geometry = geometry;
  return scenario;
}

void expect_exit(const twin::RunResult& r, int status) {
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_status, status);
}

void expect_refused_display(const twin::RunResult& r, const std::string& geometry) {
  expect_exit(r, 1);
  EXPECT_EQ(r.out, kBanner + "Unsupported display geometry " + geometry + " bits per pixel.\n");
  EXPECT_EQ(r.log(), kDisplayLine);
  EXPECT_TRUE(r.frames.empty());
  EXPECT_EQ(argvs(r), (std::vector<Argv>{kStop, kRemove, kStart}));
}

void TwinTest::SetUp() {
  char dir[] = "/tmp/twin-test.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  dir_ = dir;
  images_ = dir_ / "images";
  std::filesystem::create_directory(images_);
  options_ = run_options();
  options_.image_parent = images_;
  options_.files.font = write_test_font(dir_);
}

void TwinTest::TearDown() {
  if (dir_.empty()) return;  // skipped before SetUp
  EXPECT_TRUE(std::filesystem::is_empty(images_)) << "a device image was left in " << images_;
  EXPECT_EQ(support::read_file("/proc/self/mountinfo").find(dir_.string()), std::string::npos)
      << "a mount was left in " << dir_;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a process of the twin was left running";
  std::filesystem::remove_all(dir_);
}

namespace {

twin::RunResult run_checked(const std::filesystem::path& program, const twin::Scenario& scenario,
                            const twin::RunOptions& options) {
  auto result = twin::run(program, scenario, options);
  EXPECT_EQ(result.signal, 0) << "the program was killed";
  EXPECT_EQ(result.err, "") << "on the program's standard error";
  return result;
}

}  // namespace

twin::RunResult TwinTest::run(const twin::Scenario& scenario) {
  return run_checked(executable(), scenario, options_);
}

twin::RunResult TwinTest::run_check(const twin::Scenario& scenario) {
  return run_checked(check_executable(), scenario, options_);
}

twin::RunResult TwinTest::run_on_leds(twin::Scenario scenario) {
  scenario.display = twin::Display::kNone;
  return run(scenario);
}

void TwinTest::use_font(const std::string& text) {
  const auto path = dir_ / "font.bdf";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  options_.files.font = path;
}

}  // namespace expect
