// BDF reader: the line buffer cannot be allocated. The load runs in a child
// process whose heap is used up and may not grow, with room kept for exactly
// the FILE that fopen allocates, so the reader's own allocation is the one
// that fails. This relies on the GNU C library's allocator: skipped under
// sanitizers and when a library is preloaded (valgrind's allocator, for one),
// and when the kernel lets the heap grow all the same.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "bdf_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define BDF_FOREIGN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
#define BDF_FOREIGN_ALLOCATOR 1
#endif
#endif

namespace {

using bdf_test::font;

class BdfAllocationTest : public bdf_test::BdfTest {};

constexpr int HEAP_STILL_GROWS = 10;

#ifndef BDF_FOREIGN_ALLOCATOR
// The process's current virtual memory size in bytes.
rlim_t address_space() {
  unsigned long pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm != nullptr) {
    if (fscanf(statm, "%lu", &pages) != 1) pages = 0;
    fclose(statm);
  }
  return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// Takes every free chunk of the heap, of every size, until nothing is left.
void use_up_heap() {
  for (size_t size = 4096; size > 0; size -= 8) {
    while (malloc(size) != nullptr) {
    }
  }
}
#endif

TEST_F(BdfAllocationTest, LineBufferFailureClosesTheFileAndChangesNothing) {
#ifdef BDF_FOREIGN_ALLOCATOR
  GTEST_SKIP() << "needs the C library's own allocator";
#else
  const char* preload = getenv("LD_PRELOAD");
  if (preload != nullptr && *preload != '\0') GTEST_SKIP() << "a preloaded library may own malloc";
  const std::string path = write_file(font("6 16 0 0", "0", ""));
  char output[] = "/tmp/bdf-stdout-XXXXXX";
  const int output_fd = mkstemp(output);
  ASSERT_GE(output_fd, 0);
  fflush(stdout);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(output_fd, 1);
    const rlim_t space = address_space();
    FILE* probe = fopen("/dev/null", "r");
    const size_t file_size = malloc_usable_size(probe);
    fclose(probe);
    void* room_for_file = malloc(file_size);
    const rlimit no_growth{0, 0};
    setrlimit(RLIMIT_DATA, &no_growth);
    // Should an allocator not honour the data limit, the child still ends soon
    // and cannot take more than 64 MB.
    const rlimit little_more{space + (64 << 20), RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &little_more);
    alarm(10);
    use_up_heap();
    if (malloc(256) != nullptr) _exit(HEAP_STILL_GROWS);
    free(room_for_file);
    const int32_t result = load_font(path.c_str());
    fflush(stdout);
    // The file was closed again: its FILE is free for the next fopen.
    FILE* again = fopen(path.c_str(), "r");
    const bool unchanged = current_font.chars == nullptr && current_font.width == 0;
    _exit(result == 1 && unchanged && again != nullptr ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == HEAP_STILL_GROWS) GTEST_SKIP() << "the heap cannot be used up here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  char text[128] = {};
  EXPECT_GT(pread(output_fd, text, sizeof text - 1, 0), 0);
  close(output_fd);
  unlink(output);
  EXPECT_STREQ(text, "Failed to allocate memory for line\n");
#endif
}

}  // namespace
