/* A program that never ends on its own, for runs the twin must stop: it
 * leaves "waiting" on the volume once it runs, then waits for a signal. */
#include <fcntl.h>
#include <unistd.h>

int main(void) {
  const int fd = open("/mnt/vfat/waiting", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 2;
  close(fd);
  for (;;) pause();
}
