// Small things every test program needs: a file's bytes, what a call
// printed on standard output, how many descriptors the process holds.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace support {

// The whole file, byte for byte ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);

// Runs `call` with standard output going to a file and returns what it
// printed there.
std::string capture_stdout(const std::function<void()>& call);

// The descriptors this process has open.
int open_descriptors();

}  // namespace support
