#include "frame-files.h"

#include <filesystem>
#include <fstream>
#include <set>

#include "png-writer.h"

namespace fs = std::filesystem;

namespace twin {

namespace {

constexpr const char* kManifest = ".restoremark-sim-frames";

std::vector<std::string> written_before(const fs::path& dir) {
  std::vector<std::string> names;
  std::ifstream in(dir / kManifest);
  for (std::string name; std::getline(in, name);) {
    // Only plain names: the manifest cannot send a removal elsewhere.
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace

std::vector<std::string> write_frame_files(const RunResult& result, const std::string& dir,
                                           int scale) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec)
    return std::vector<std::string>(result.frames.size(), "(no image: cannot create " + dir + ")");
  for (const auto& name : written_before(dir)) fs::remove(fs::path(dir) / name, ec);
  std::ofstream manifest(fs::path(dir) / kManifest, std::ios::trunc);
  for (size_t i = 0; i < result.frames.size(); ++i) {
    const std::string name = "frame-" + std::to_string(i + 1) + ".png";
    const fs::path path = fs::path(dir) / name;
    if (fs::exists(path, ec)) {
      out.push_back("(no image: " + path.string() + " was not written by restoremark-sim)");
      continue;
    }
    const Frame& frame = result.frames[i];
    const PngImage image{frame.bytes, frame.geometry.xres_virtual(), frame.geometry.width,
                         frame.geometry.height};
    std::string error;
    if (!write_png(image, scale, path.string(), error)) {
      out.push_back("(no image: " + error + ")");
      continue;
    }
    manifest << name << "\n";
    out.push_back(path.string());
  }
  return out;
}

}  // namespace twin
