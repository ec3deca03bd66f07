// The display items. The three writes go through one descriptor that is
// never repositioned, as the console's pushes do; a second descriptor reads
// from offset 0 after each. A stock fbdev driver writes at the descriptor's
// position, so the writes may land at 0, 1 and 2 image sizes: the check saves
// and puts back that much memory. It repositions its own descriptors only to
// show the test picture and to put memory back.
#include "check-display.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "check-screen.h"

namespace {

constexpr const char* kDisplayDevice = "/dev/fb0";
constexpr unsigned kPictureSeconds = 3;
// What three writes of one descriptor can reach from the start.
constexpr size_t kSavedImages = kWriteCount;

int write_fd = -1;
int read_fd = -1;
fb_var_screeninfo info{};
size_t image_size = 0;
bool picture_drawn = false;
int picture_error = 0;
// One allocation: the saved memory (kSavedImages images), then the picture,
// the image being written and the bytes read back.
uint8_t* memory = nullptr;
uint8_t* saved = nullptr;
size_t saved_size = 0;
uint8_t* picture = nullptr;
uint8_t* image = nullptr;
uint8_t* readback = nullptr;

// Reads up to `size` bytes at `offset` of the read descriptor; what it got,
// or -1 when the first read failed.
ssize_t read_at(uint8_t* data, size_t size, off_t offset) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = pread(read_fd, data + got, size - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && got == 0) return -1;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// One write at `offset` of the write descriptor; 0 when it took all, else the error.
int write_at(const uint8_t* data, size_t size, off_t offset) {
  if (lseek(write_fd, offset, SEEK_SET) != offset) return errno;
  const ssize_t n = write(write_fd, data, size);
  if (n < 0) return errno;
  return static_cast<size_t>(n) == size ? 0 : EIO;
}

void close_display() {
  if (write_fd >= 0) close(write_fd);
  if (read_fd >= 0) close(read_fd);
  write_fd = read_fd = -1;
  free(memory);
  memory = nullptr;
}

bool open_display(item_result& writes, item_result& geometry) {
  write_fd = open(kDisplayDevice, O_RDWR | O_CLOEXEC);
  if (write_fd < 0) {
    const int error = errno;
    item_fail(writes, "%s: %s", kDisplayDevice, strerror(error));
    item_fail(geometry, "%s: %s", kDisplayDevice, strerror(error));
    return false;
  }
  if (ioctl(write_fd, FBIOGET_VSCREENINFO, &info) != 0) {
    const int error = errno;
    item_fail(writes, "FBIOGET_VSCREENINFO: %s", strerror(error));
    item_fail(geometry, "FBIOGET_VSCREENINFO: %s", strerror(error));
    return false;
  }
  return true;
}

bool prepare(item_result& writes) {
  image_size = image_bytes(info);
  if (image_size == 0) {
    item_fail(writes, "an image of %ux%u at %u bits per pixel is empty or larger than %u bytes",
              info.xres_virtual, info.yres, info.bits_per_pixel,
              static_cast<unsigned>(kMaxImageBytes));
    return false;
  }
  memory = static_cast<uint8_t*>(calloc(kSavedImages + 3, image_size));
  read_fd = open(kDisplayDevice, O_RDONLY | O_CLOEXEC);
  if (memory == nullptr || read_fd < 0) {
    item_fail(writes, "%s", memory == nullptr ? "no memory for the images" : strerror(errno));
    return false;
  }
  saved = memory;
  picture = saved + kSavedImages * image_size;
  image = picture + image_size;
  readback = image + image_size;
  return true;
}

// Nothing is written unless the screen it covers could be read first.
bool save_screen(item_result& writes) {
  const ssize_t got = read_at(saved, kSavedImages * image_size, 0);
  if (got < 0) {
    item_fail(writes, "reading the display memory: %s; nothing written", strerror(errno));
    return false;
  }
  saved_size = static_cast<size_t>(got);
  if (saved_size < image_size) {
    item_fail(writes,
              "the display memory reads %zu bytes, less than one image of %zu; nothing "
              "written",
              saved_size, image_size);
    return false;
  }
  return true;
}

void draw_picture() {
  mmap_buffer bitmap{picture, static_cast<int32_t>(info.xres_virtual),
                     static_cast<int32_t>(info.yres), 0, 0};
  draw_test_picture(bitmap);
  picture_drawn = true;
}

void describe_shown(item_result& writes, int n, const write_images& images) {
  const int shown = shown_image(readback, images, n);
  if (shown > 0) {
    item_fail(writes, "write %d of %zu bytes was taken, but offset 0 still shows write %d's image",
              n, image_size, shown);
  } else if (shown == 0) {
    item_fail(writes,
              "write %d of %zu bytes was taken, but offset 0 still shows the screen as "
              "it was",
              n, image_size);
  } else {
    item_fail(writes,
              "write %d of %zu bytes was taken, but offset 0 shows another image (first "
              "difference at byte %zu)",
              n, image_size, first_difference(readback, images, n));
  }
}

void three_writes(item_result& writes) {
  const write_images images{picture, saved, saved_size, image_size};
  for (int n = 1; n <= kWriteCount; ++n) {
    make_write_image(image, images, n);
    const ssize_t taken = write(write_fd, image, image_size);
    if (taken < 0) {
      item_fail(writes, "write %d of %zu bytes: %s", n, image_size, strerror(errno));
      return;
    }
    if (static_cast<size_t>(taken) != image_size) {
      item_fail(writes, "write %d took %zd of %zu bytes", n, taken, image_size);
      return;
    }
    const ssize_t got = read_at(readback, image_size, 0);
    if (got != static_cast<ssize_t>(image_size)) {
      item_fail(writes, "after write %d, %zd of %zu bytes read back from offset 0", n, got,
                image_size);
      return;
    }
    if (shown_image(readback, images, n) != n) {
      describe_shown(writes, n, images);
      return;
    }
  }
  item_measured(writes,
                "3 writes of %zu bytes on one descriptor, each read back whole from offset "
                "0 through a second one",
                image_size);
}

size_t piece_size(size_t offset) {
  return saved_size - offset < image_size ? saved_size - offset : image_size;
}

// Whether the saved piece at `offset` reads back as it was.
bool piece_intact(size_t offset) {
  const size_t size = piece_size(offset);
  const ssize_t got = read_at(readback, size, static_cast<off_t>(offset));
  return got == static_cast<ssize_t>(size) && memcmp(readback, saved + offset, size) == 0;
}

// Puts back every image-sized piece of the saved memory that now differs,
// the one at offset 0 last: a driver that shows each whole-image write at the
// start of the screen puts every piece there, and the last one stays. Notes
// the first piece that does not read as before afterwards.
void put_back(item_result& item) {
  const size_t pieces = (saved_size + image_size - 1) / image_size;
  int error = 0;
  for (size_t piece = pieces; piece-- > 0;) {
    const size_t offset = piece * image_size;
    if (piece_intact(offset)) continue;
    const int e = write_at(saved + offset, piece_size(offset), static_cast<off_t>(offset));
    if (error == 0) error = e;
  }
  for (size_t offset = 0; offset < saved_size; offset += image_size) {
    if (piece_intact(offset)) continue;
    item_note(item, "display memory not put back: bytes %zu-%zu differ%s%s", offset,
              offset + piece_size(offset) - 1, error != 0 ? ", a write failed: " : "",
              error != 0 ? strerror(error) : "");
    return;
  }
  item_note(item, "display memory put back");
}

}  // namespace

void display_measure(item_result& writes, item_result& geometry) {
  if (!open_display(writes, geometry)) {
    close_display();
    return;
  }
  judge_geometry(info, geometry);
  if (!prepare(writes) || !save_screen(writes)) {
    close_display();
    return;
  }
  if (!geometry.failed) draw_picture();
  three_writes(writes);
  if (picture_drawn) {
    item_note(geometry,
              "bit order: for %u s the screen shows an arrow at its top left pointing "
              "right, then \"LEFT\" (mirrored or scrambled: bit 7 is not the leftmost "
              "pixel)",
              kPictureSeconds);
  }
}

bool display_shows_picture() { return picture_drawn && write_fd >= 0; }

void display_show_picture() {
  picture_error = write_at(picture, image_size, 0);
  if (picture_error == 0) sleep(kPictureSeconds);
}

void display_restore(item_result& item) {
  if (write_fd < 0) return;
  if (picture_error != 0)
    item_note(item, "the test picture was not shown: %s", strerror(picture_error));
  put_back(item);
  close_display();
}
