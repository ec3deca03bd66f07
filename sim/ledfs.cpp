#define FUSE_USE_VERSION 35
#include "ledfs.h"

#include <fuse.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "journal-writer.h"

namespace twin {

struct LedFs::State {
  std::map<std::string, LedModel> leds;
  std::filesystem::path journal;
  std::mutex mutex;
  bool lost_record = false;
};

namespace {

LedFs::State& state() { return *static_cast<LedFs::State*>(fuse_get_context()->private_data); }

enum class Node { kNone, kRoot, kLed, kAttribute };

// Splits "/LED/attribute" and tells what it names now. Called with the
// state's mutex held: the attributes of a Linux LED come and go.
Node classify(LedFs::State& s, const char* path, std::string* led, std::string* attribute) {
  std::string p(path);
  if (p == "/") return Node::kRoot;
  p.erase(0, 1);
  const auto slash = p.find('/');
  *led = p.substr(0, slash);
  const auto found = s.leds.find(*led);
  if (found == s.leds.end()) return Node::kNone;
  if (slash == std::string::npos) return Node::kLed;
  *attribute = p.substr(slash + 1);
  return found->second.has(*attribute) ? Node::kAttribute : Node::kNone;
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
  std::lock_guard lock(state().mutex);
  switch (classify(state(), path, &led, &attribute)) {
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
  std::lock_guard lock(state().mutex);
  const Node node = classify(state(), path, &led, &attribute);
  if (node != Node::kRoot && node != Node::kLed) return -ENOTDIR;
  fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
  fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
  if (node == Node::kRoot) {
    for (const auto& [name, model] : state().leds) {
      fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags{});
    }
  } else {
    for (const auto& name : state().leds.at(led).attributes()) {
      fill(buffer, name.c_str(), nullptr, 0, fuse_fill_dir_flags{});
    }
  }
  return 0;
}

int on_open(const char* path, fuse_file_info* info) {
  std::string led, attribute;
  std::lock_guard lock(state().mutex);
  const Node node = classify(state(), path, &led, &attribute);
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
  std::string led, attribute;
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (classify(s, path, &led, &attribute) != Node::kAttribute) return -ENOENT;
  const std::string text = s.leds.at(led).read(attribute);
  if (offset >= static_cast<off_t>(text.size())) return 0;
  const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
  memcpy(buffer, text.data() + offset, n);
  return static_cast<int>(n);
}

// Every write system call is one record: what arrived, how the class
// answered, and the LED's state after it.
int on_write(const char* path, const char* data, size_t size, off_t, fuse_file_info*) {
  std::string led, attribute;
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (classify(s, path, &led, &attribute) != Node::kAttribute) return -ENOENT;
  LedModel& model = s.leds.at(led);
  const int error = model.write(attribute, std::string(data, size));
  const LedState after = model.state();
  journal::Writer line(journal::kLed);
  line.field(led.c_str()).field(attribute.c_str()).field(data, size);
  line.field(error == 0 ? "accepted" : "refused").number(error);
  line.field(after.brightness.c_str()).field(after.trigger.c_str());
  line.field(after.delay_on.c_str()).field(after.delay_off.c_str());
  if (!line.commit(s.journal.c_str())) s.lost_record = true;
  return error == 0 ? static_cast<int>(size) : -error;
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

LedFs::LedFs(const std::filesystem::path& mountpoint, const LedClassLayout& layout,
             std::filesystem::path journal)
    : state_(std::make_unique<State>()) {
  for (const auto& [name, setup] : layout) state_->leds.emplace(name, LedModel(setup));
  state_->journal = std::move(journal);
  static const fuse_operations kOperations = make_operations();
  const char* argv[] = {"twin-leds", "-o", "fsname=twin-leds,subtype=leds"};
  fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
  fuse_ = fuse_new(&args, &kOperations, sizeof kOperations, state_.get());
  // libfuse may have copied the list to add to it; the copy is ours to free.
  fuse_opt_free_args(&args);
  if (fuse_ == nullptr) throw std::runtime_error("cannot create the LED file system");
  if (fuse_mount(fuse_, mountpoint.c_str()) != 0) {
    fuse_destroy(fuse_);
    throw std::runtime_error("cannot mount the LED file system at " + mountpoint.string());
  }
  loop_ = std::thread([f = fuse_] { fuse_loop(f); });
}

bool LedFs::recorded_every_write() const {
  std::lock_guard lock(state_->mutex);
  return !state_->lost_record;
}

LedFs::~LedFs() {
  fuse_exit(fuse_);
  fuse_unmount(fuse_);  // ends the loop's pending read
  loop_.join();
  fuse_destroy(fuse_);
}

}  // namespace twin
