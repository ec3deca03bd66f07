// A device of the test's own: fresh /sys/class/leds (the twin's LED class),
// /usr/bin with the twin's tools, and /run/restoremark-twin with an empty
// journal, mounted over the host's paths inside the test's mount namespace.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "ledfs.h"
#include "scenario.h"
#include "twin.h"

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Serves the LED class with this layout (all nine LEDs by default).
  void use_leds(const twin::LedClassLayout& layout);
  static twin::LedClassLayout all_leds();
  // Installs the twin's fake tools in /usr/bin (all by default).
  void install_tool(const std::string& name);
  void answer(const std::string& tool, const std::string& option, twin::ToolAnswer a);
  void set_tools_talk();

  // Everything recorded since SetUp.
  twin::RunResult recorded() const;
  // Runs `call` with standard output going to a file and returns the output.
  static std::string stdout_of(const std::function<void()>& call);

 private:
  std::unique_ptr<twin::LedFs> leds_;
};
