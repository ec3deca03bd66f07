#include "arch.h"

#include <elf.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>

namespace twin {

namespace {

struct ElfIdentity {
  unsigned char elf_class = 0;  // ELFCLASS32 or ELFCLASS64
  bool little_endian = false;
  uint16_t machine = 0;  // EM_*
};

// The class and machine of an ELF header, read in the file's own byte order.
// No answer for a file too short to hold them or not starting with the ELF
// magic.
std::optional<ElfIdentity> read_identity(const std::filesystem::path& file, bool& readable) {
  std::ifstream in(file, std::ios::binary);
  readable = in.is_open();
  std::array<unsigned char, 20> header{};
  in.read(reinterpret_cast<char*>(header.data()), header.size());
  if (!in || memcmp(header.data(), ELFMAG, SELFMAG) != 0) return std::nullopt;
  const bool little = header[EI_DATA] == ELFDATA2LSB;
  const uint16_t machine = little ? header[18] | header[19] << 8 : header[18] << 8 | header[19];
  return ElfIdentity{header[EI_CLASS], little, machine};
}

}  // namespace

std::string_view arch_name(Arch arch) {
  switch (arch) {
    case Arch::kArmhf:
      return "armhf";
    case Arch::kAarch64:
      return "aarch64";
    case Arch::kHost:
      break;
  }
  return "host";
}

std::optional<Arch> parse_arch(std::string_view name) {
  for (const Arch arch : {Arch::kHost, Arch::kArmhf, Arch::kAarch64}) {
    if (name == arch_name(arch)) return arch;
  }
  return std::nullopt;
}

std::optional<Arch> elf_arch(const std::filesystem::path& file, std::string& why) {
  bool readable = false;
  const auto identity = read_identity(file, readable);
  if (!identity) {
    if (readable) return Arch::kHost;  // a script: the kernel finds its interpreter
    why = "cannot read " + file.string();
    return std::nullopt;
  }
  bool own_readable = false;
  const auto own = read_identity("/proc/self/exe", own_readable);
  if (own && own->machine == identity->machine && own->elf_class == identity->elf_class &&
      own->little_endian == identity->little_endian) {
    return Arch::kHost;
  }
  // The device's processors run little-endian; qemu-arm and qemu-aarch64 run
  // only that.
  if (identity->little_endian && identity->elf_class == ELFCLASS32 && identity->machine == EM_ARM) {
    return Arch::kArmhf;
  }
  if (identity->little_endian && identity->elf_class == ELFCLASS64 &&
      identity->machine == EM_AARCH64) {
    return Arch::kAarch64;
  }
  why = file.string() + " is built for ELF machine " + std::to_string(identity->machine) + " (" +
        (identity->elf_class == ELFCLASS64 ? "64" : "32") + "-bit, " +
        (identity->little_endian ? "little" : "big") +
        "-endian), which the twin cannot run: it runs this machine's, armhf and aarch64 programs";
  return std::nullopt;
}

namespace {

// Whether the ELF file has a program interpreter (a PT_INTERP header): a
// static program has none and loads no preload library.
template <typename Header, typename ProgramHeader>
bool has_interpreter(std::ifstream& in) {
  Header header{};
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header)) return false;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    ProgramHeader program{};
    in.seekg(static_cast<std::streamoff>(header.e_phoff + uint64_t{i} * header.e_phentsize));
    if (!in.read(reinterpret_cast<char*>(&program), sizeof program)) return false;
    if (program.p_type == PT_INTERP) return true;
  }
  return false;
}

}  // namespace

std::string why_not_runnable(const std::filesystem::path& file) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  const std::string name = file.string();
  if (ec || !std::filesystem::exists(status)) return name + " does not exist";
  if (!std::filesystem::is_regular_file(status)) return name + " is not a regular file";
  if (access(file.c_str(), X_OK) != 0) return name + " is not executable (no run bit)";
  bool readable = false;
  const auto identity = read_identity(file, readable);
  if (!readable) return "cannot read " + name;
  if (!identity) return name + " is not an ELF program (a script or a data file)";
  std::ifstream in(file, std::ios::binary);
  // Host order is little-endian on every machine the twin runs on, as on
  // the device's.
  const bool dynamic = identity->elf_class == ELFCLASS64
                           ? has_interpreter<Elf64_Ehdr, Elf64_Phdr>(in)
                           : has_interpreter<Elf32_Ehdr, Elf32_Phdr>(in);
  if (!dynamic) {
    return name +
           " is statically linked: the twin's preload library, which stands in for the "
           "device's drivers, cannot load into it";
  }
  return "";
}

std::filesystem::path emulator(Arch arch) {
  switch (arch) {
    case Arch::kArmhf:
      return "/usr/bin/qemu-arm";
    case Arch::kAarch64:
      return "/usr/bin/qemu-aarch64";
    case Arch::kHost:
      break;
  }
  return {};
}

}  // namespace twin
