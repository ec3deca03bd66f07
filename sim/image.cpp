#include "image.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

#include "control.h"
#include "interrupt.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

// The files a maintenance package leaves on the volume.
const std::map<std::string, std::string>& package_files() {
  static const std::map<std::string, std::string> kFiles = {
      {"K300-RESTOREMARK-V1-0.tar.gz", "package archive\n"},
      {"install", "#!/bin/sh\n# package install script\n"},
      {"install.sig", "package install signature\n"},
      {"main-user.crt", "main-user certificate\n"},
  };
  return kFiles;
}
// A user's file on the volume that no step may touch.
constexpr const char* kBystanderName = "notes.txt";
constexpr const char* kBystander = "a user's file that no step may touch\n";

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error(what + (errno ? std::string(": ") + strerror(errno) : ""));
}

void write_file(const fs::path& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  out.close();
  if (!out) fail("cannot write " + path.string());
  fs::permissions(path, static_cast<fs::perms>(mode));
}

// A user's file takes whatever room is left on a volume of limited size
// (never on an unlimited one: that would fill the disk the image lies on).
void fill_up(const fs::path& volume) {
  const int fd = open((volume / "filler.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("cannot fill the volume");
  static const char kBlock[4096] = {};
  while (write(fd, kBlock, sizeof kBlock) > 0) {
  }
  while (write(fd, kBlock, 1) > 0) {
  }
  close(fd);
}

void install_tools(const Image& image, const Scenario& scenario, const TwinFiles& files) {
  for (const auto& [name, source] : {std::pair{kMsd, files.msd_tool}, {kAuth, files.auth_tool}}) {
    if (scenario.missing_tools.count(name)) continue;
    const bool executable = scenario.non_executable_tools.count(name) == 0;
    fs::copy_file(source, image.root() / "usr/bin" / name);
    fs::permissions(image.root() / "usr/bin" / name,
                    static_cast<fs::perms>(executable ? 0755 : 0644));
  }
}

// The file is the display memory, zero at start, on both platforms.
void write_display(const Image& image, const Scenario& scenario) {
  if (scenario.display == Display::kNone) return;
  const fs::path fb = image.root() / "dev/fb0";
  write_file(fb, "");
  fs::resize_file(fb, scenario.display_memory);
}

}  // namespace

void fill_volume(const Image& image, const Scenario& scenario) {
  if (scenario.package_files) {
    for (const auto& [name, bytes] : package_files()) write_file(image.volume() / name, bytes);
  }
  write_file(image.volume() / kBystanderName, kBystander);
  if (scenario.log_blocked) fs::create_directory(image.volume() / kLogName);
  if (scenario.volume_full) fill_up(image.volume());
  // What the run found, to tell what it left changed.
  fs::copy(image.volume(), image.volume_before(), fs::copy_options::recursive);
}

fs::path make_image_dir(fs::path parent) {
  if (parent.empty()) {
    const char* tmpdir = getenv("TMPDIR");
    parent = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  }
  // The preload library is loaded from the image: not from a noexec mount.
  struct statvfs volume {};
  if (statvfs(parent.c_str(), &volume) != 0) {
    throw TwinError("cannot use " + parent.string() + " for the device image: " + strerror(errno));
  }
  if (volume.f_flag & ST_NOEXEC) {
    throw TwinError(parent.string() +
                    " is mounted noexec: the preload library cannot load from a device image "
                    "there (set TMPDIR to another folder)");
  }
  std::string pattern = (parent / "restoremark-twin.XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw TwinError("cannot create the device image folder in " + parent.string() + ": " +
                    strerror(errno));
  }
  return pattern;
}

Image make_image(const fs::path& dir, const Scenario& scenario, const Device& device,
                 const TwinFiles& files) {
  if (scenario.volume_full && scenario.volume_size == 0) {
    throw TwinError(
        "a full volume needs a size (--volume-size): the twin never fills the disk its image is "
        "on");
  }
  const Image image{dir};
  for (const char* sub : {"root/mnt/vfat", "root/usr/bin", "root/usr/local/main-user",
                          "root/usr/share/fonts", "root/dev", "control", "leds"}) {
    fs::create_directories(image.dir / sub);
  }
  if (scenario.volume_size == 0) fill_volume(image, scenario);
  if (scenario.main_user_install) {
    write_file(image.root() / "usr/local/main-user/install", "main-user install\n");
  }
  if (!files.font.empty()) fs::copy_file(files.font, image.root() / "usr/share/fonts/6x16.bdf");
  if (scenario.power != Power::kMissing) write_file(image.root() / "dev/power", "");
  write_display(image, scenario);
  install_tools(image, scenario, files);

  write_file(image.journal(), "");
  write_file(image.display_pushes(), "");
  fs::copy_file(files.preload, image.control() / fs::path(twin_control::kPreload).filename());
  const fs::path settings = image.control() / fs::path(twin_control::kSettings).filename();
  if (!twin_settings::write_settings(device.settings, settings.c_str())) {
    fail("cannot write " + settings.string());
  }
  return image;
}

}  // namespace twin
