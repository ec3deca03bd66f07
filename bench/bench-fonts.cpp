#include "bench-fonts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

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
    FILE* out = fdopen(fd, "w");
    fprintf(out,
            "STARTFONT 2.1\nFONT -bench-fixed-medium-r-normal--16-120-75-75-C-60-ISO10646-1\n"
            "SIZE 12 75 75\nFONTBOUNDINGBOX 6 16 0 -3\nSTARTPROPERTIES 2\nFONT_ASCENT 13\n"
            "FONT_DESCENT 3\nENDPROPERTIES\nCHARS %d\n",
            glyphs);
    // A fixed pseudo-random pattern in the six left columns of each row.
    uint32_t state = 12345;
    for (int32_t g = 0; g < glyphs; ++g) {
      fprintf(out,
              "STARTCHAR uni%04X\nENCODING %d\nSWIDTH 480 0\nDWIDTH 6 0\nBBX 6 16 0 -3\nBITMAP\n",
              static_cast<unsigned>(g), g);
      for (int row = 0; row < 16; ++row) {
        state = state * 1103515245u + 12345u;
        fprintf(out, "%02X\n", (state >> 16) & 0xFCu);
      }
      fputs("ENDCHAR\n", out);
    }
    fputs("ENDFONT\n", out);
    if (fclose(out) != 0) throw std::runtime_error("cannot write a temporary font file");
    return path;
  }

  std::map<int32_t, std::string> paths_;
};

}  // namespace

std::string shipped_font_path() { return RESTOREMARK_SOURCE_DIR "/fonts/6x16.bdf"; }

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
