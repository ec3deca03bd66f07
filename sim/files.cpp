// Where this build keeps the twin's own programs and the shipped font.
#include <filesystem>

#include "twin.h"

namespace twin {

TwinFiles default_twin_files() {
  TwinFiles files{TWIN_PRELOAD, TWIN_MSD_TOOL, TWIN_AUTH_TOOL, TWIN_DEFAULT_FONT};
  // Until a font is shipped the image simply has none.
  if (!std::filesystem::exists(files.font)) files.font.clear();
  return files;
}

}  // namespace twin
