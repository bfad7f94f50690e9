#include "watched_site.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "cli/front_end.hpp"
#include "index_peek.hpp"

namespace darvex::test_support {
namespace {

constexpr const char* SENTINEL_TEXT = "the sentinel: no run may change this file\n";
const std::vector<std::string> EXPECTED_OUTSIDE{"up", "up/work", "up/work/input", "up/work/input.dat",
                                                "up/work/sentinel"};
const std::string OUTPUT_PREFIX = "up/work/input/";
constexpr std::size_t MOST_LINKS = 16;  // planting costs system calls on every run

// A stored name's parts, split at '/' and '\' as the tool splits them, empty and "." parts dropped.
std::vector<std::string> parts_of(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : name + '/') {
    if (c != '/' && c != '\\') {
      part += c;
      continue;
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  }
  return parts;
}

// Where links stand for an entry's name: at the name itself, leading to the sentinel; at its
// first folder, leading to the directory above; or, every second name with three parts or more,
// at its second folder inside a real first one, leading three levels up. Nothing for a name no
// link could stand at.
std::optional<std::pair<std::string, std::string>> link_for(const std::string& name, std::size_t count) {
  const std::vector<std::string> parts = parts_of(name);
  if (parts.empty() || std::find(parts.begin(), parts.end(), "..") != parts.end()) return std::nullopt;
  if (parts.size() == 1) return std::make_pair(parts[0], std::string("../sentinel"));
  if (parts.size() >= 3 && count % 2 == 1) return std::make_pair(parts[0] + "/" + parts[1], std::string("../../.."));
  return std::make_pair(parts[0], std::string(".."));
}

// While alive, swaps each folder the tool makes in `output` for a link to the directory above,
// when the swap comes before the tool writes into it; `planted(name)` hears of each.
class folder_swapper {
 public:
  template <typename function>
  folder_swapper(const fs::path& output, function&& planted)
      : watch_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
        stop_(eventfd(0, EFD_CLOEXEC)),
        thread_([this, output, planted] {
          if (watch_ < 0 || stop_ < 0 || inotify_add_watch(watch_, output.c_str(), IN_CREATE) < 0) return;
          while (swap_new_folders(output, planted)) {
          }
        }) {}
  ~folder_swapper() {
    const std::uint64_t one = 1;
    if (stop_ >= 0 && write(stop_, &one, sizeof one) < 0) std::abort();
    thread_.join();
    for (const int fd : {watch_, stop_}) {
      if (fd >= 0) close(fd);
    }
  }

 private:
  // Waits for folders made or the stop; false once stopped.
  template <typename function>
  bool swap_new_folders(const fs::path& output, function& planted) {
    pollfd ready[2] = {{watch_, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (poll(ready, 2, -1) < 0) return errno == EINTR;
    if (ready[1].revents != 0) return false;
    alignas(inotify_event) char events[4096];
    const ssize_t got = read(watch_, events, sizeof events);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if ((event->mask & IN_ISDIR) == 0 || event->len == 0) continue;
      const fs::path folder = output / event->name;
      if (rmdir(folder.c_str()) == 0 && symlink("..", folder.c_str()) == 0) planted(std::string(event->name));
    }
    return true;
  }

  int watch_;
  int stop_;  // written once when the swapper goes
  std::thread thread_;
};

}  // namespace

watched_site::watched_site()
    : work_(root_ / "up" / "work"),
      archive_(work_ / "input.dat"),
      output_(work_ / "input"),
      sentinel_(work_ / "sentinel") {
  fs::create_directories(output_);
  write_file(sentinel_, SENTINEL_TEXT);
}

void watched_site::plant(const std::string& name, const std::string& target) {
  const std::lock_guard<std::mutex> lock(planted_mutex_);
  planted_.emplace_back(name, target);
}

void watched_site::plant_links(const std::string& archive) {
  planted_ = {{"table.bin", "../sentinel"}};
  std::size_t count = 0;
  for (const peeked_record& record : peek_index(archive).value_or(std::vector<peeked_record>{})) {
    if (planted_.size() >= MOST_LINKS) break;
    const auto link = link_for(record.name, count++);
    const auto same_start = [&](const auto& planted) {
      return link && parts_of(planted.first).front() == parts_of(link->first).front();
    };
    if (link && std::none_of(planted_.begin(), planted_.end(), same_start)) planted_.push_back(*link);
  }
  for (const auto& [name, target] : planted_) {
    std::error_code ignored;  // a name the file system cannot hold is simply not planted
    fs::create_directories((output_ / name).parent_path(), ignored);
    fs::create_symlink(target, output_ / name, ignored);
  }
}

int watched_site::run(const std::string& archive, const std::vector<std::string>& options) {
  for (const auto& item : fs::directory_iterator(output_)) fs::remove_all(item.path());
  archive_bytes_ = archive;
  write_file(archive_, archive_bytes_);
  plant_links(archive);
  std::vector<std::string> args = options;
  args.push_back(archive_.string());
  const folder_swapper swapper(output_, [this](const std::string& name) { plant(name, ".."); });
  return darvex::run_front_end(args);
}

std::vector<std::string> watched_site::escapes() const {
  std::vector<std::string> found;
  std::vector<std::string> outside;
  for (std::string& path : list_tree(root_.path())) {
    if (path.rfind(OUTPUT_PREFIX, 0) != 0) outside.push_back(std::move(path));
  }
  if (outside != EXPECTED_OUTSIDE) {
    std::string listing = "outside the output directory, the tree holds:";
    for (const std::string& path : outside) listing += " " + path;
    found.push_back(listing);
  }
  if (read_file(sentinel_) != SENTINEL_TEXT) found.push_back("the sentinel changed");
  if (read_file(archive_) != archive_bytes_) found.push_back("the archive changed");
  const std::lock_guard<std::mutex> lock(planted_mutex_);
  for (const auto& item : fs::recursive_directory_iterator(output_)) {
    const std::string name = item.path().lexically_relative(output_).generic_string();
    if (item.is_symlink()) {
      const bool left_as_planted =
          std::find(planted_.begin(), planted_.end(), std::make_pair(name, fs::read_symlink(item.path()).string())) !=
          planted_.end();
      if (!left_as_planted) found.push_back("a link the run made or changed in the output directory: " + name);
    } else if (!item.is_regular_file() && !item.is_directory()) {
      found.push_back("not a regular file or folder in the output directory: " + name);
    }
  }
  return found;
}

}  // namespace darvex::test_support
