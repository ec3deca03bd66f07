// A device image: the folder a run's device paths come from, made fresh from
// a scenario and its device for every run. Only this step writes it; the
// result step reads it back once the run is over.
//
// Layout of the folder:
//   root/...     the device paths bound into the sandbox (volume, tools,
//                main-user folder, fonts, /dev/power, /dev/fb0)
//   leds/        mount point of the LED class file system
//   control/     journal, settings, the bytes of the display's pushes, the
//                preload library
//   volume-before/   the volume as the run found it (a copy)
//   stdout, stderr   the program's standard output and error
#pragma once

#include <filesystem>

#include "device.h"
#include "scenario.h"
#include "twin-files.h"

namespace twin {

struct Image {
  std::filesystem::path dir;
  std::filesystem::path root() const { return dir / "root"; }
  std::filesystem::path volume() const { return root() / "mnt/vfat"; }
  std::filesystem::path control() const { return dir / "control"; }
  std::filesystem::path leds() const { return dir / "leds"; }
  std::filesystem::path journal() const { return control() / "journal"; }
  std::filesystem::path display_pushes() const { return control() / "display-pushes"; }
  std::filesystem::path volume_before() const { return dir / "volume-before"; }
  std::filesystem::path standard_output() const { return dir / "stdout"; }
  std::filesystem::path standard_error() const { return dir / "stderr"; }
};

// A new empty folder for an image in `parent` ($TMPDIR, else /tmp, when
// empty). Throws TwinError when the folder cannot be made there, or when
// `parent` is mounted noexec: the preload library is loaded from the image.
std::filesystem::path make_image_dir(std::filesystem::path parent);

// Makes the image in the empty folder `dir`. A size-limited volume is left
// empty: it is a file system of its own, filled once the sandbox has mounted
// it (fill_volume, which also keeps a copy of the volume as it filled it).
// The display memory starts zero. Throws std::runtime_error when a file
// cannot be made.
Image make_image(const std::filesystem::path& dir, const Scenario& scenario, const Device& device,
                 const TwinFiles& files);
void fill_volume(const Image& image, const Scenario& scenario);

}  // namespace twin
