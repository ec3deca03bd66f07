#include "bench-fonts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <vector>

#include "build-paths.h"
#include "font_builder.h"

namespace bench {
namespace {

// Generated fonts by glyph count; their files go when the process ends.
class generated_fonts {
 public:
  ~generated_fonts() {
    for (const auto& [glyphs, path] : paths_) unlink(path.c_str());
  }

  const std::string& get(int32_t glyphs) {
    auto found = paths_.find(glyphs);
    if (found == paths_.end()) found = paths_.emplace(glyphs, write_font(glyphs)).first;
    return found->second;
  }

 private:
  static std::string write_font(int32_t glyphs) {
    char path[] = "/tmp/restoremark-bench-font-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("cannot create a temporary font file");
    close(fd);
    test_fonts::FontBuilder font;
    font.name("-bench-fixed-medium-r-normal--16-120-75-75-C-60-ISO10646-1")
        .size(12, 75, 75)
        .cell(6, 16, 0, -3)
        .property("FONT_ASCENT 13")
        .property("FONT_DESCENT 3");
    // A fixed pseudo-random pattern in the six left columns of each row.
    uint32_t state = 12345;
    for (int32_t g = 0; g < glyphs; ++g) {
      std::vector<uint32_t> rows(16);
      for (uint32_t& row : rows) {
        state = state * 1103515245u + 12345u;
        row = (state >> 16) & 0xFCu;
      }
      char name[16];
      snprintf(name, sizeof name, "uni%04X", static_cast<unsigned>(g));
      font.glyph(test_fonts::Glyph(g).name(name).widths(480, 6).rows(std::move(rows)));
    }
    font.write(path);
    return path;
  }

  std::map<int32_t, std::string> paths_;
};

}  // namespace

std::string shipped_font_path() { return build_paths::kShippedFont; }

std::string large_font_path(int32_t glyphs) {
  static generated_fonts fonts;
  return fonts.get(glyphs);
}

int64_t file_size(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) throw std::runtime_error("cannot stat " + path);
  return info.st_size;
}

quiet_stdout::quiet_stdout() {
  fflush(stdout);
  saved_ = dup(1);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  dup2(null, 1);
  close(null);
}

quiet_stdout::~quiet_stdout() {
  fflush(stdout);
  dup2(saved_, 1);
  close(saved_);
}

}  // namespace bench
