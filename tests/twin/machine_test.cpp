// The program's machine: the twin reads it from the ELF header, runs an ARM
// program through qemu-user with a preload library of the same machine,
// refuses a preload library of another machine, and reports the peak memory
// of the run.
#include <elf.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "run_helpers.h"

using namespace expect;

namespace {

// The first 20 bytes of an ELF header: magic, class, byte order, machine.
std::string elf_header(unsigned char elf_class, uint16_t machine, bool big_endian = false) {
  std::string header(20, '\0');
  header.replace(0, 4, ELFMAG);
  header[EI_CLASS] = static_cast<char>(elf_class);
  header[EI_DATA] = big_endian ? ELFDATA2MSB : ELFDATA2LSB;
  header[EI_VERSION] = EV_CURRENT;
  header[big_endian ? 19 : 18] = static_cast<char>(machine & 0xFF);
  header[big_endian ? 18 : 19] = static_cast<char>(machine >> 8);
  return header;
}

class Machine : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/machine-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path file(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }

  std::filesystem::path dir_;
};

TEST_F(Machine, ElfHeaderNamesTheMachine) {
  std::string why;
  EXPECT_EQ(twin::elf_arch(file("arm", elf_header(ELFCLASS32, EM_ARM)), why), twin::Arch::kArmhf);
  EXPECT_EQ(twin::elf_arch(file("a64", elf_header(ELFCLASS64, EM_AARCH64)), why),
            twin::Arch::kAarch64);
  EXPECT_EQ(twin::elf_arch("/proc/self/exe", why), twin::Arch::kHost);
  // A script runs with the interpreter the kernel finds for it.
  EXPECT_EQ(twin::elf_arch(file("script", "#!/bin/sh\nexit 0\n"), why), twin::Arch::kHost);
  EXPECT_EQ(why, "");
}

TEST_F(Machine, MachinesTheTwinCannotRunAreNamed) {
  const std::vector<std::pair<std::string, std::string>> others = {
      {elf_header(ELFCLASS64, EM_RISCV), "ELF machine 243 (64-bit, little-endian)"},
      {elf_header(ELFCLASS32, EM_ARM, true), "ELF machine 40 (32-bit, big-endian)"},
      {elf_header(ELFCLASS64, EM_ARM), "ELF machine 40 (64-bit, little-endian)"},
  };
  for (const auto& [header, named] : others) {
    SCOPED_TRACE(named);
    std::string why;
    EXPECT_EQ(twin::elf_arch(file("other", header), why), std::nullopt);
    EXPECT_NE(why.find(named), std::string::npos) << why;
  }
  std::string why;
  EXPECT_EQ(twin::elf_arch(dir_ / "absent", why), std::nullopt);
  EXPECT_EQ(why, "cannot read " + (dir_ / "absent").string());
}

TEST_F(Machine, ProgramRunsOnItsOwnMachineAndReportsItsPeakMemory) {
  std::string why;
  const auto machine = twin::elf_arch(executable(), why);
  ASSERT_TRUE(machine.has_value()) << why;
  const auto r = run_preset("success");
  EXPECT_EQ(r.arch, *machine);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");  // no loader complaint about the preload library
  ASSERT_TRUE(r.peak_rss_kib().has_value());
  EXPECT_GT(*r.peak_rss_kib(), 0);
}

TEST_F(Machine, PreloadLibraryOfAnotherMachineIsRefusedBeforeTheRun) {
  std::string why;
  const auto machine = twin::elf_arch(executable(), why);
  ASSERT_TRUE(machine.has_value()) << why;
  const bool aarch64 = *machine == twin::Arch::kAarch64;
  auto options = run_options();
  options.files.preload = file("libtwin-preload.so", aarch64 ? elf_header(ELFCLASS32, EM_ARM)
                                                             : elf_header(ELFCLASS64, EM_AARCH64));
  const std::string expected = "the preload library " + options.files.preload.string() +
                               " is built for " + (aarch64 ? "armhf" : "aarch64") +
                               ", the program for " + std::string(twin::arch_name(*machine));
  try {
    twin::run(executable(), preset("success"), options);
    ADD_FAILURE() << "the run went ahead";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(), expected);
  }
}

}  // namespace
