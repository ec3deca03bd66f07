// The display frames of a run as PNG files in a folder of the user's
// choosing. A run removes the frames the previous run wrote there (and only
// those: the folder's manifest lists them), so that runs never mix and a run
// without a display leaves no stale frames; a file it did not write is never
// removed or overwritten.
#pragma once

#include <string>
#include <vector>

#include "result.h"

namespace twin {

// The file name of each frame, or "(no image: why)" in its place.
std::vector<std::string> write_frame_files(const RunResult& result, const std::string& dir,
                                           int scale);

}  // namespace twin
