// Which LED class and frame-buffer driver the twin's device has: the
// device's own, or a stock Linux kernel's. Needs nothing, so that the pieces
// inside the sandbox (settings.h) share it with the twin.
#pragma once

namespace twin {

// The device's: LED attributes keep the text last written, and each
// whole-image write lands at the start of the display memory, leaving the
// file position alone. Linux: the kernel's LED class with the timer trigger,
// and the fbdev driver, which writes at the file position within the display
// memory.
enum class Platform { kDevice, kLinux };

}  // namespace twin
