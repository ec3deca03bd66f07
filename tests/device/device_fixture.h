// A device of the test's own: fresh /sys/class/leds (the twin's LED class),
// /usr/bin with the twin's tools, and /run/restoremark-twin with an empty
// journal, an empty record of the display's pushes and the device settings,
// mounted over the host's paths inside the test's mount namespace.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "expectations.h"
#include "files.h"
#include "ledfs.h"
#include "result.h"
#include "run.h"
#include "settings.h"

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Serves the LED class with this layout (all nine LEDs by default).
  void use_leds(const twin::LedClassLayout& layout);
  static twin::LedClassLayout all_leds();
  // Installs the twin's fake tools in /usr/bin.
  void install_tool(const std::string& name);
  // The device's settings: change them, then apply() them for the next calls.
  twin_settings::Settings settings;
  void apply();
  void answer(const std::string& tool, const std::string& option, twin::ToolAnswer a);

  // Everything recorded since SetUp, decoded.
  twin::RunResult recorded() const;
  static std::string stdout_of(const std::function<void()>& call) {
    return support::capture_stdout(call);
  }

 private:
  std::unique_ptr<twin::LedFs> leds_;
};
