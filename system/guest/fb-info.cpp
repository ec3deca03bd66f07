// Prints the frame buffer's geometry as the kernel reports it:
// "xres yres xres_virtual yres_virtual bits_per_pixel smem_len".
// With "--writes N" it then writes N blank whole screens on the one
// descriptor, as the console pushes its image, and prints what each write
// returned: "write K: BYTES" or "write K: -1 ERRNO-NAME".
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  const char* path = "/dev/fb0";
  const int writes = argc == 3 && strcmp(argv[1], "--writes") == 0 ? atoi(argv[2]) : 0;
  const int fd = open(path, (writes > 0 ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    perror(path);
    return 1;
  }
  fb_var_screeninfo var{};
  fb_fix_screeninfo fix{};
  if (ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0 || ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0) {
    perror("screen information");
    close(fd);
    return 1;
  }
  printf("%u %u %u %u %u %u\n", var.xres, var.yres, var.xres_virtual, var.yres_virtual,
         var.bits_per_pixel, fix.smem_len);
  const std::vector<char> screen(var.xres_virtual * var.yres * var.bits_per_pixel / 8);
  for (int k = 1; k <= writes; ++k) {
    const ssize_t wrote = write(fd, screen.data(), screen.size());
    if (wrote < 0) {
      printf("write %d: -1 %s\n", k, strerrorname_np(errno));
    } else {
      printf("write %d: %zd\n", k, wrote);
    }
  }
  close(fd);
  return 0;
}
