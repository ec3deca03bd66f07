// The program's machine: the twin reads it from the ELF header, runs an ARM
// program through qemu-user with a preload library of the same machine,
// refuses a preload library of another machine or a program it cannot run
// before any device report, and reports the peak memory of the run.
#include <elf.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "files.h"
#include "twin_fixture.h"

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

class Machine : public TwinTest {
 protected:
  std::filesystem::path file(const std::string& name, const std::string& bytes,
                             std::filesystem::perms mode = std::filesystem::perms(0644)) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    std::filesystem::permissions(dir_ / name, mode);
    return dir_ / name;
  }

  // What the twin says when it refuses to run `program`, or "" when it ran.
  std::string refusal(const std::filesystem::path& program) {
    try {
      twin::run(program, preset("success"), options_);
    } catch (const twin::TwinError& e) {
      return e.what();
    }
    return "";
  }

  // The machine of the program under test.
  static twin::Arch program_arch() {
    std::string why;
    const auto machine = twin::elf_arch(executable(), why);
    EXPECT_TRUE(machine.has_value()) << why;
    return machine.value_or(twin::Arch::kHost);
  }
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
  const auto r = run_preset("success");
  EXPECT_EQ(r.arch, program_arch());
  EXPECT_EQ(r.exit_status, 0);
  ASSERT_TRUE(r.peak_rss_kib.has_value());
  EXPECT_GT(*r.peak_rss_kib, 0);
}

TEST_F(Machine, PreloadLibraryOfAnotherMachineIsRefusedBeforeTheRun) {
  const twin::Arch machine = program_arch();
  const bool aarch64 = machine == twin::Arch::kAarch64;
  options_.files.preload = file("libtwin-preload.so", aarch64 ? elf_header(ELFCLASS32, EM_ARM)
                                                              : elf_header(ELFCLASS64, EM_AARCH64));
  EXPECT_EQ(refusal(executable()), "the preload library " + options_.files.preload.string() +
                                       " is built for " + (aarch64 ? "armhf" : "aarch64") +
                                       ", the program for " +
                                       std::string(twin::arch_name(machine)));
}

// Programs the twin cannot run as the device program get its own message
// (exit 3 in the CLI), never a report of a device that failed.
TEST_F(Machine, ProgramsTheTwinCannotRunAreRefusedBeforeTheRun) {
  const auto run_bit = std::filesystem::perms(0755);
  const std::string script = file("script", "#!/bin/sh\nexit 0\n", run_bit).string();
  const std::string text = file("text", "hello\n", run_bit).string();
  const std::string no_bit = dir_.string() + "/no-bit";
  std::filesystem::copy_file(executable(), no_bit);
  std::filesystem::permissions(no_bit, std::filesystem::perms(0644));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {script, script + " is not an ELF program (a script or a data file)"},
      {text, text + " is not an ELF program (a script or a data file)"},
      {dir_.string(), dir_.string() + " is not a regular file"},
      {no_bit, no_bit + " is not executable (no run bit)"},
      {"/nonexistent", "/nonexistent does not exist"},
  };
  for (const auto& [program, why] : cases) {
    SCOPED_TRACE(program);
    EXPECT_EQ(refusal(program), why);
  }
}

TEST_F(Machine, StaticProgramIsRefusedForThePreloadCannotLoad) {
  const auto program = dir_ / "static";
  const std::string build =
      "printf 'int main(void){return 0;}' | cc -static -x c - -o " + program.string();
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "no static C library to build with";
  std::string why;
  if (twin::elf_arch(program, why) != program_arch()) {
    GTEST_SKIP() << "the program under test is of another machine";
  }
  EXPECT_NE(refusal(program).find("is statically linked"), std::string::npos);
}

TEST_F(Machine, ImageFolderOnANoexecMountIsRefused) {
  const auto noexec = dir_ / "noexec";
  std::filesystem::create_directory(noexec);
  if (geteuid() != 0) GTEST_SKIP() << "only root mounts a noexec folder here";
  ASSERT_EQ(mount("tmpfs", noexec.c_str(), "tmpfs", MS_NOEXEC, "size=1m"), 0);
  options_.image_parent = noexec;
  const std::string why = refusal(executable());
  umount2(noexec.c_str(), MNT_DETACH);
  EXPECT_EQ(why, noexec.string() +
                     " is mounted noexec: the preload library cannot load from a device image "
                     "there (set TMPDIR to another folder)");
}

// A preload library that does not load (here: one that is no library) would
// leave the run without its drivers; the twin notices from the journal.
TEST_F(Machine, PreloadLibraryThatDidNotLoadIsTheTwinsFailure) {
  // An ELF header of the program's machine and nothing else.
  std::string header = support::read_file(executable()).substr(0, 64);
  options_.files.preload = file("libbroken.so", header);
  EXPECT_NE(refusal(executable()).find("the preload library did not load into the program"),
            std::string::npos);
}

}  // namespace
