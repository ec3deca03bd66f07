// Prints the frame buffer's geometry as the kernel reports it:
// "xres yres xres_virtual yres_virtual bits_per_pixel smem_len".
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

int main() {
  const char* path = "/dev/fb0";
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
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
  close(fd);
  return 0;
}
