// BDF reader: allocations that fail. This test program's own malloc refuses
// one allocation of a chosen size when a test asks for it and hands every
// other call to the C library's allocator, so the failure hits exactly the
// reader's line buffer or its glyph table, on every machine and build.
// A sanitizer brings its own allocator, which this must not replace: there
// the tests are skipped.
#include <cerrno>

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
size_t refused_size = 0;  // the size of the next allocation to refuse; 0: none
}  // namespace

#ifndef BDF_FOREIGN_ALLOCATOR
extern "C" void* __libc_malloc(size_t size);

extern "C" void* malloc(size_t size) {
  if (refused_size != 0 && size == refused_size) {
    refused_size = 0;
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}
#endif

namespace {

using bdf_test::font;
using bdf_test::glyph;
using bdf_test::rows;

class BdfAllocationTest : public bdf_test::BdfTest {
 protected:
  void SetUp() override {
#ifdef BDF_FOREIGN_ALLOCATOR
    GTEST_SKIP() << "a sanitizer's allocator cannot be replaced";
#endif
    BdfTest::SetUp();
  }
  void TearDown() override {
    refused_size = 0;
    BdfTest::TearDown();
  }
};

TEST_F(BdfAllocationTest, LineBufferFailureClosesTheFileAndChangesNothing) {
  const std::string path = write_file(font("6 16 0 0", "1", glyph(65, "6 16 0 0", rows(16, "FC"))));
  const int before = support::open_descriptors();
  refused_size = 256;  // the line buffer's first size
  const auto outcome = load_path(path.c_str());
  EXPECT_EQ(outcome.output, "Failed to allocate memory for line\n");
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(refused_size, 0u) << "the line buffer was never asked for";
  EXPECT_EQ(support::open_descriptors(), before);
  EXPECT_EQ(current_font.chars, nullptr);
  EXPECT_EQ(current_font.width, 0);
  EXPECT_EQ(current_font.count, 0);
}

TEST_F(BdfAllocationTest, GlyphTableFailureReportsTheErrorAndKeepsTheCount) {
  const std::string path = write_file(font("6 16 0 0", "5", glyph(65, "6 16 0 0", rows(16, "FC"))));
  const int before = support::open_descriptors();
  refused_size = 5 * sizeof(bdf_char);
  const auto outcome = load_path(path.c_str());
  EXPECT_EQ(outcome.output, "BDF Font: could not allocate space for glyhs. Error - 12\n");
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(refused_size, 0u) << "the glyph table was never asked for";
  EXPECT_EQ(support::open_descriptors(), before);
  EXPECT_EQ(current_font.chars, nullptr);
  EXPECT_EQ(current_font.count, 5);
  EXPECT_EQ(current_font.width, 6);  // the bounding box was read before
  EXPECT_EQ(get_bdf_char(65), nullptr);
}

}  // namespace
