// The FAT volume. The file system's type comes from statfs and the mount
// point from the device numbers of the folder and its parent, so that no
// /proc file is parsed. The temporary file has a name no 8.3 directory entry
// can hold, and is looked for in the folder's listing by that name: a FAT
// volume mounted without long names would shorten it. It is removed whatever
// happened in between.
#include "check-volume.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kVolume = "/mnt/vfat";
constexpr const char* kParent = "/mnt";
constexpr char kContent[] = "restoremark-check\n";
constexpr size_t kNameSize = 64;

// False, after recording why, unless the folder is a FAT mount point that is not read-only.
bool is_writable_fat_mount(item_result& item) {
  struct stat volume {};
  struct stat parent {};
  struct statfs fs {};
  if (stat(kVolume, &volume) != 0 || statfs(kVolume, &fs) != 0) {
    item_fail(item, "%s: %s", kVolume, strerror(errno));
  } else if (stat(kParent, &parent) == 0 && parent.st_dev == volume.st_dev) {
    item_fail(item, "%s is not a mount point: nothing is mounted there", kVolume);
  } else if (fs.f_type != MSDOS_SUPER_MAGIC) {
    item_fail(item, "%s is not a FAT file system (type 0x%lx)", kVolume,
              static_cast<unsigned long>(fs.f_type));
  } else if ((fs.f_flags & ST_RDONLY) != 0) {
    item_fail(item, "%s is mounted read-only", kVolume);
  }
  return !item.failed;
}

// Whether the folder's listing holds `name`; -1, with errno, when the folder
// could not be listed to its end.
int listed(const char* name) {
  DIR* folder = opendir(kVolume);
  if (folder == nullptr) return -1;
  int found = 0;
  errno = 0;
  // cppcheck-suppress readdirCalled ; one thread, and glibc deprecates readdir_r
  while (const dirent* entry = readdir(folder)) {
    if (strcmp(entry->d_name, name) == 0) found = 1;
  }
  const int error = errno;
  closedir(folder);
  errno = error;
  return error != 0 ? -1 : found;
}

// Creates and fills the file; false, after recording why, when it could not.
bool create(const char* path, item_result& item) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    item_fail(item, "cannot create a file in %s: %s", kVolume, strerror(errno));
    return false;
  }
  const ssize_t written = write(fd, kContent, sizeof kContent - 1);
  const int error = written < 0 ? errno : 0;
  const bool closed = close(fd) == 0;
  if (written != static_cast<ssize_t>(sizeof kContent - 1) || !closed) {
    item_fail(item, "cannot write a file in %s: %s", kVolume, strerror(error != 0 ? error : errno));
  }
  return true;
}

void remove_file(const char* path, item_result& item) {
  if (unlink(path) != 0) {
    item_fail(item, "cannot delete %s: %s; it is left on the volume", path, strerror(errno));
    return;
  }
  struct stat s {};
  if (stat(path, &s) == 0) item_fail(item, "%s is still there after it was deleted", path);
}

}  // namespace

void check_volume(item_result& item) {
  if (!is_writable_fat_mount(item)) return;
  char name[kNameSize];
  char path[kNameSize + 16];
  snprintf(name, sizeof name, "restoremark-check-%ld.tmp", static_cast<long>(getpid()));
  snprintf(path, sizeof path, "%s/%s", kVolume, name);
  if (!create(path, item)) return;
  const int found = listed(name);
  if (found < 0) {
    item_fail(item, "cannot list %s: %s", kVolume, strerror(errno));
  } else if (found == 0) {
    item_fail(item, "a file created with a long name is not listed by it: no long file names");
  }
  remove_file(path, item);
  item_measured(item,
                "a FAT file system mounted read-write; a file with a long name created, "
                "listed by that name and deleted");
}
