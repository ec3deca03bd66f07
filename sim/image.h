// A device image: the folder a run's device paths come from, made fresh from
// a scenario for every run, and read back once the run is over.
//
// Layout of the folder:
//   root/...     the device paths bound into the sandbox (volume, tools,
//                main-user folder, fonts, /dev/power, /dev/fb0)
//   leds/        mount point of the LED class file system
//   control/     journal, settings, the preload library
//   stdout, stderr   the program's standard output and error
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "ledfs.h"
#include "scenario.h"
#include "settings.h"

namespace twin {

// The twin's own programs and files that go into every device image.
struct TwinFiles {
  std::filesystem::path preload;    // LD_PRELOAD library, built for the program's machine
  std::filesystem::path msd_tool;   // fake /usr/bin/orvex-msd
  std::filesystem::path auth_tool;  // fake /usr/bin/orvex-auth
  std::filesystem::path font;       // installed as /usr/share/fonts/6x16.bdf; empty for none
};

struct Image {
  std::filesystem::path dir;
  std::filesystem::path root() const { return dir / "root"; }
  std::filesystem::path volume() const { return root() / "mnt/vfat"; }
  std::filesystem::path control() const { return dir / "control"; }
  std::filesystem::path leds() const { return dir / "leds"; }
  std::filesystem::path journal() const { return control() / "journal"; }
  std::filesystem::path standard_output() const { return dir / "stdout"; }
  std::filesystem::path standard_error() const { return dir / "stderr"; }
};

// The log file's name on the volume.
inline constexpr const char* kLogName = "K300-RESTOREMARK-V1-0.log";
// A user's file on the volume that no step may touch.
inline constexpr const char* kBystanderName = "notes.txt";

// Makes the image in the empty folder `dir`. A size-limited volume is left
// empty: it is a file system of its own, filled once the sandbox has mounted
// it (fill_volume). Throws std::runtime_error when a file cannot be made.
Image make_image(const std::filesystem::path& dir, const Scenario& scenario,
                 const TwinFiles& files);
void fill_volume(const Image& image, const Scenario& scenario);

// How the scenario's LED class and its other devices behave.
LedClassLayout led_layout(const Scenario& scenario);
twin_settings::Settings device_settings(const Scenario& scenario);

// Files and folders left under `volume`: relative path -> bytes ("" for a
// folder, whose path ends in '/').
std::map<std::string, std::string> read_volume(const std::filesystem::path& volume);
std::string read_file(const std::filesystem::path& path);

}  // namespace twin
