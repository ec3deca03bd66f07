#define FUSE_USE_VERSION 35
#include "ledfs.h"

#include <fuse.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "control.h"

namespace twin {

struct LedFs::State {
  LedClassLayout layout;
  std::filesystem::path journal;
  std::mutex mutex;
  std::map<std::string, std::string> values;  // "LED/attribute" -> last accepted text
};

namespace {

LedFs::State& state() { return *static_cast<LedFs::State*>(fuse_get_context()->private_data); }

enum class Node { kNone, kRoot, kLed, kAttribute };

// Splits "/LED/attribute" and tells what it names in the layout.
Node classify(const LedClassLayout& layout, const char* path, std::string* led,
              std::string* attribute) {
  std::string p(path);
  if (p == "/") return Node::kRoot;
  p.erase(0, 1);
  const auto slash = p.find('/');
  *led = p.substr(0, slash);
  const auto found = layout.leds.find(*led);
  if (found == layout.leds.end()) return Node::kNone;
  if (slash == std::string::npos) return Node::kLed;
  *attribute = p.substr(slash + 1);
  return found->second.count(*attribute) != 0 ? Node::kAttribute : Node::kNone;
}

void* on_init(fuse_conn_info* connection, fuse_config* config) {
  // Every write must reach the file system as the program made it.
  connection->want &= ~FUSE_CAP_WRITEBACK_CACHE;
  config->direct_io = 1;
  config->kernel_cache = 0;
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  return fuse_get_context()->private_data;
}

int on_getattr(const char* path, struct stat* st, fuse_file_info*) {
  std::string led, attribute;
  memset(st, 0, sizeof *st);
  switch (classify(state().layout, path, &led, &attribute)) {
    case Node::kRoot:
    case Node::kLed:
      st->st_mode = S_IFDIR | 0755;
      st->st_nlink = 2;
      return 0;
    case Node::kAttribute:
      st->st_mode = S_IFREG | 0644;
      st->st_nlink = 1;
      st->st_size = 4096;  // as sysfs reports its attributes
      return 0;
    case Node::kNone:
      break;
  }
  return -ENOENT;
}

int on_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
               fuse_readdir_flags) {
  std::string led, attribute;
  const Node node = classify(state().layout, path, &led, &attribute);
  if (node != Node::kRoot && node != Node::kLed) return -ENOTDIR;
  fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
  fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
  if (node == Node::kRoot) {
    for (const auto& [name, attributes] : state().layout.leds) {
      fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags{});
    }
  } else {
    for (const auto& name : state().layout.leds.at(led)) {
      fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags{});
    }
  }
  return 0;
}

int on_open(const char* path, fuse_file_info* info) {
  std::string led, attribute;
  const Node node = classify(state().layout, path, &led, &attribute);
  if (node == Node::kNone) return -ENOENT;
  if (node != Node::kAttribute) return -EISDIR;
  info->direct_io = 1;
  return 0;
}

// sysfs directories cannot hold new files.
int on_create(const char*, mode_t, fuse_file_info*) { return -EACCES; }
int on_mknod(const char*, mode_t, dev_t) { return -EACCES; }
int on_unlink(const char*) { return -EPERM; }
int on_truncate(const char*, off_t, fuse_file_info*) { return 0; }

int on_read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info*) {
  std::lock_guard lock(state().mutex);
  const std::string text = state().values[std::string(path + 1)];
  if (offset >= static_cast<off_t>(text.size())) return 0;
  const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
  memcpy(buffer, text.data() + offset, n);
  return static_cast<int>(n);
}

int on_write(const char* path, const char* data, size_t size, off_t, fuse_file_info*) {
  std::string led, attribute;
  auto& s = state();
  if (classify(s.layout, path, &led, &attribute) != Node::kAttribute) return -ENOENT;
  const std::string key = led + "/" + attribute;
  const bool accepted = s.layout.refusing.count(key) == 0;
  {
    std::lock_guard lock(s.mutex);
    twin_control::Line line("led");
    line.field(led.c_str());
    line.field(attribute.c_str());
    line.field(data, size);
    line.field(accepted ? "accepted" : "refused");
    line.commit(s.journal.c_str());
    if (accepted) s.values[key] = std::string(data, size);
  }
  return accepted ? static_cast<int>(size) : -EINVAL;
}

fuse_operations make_operations() {
  fuse_operations ops{};
  ops.init = on_init;
  ops.getattr = on_getattr;
  ops.readdir = on_readdir;
  ops.open = on_open;
  ops.create = on_create;
  ops.mknod = on_mknod;
  ops.unlink = on_unlink;
  ops.truncate = on_truncate;
  ops.read = on_read;
  ops.write = on_write;
  return ops;
}

}  // namespace

LedFs::LedFs(const std::filesystem::path& mountpoint, LedClassLayout layout,
             std::filesystem::path journal)
    : state_(std::make_unique<State>()) {
  state_->layout = std::move(layout);
  state_->journal = std::move(journal);
  static const fuse_operations operations = make_operations();
  const char* argv[] = {"twin-leds", "-o", "fsname=twin-leds,subtype=leds"};
  fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
  fuse_ = fuse_new(&args, &operations, sizeof operations, state_.get());
  // libfuse may have copied the list to add to it; the copy is ours to free.
  fuse_opt_free_args(&args);
  if (fuse_ == nullptr) throw std::runtime_error("cannot create the LED file system");
  if (fuse_mount(fuse_, mountpoint.c_str()) != 0) {
    fuse_destroy(fuse_);
    throw std::runtime_error("cannot mount the LED file system at " + mountpoint.string());
  }
  loop_ = std::thread([f = fuse_] { fuse_loop(f); });
}

LedFs::~LedFs() {
  fuse_exit(fuse_);
  fuse_unmount(fuse_);  // ends the loop's pending read
  loop_.join();
  fuse_destroy(fuse_);
}

}  // namespace twin
