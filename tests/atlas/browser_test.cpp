// The atlas as a person meets it: restoremark-sim --atlas writes the page,
// headless Chromium opens it, and the test checks what the browser made of
// it: every image of the page loaded, and a screenshot of the expected size
// that is not blank. Chromium runs under a time limit, with a profile of its
// own that goes with the test's folder.
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "build-paths.h"
#include "files.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";
constexpr int kWidth = 1280;
constexpr int kHeight = 1600;

// Runs a shell command; its standard output, and its exit status in `status`.
std::string output_of(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

// Processes still running with `marker` on their command line (a process
// that has ended shows an empty one).
size_t processes_with(const std::string& marker) {
  size_t count = 0;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    count += support::read_file(it->path() / "cmdline").find(marker) != std::string::npos;
  }
  return count;
}

// A fresh folder with the atlas written into it, gone afterwards.
class AtlasInBrowser : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kChromium))
      GTEST_SKIP() << kChromium << " is not installed: scripts/install-deps browser";
    char name[] = "/tmp/atlas-browser-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder_ = name;
    int status = 0;
    const std::string out = output_of(
        std::string(build_paths::kSim) + " --atlas " + page_dir().string() + " 2>&1", status);
    ASSERT_EQ(status, 0) << out;
  }
  void TearDown() override {
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  fs::path page_dir() const { return folder_ / "atlas"; }

  // Chromium on a page of the atlas, with the extra arguments; its standard
  // output. Its standard error goes to a file, shown when it fails.
  std::string chromium(const std::string& page, const std::string& arguments) {
    const std::string run = std::to_string(++runs_);
    const fs::path profile = folder_ / ("profile-" + run);
    const fs::path errors = folder_ / ("chromium-" + run + ".err");
    fs::create_directories(profile);
    // Its home and XDG folders too (crash reports, dconf) are the test's own.
    const std::string home = folder_.string();
    const std::string command =
        "HOME=" + home + " XDG_CONFIG_HOME=" + home + "/config XDG_CACHE_HOME=" + home +
        "/cache timeout 60 " + kChromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir=" +
        profile.string() + " " + arguments + " file://" + (page_dir() / page).string() + " 2>" +
        errors.string();
    int status = 0;
    std::string out = output_of(command, status);
    EXPECT_EQ(status, 0) << command << "\n" << support::read_file(errors);
    // Chromium's helpers end just after it: give them two seconds.
    for (int i = 0; i < 20 && processes_with(profile.string()) > 0; ++i) usleep(100 * 1000);
    EXPECT_EQ(processes_with(profile.string()), 0u) << "Chromium left processes running";
    return out;
  }

  // The page itself has no script: a copy of it gets one that counts, once
  // the page has loaded, the images that loaded with a picture in them.
  void expect_every_image_loaded() {
    const std::string page = support::read_file(page_dir() / "index.html");
    size_t images = 0;
    for (size_t at = page.find("<img "); at != std::string::npos; at = page.find("<img ", at + 1))
      ++images;
    size_t pngs = 0;
    for (const auto& entry : fs::directory_iterator(page_dir()))
      pngs += entry.path().extension() == ".png";
    ASSERT_GT(pngs, 0u);
    EXPECT_GE(images, pngs) << "every screen image is on the page";

    std::ofstream(page_dir() / "counted.html")
        << page
        << "<script>addEventListener('load', () => { const all = [...document.images];"
           " document.body.dataset.images = all.filter(i => i.complete && i.naturalWidth > "
           "0).length"
           " + '/' + all.length; });</script>\n";
    const std::string dom = chromium("counted.html", "--dump-dom");
    std::smatch counted;
    ASSERT_TRUE(std::regex_search(dom, counted, std::regex("data-images=\"([0-9]+)/([0-9]+)\"")))
        << "the page did not load: " << dom.substr(0, 400);
    EXPECT_EQ(counted[2].str(), std::to_string(images)) << "images the browser found";
    EXPECT_EQ(counted[1].str(), counted[2].str()) << "images that loaded, of all";
  }

  // The screenshot has the window's size and more than one colour; it is
  // kept beside the test (the README's docs/atlas.png is one).
  void expect_screenshot_rendered() {
    const fs::path shot = folder_ / "atlas.png";
    chromium("index.html", "--screenshot=" + shot.string() + " --window-size=" +
                               std::to_string(kWidth) + "," + std::to_string(kHeight));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, shot.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(image.width, static_cast<png_uint_32>(kWidth));
    EXPECT_EQ(image.height, static_cast<png_uint_32>(kHeight));
    size_t unlike_first = 0;
    for (size_t i = 3; i + 2 < pixels.size(); i += 3) {
      unlike_first += !std::equal(pixels.begin() + i, pixels.begin() + i + 3, pixels.begin());
    }
    EXPECT_GT(unlike_first, 0u) << "every pixel of the screenshot has the same colour";
    fs::copy_file(shot, ATLAS_SCREENSHOT, fs::copy_options::overwrite_existing);
  }

  fs::path folder_;
  int runs_ = 0;
};

// One test, so that the atlas's thirty runs are made once.
TEST_F(AtlasInBrowser, RendersWithEveryImage) {
  expect_every_image_loaded();
  expect_screenshot_rendered();
}

}  // namespace
