// Which machine a program is built for, as the twin needs to know it: a
// program for the twin's own machine runs directly in the sandbox; one for
// the device's ARM processors runs there through qemu-user.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace twin {

enum class Arch { kHost, kArmhf, kAarch64 };

// "host", "armhf", "aarch64".
std::string_view arch_name(Arch arch);
std::optional<Arch> parse_arch(std::string_view name);

// The machine an ELF file is built for, from its header: the twin's own
// machine (the header of the running twin), 32-bit ARM or 64-bit ARM.
// Files that are not ELF (scripts) count as the twin's own; an ELF file for
// any other machine, or one that cannot be read, has no answer and `why`
// says what it is.
std::optional<Arch> elf_arch(const std::filesystem::path& file, std::string& why);

// Why `file` cannot be run as the device program, or empty when it can: it
// must be a regular file with the run bit, an ELF executable, and dynamically
// linked (the twin's preload library is loaded by the dynamic loader).
std::string why_not_runnable(const std::filesystem::path& file);

// The qemu-user program that runs code of `arch` ("/usr/bin/qemu-arm"), or
// empty for the twin's own machine.
std::filesystem::path emulator(Arch arch);

}  // namespace twin
