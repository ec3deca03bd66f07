// The tool runners against the twin's fake tools: argument vectors exactly as
// the tools receive them, and the mapping of every way a tool can end.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "device_fixture.h"
#include "restoremark.h"

namespace {

using Argv = std::vector<std::string>;

class ToolRunners : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    install_tool(twin::kMsd);
    install_tool(twin::kAuth);
  }
  std::vector<Argv> argvs() const {
    std::vector<Argv> out;
    for (const auto& call : recorded().tool_calls) out.push_back(call.argv);
    return out;
  }
};

TEST_F(ToolRunners, BuildTheArgumentVectorsExactly) {
  const std::string victim = "/run/restoremark-twin/install";
  std::ofstream(victim) << "x";
  EXPECT_EQ(sys_orvex_msd("--stop"), 0);
  EXPECT_EQ(sys_orvex_auth("--make-factory", nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(sys_orvex_auth("--remove", victim.c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(sys_orvex_auth("a", "b", "c", "d"), 0);
  EXPECT_EQ(sys_orvex_auth("a", "b", nullptr, "d"), 0);  // a null ends the list
  EXPECT_EQ(argvs(), (std::vector<Argv>{{"orvex-msd", "--stop"},
                                        {"orvex-auth", "--make-factory"},
                                        {"orvex-auth", "--remove", victim},
                                        {"orvex-auth", "a", "b", "c", "d"},
                                        {"orvex-auth", "a", "b"}}));
  EXPECT_EQ(access(victim.c_str(), F_OK), -1);  // the tool did remove it
}

TEST_F(ToolRunners, ExitStatusIsPassedOnByAuthAndRawByMsd) {
  answer(twin::kMsd, "--stop", {false, 3});
  answer(twin::kAuth, "--make-factory", {false, 3});
  answer(twin::kAuth, "--make-restore", {false, 255});
  const int msd = sys_orvex_msd("--stop");
  EXPECT_TRUE(WIFEXITED(msd));
  EXPECT_EQ(WEXITSTATUS(msd), 3);
  EXPECT_EQ(sys_orvex_auth("--make-factory", nullptr, nullptr, nullptr), 3);
  EXPECT_EQ(sys_orvex_auth("--make-restore", nullptr, nullptr, nullptr), 255);
}

TEST_F(ToolRunners, ToolKilledBySignalIsAFailure) {
  for (int sig : {SIGKILL, SIGTERM, SIGSEGV, SIGABRT}) {
    SCOPED_TRACE(sig);
    TearDown();
    SetUp();
    answer(twin::kMsd, "--start", {true, sig});
    answer(twin::kAuth, "--make-restore", {true, sig});
    const int msd = sys_orvex_msd("--start");
    EXPECT_TRUE(WIFSIGNALED(msd));
    EXPECT_EQ(WTERMSIG(msd), sig);
    EXPECT_EQ(sys_orvex_auth("--make-restore", nullptr, nullptr, nullptr), 1);
  }
}

TEST_F(ToolRunners, MissingOrNonExecutableToolFailsWithoutRunningAnything) {
  unlink("/usr/bin/orvex-auth");
  chmod("/usr/bin/orvex-msd", 0644);
  EXPECT_EQ(sys_orvex_auth("--make-factory", nullptr, nullptr, nullptr), 1);
  const int msd = sys_orvex_msd("--stop");
  EXPECT_TRUE(WIFEXITED(msd));
  EXPECT_EQ(WEXITSTATUS(msd), 1);  // the child's own _exit(1)
  EXPECT_TRUE(argvs().empty());
}

TEST_F(ToolRunners, ChildInheritsOpenDescriptors) {
  const int fd = open("/run/restoremark-twin/settings", O_RDONLY);  // no close-on-exec
  ASSERT_GE(fd, 0);
  EXPECT_EQ(sys_orvex_auth("--make-factory", nullptr, nullptr, nullptr), 0);
  close(fd);
  const std::string seen = recorded().tool_calls.at(0).descriptors;
  EXPECT_NE(seen.find(std::to_string(fd) + "=/run/restoremark-twin/settings"), std::string::npos)
      << seen;
}

TEST_F(ToolRunners, PendingOutputIsWrittenBeforeTheToolRuns) {
  settings.tools_talk = true;
  apply();
  const std::string out = stdout_of([] {
    printf("before the tool, ");
    sys_orvex_msd("--stop");
    printf("after it\n");
  });
  EXPECT_EQ(out, "before the tool, orvex-msd --stop: exit 0\nafter it\n");
}

}  // namespace
