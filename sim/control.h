// Where the twin's pieces inside the sandbox (the preload library and the
// fake device tools) find the twin: the control folder, bound into the
// sandbox at a fixed path, with the journal (journal-writer.h), the device
// settings (settings.h), the bytes of the display's pushes and the preload
// library itself.
#pragma once

namespace twin_control {

inline constexpr const char* kDir = "/run/restoremark-twin";
inline constexpr const char* kJournal = "/run/restoremark-twin/journal";
inline constexpr const char* kSettings = "/run/restoremark-twin/settings";
// The bytes every write to the display took, one write after another; the
// journal's fb-write records say how many each took.
inline constexpr const char* kDisplayPushes = "/run/restoremark-twin/display-pushes";
inline constexpr const char* kPreload = "/run/restoremark-twin/libtwin-preload.so";

}  // namespace twin_control
