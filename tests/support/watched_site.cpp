#include "watched_site.hpp"

#include <algorithm>

#include "cli/front_end.hpp"
#include "index_peek.hpp"

namespace darvex::test_support {
namespace {

constexpr const char* SENTINEL_TEXT = "the sentinel: no run may change this file\n";
const std::vector<std::string> EXPECTED_OUTSIDE{"up", "up/work", "up/work/input", "up/work/input.dat",
                                                "up/work/sentinel"};
const std::string OUTPUT_PREFIX = "up/work/input/";
constexpr std::size_t MOST_LINKS = 16;  // planting costs system calls on every run

// Where a link at an entry's name goes: its first part, when the name has more, leads to the
// directory above; the name itself to the sentinel. Nothing for a name no link could stand at.
std::optional<std::pair<std::string, std::string>> link_for(const std::string& name) {
  const std::size_t slash = name.find('/');
  const std::string first = name.substr(0, slash);
  if (first.empty() || first == "." || first == ".." || first.find('\\') != std::string::npos) return std::nullopt;
  if (slash == std::string::npos) return std::make_pair(first, std::string("../sentinel"));
  return std::make_pair(first, std::string(".."));
}

}  // namespace

watched_site::watched_site()
    : work_(root_ / "up" / "work"),
      archive_(work_ / "input.dat"),
      output_(work_ / "input"),
      sentinel_(work_ / "sentinel") {
  fs::create_directories(output_);
  write_file(sentinel_, SENTINEL_TEXT);
}

void watched_site::plant_links(const std::string& archive) {
  planted_ = {{"table.bin", "../sentinel"}};
  for (const peeked_record& record : peek_index(archive).value_or(std::vector<peeked_record>{})) {
    if (planted_.size() >= MOST_LINKS) break;
    const auto link = link_for(record.name);
    const auto same_name = [&](const auto& planted) { return link && planted.first == link->first; };
    if (link && std::none_of(planted_.begin(), planted_.end(), same_name)) planted_.push_back(*link);
  }
  for (const auto& [name, target] : planted_) {
    std::error_code ignored;  // a name the file system cannot hold is simply not planted
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
  for (const auto& item : fs::directory_iterator(output_)) {
    const std::string name = item.path().filename().string();
    if (item.is_symlink()) {
      const bool left_as_planted =
          std::find(planted_.begin(), planted_.end(), std::make_pair(name, fs::read_symlink(item.path()).string())) !=
          planted_.end();
      if (!left_as_planted) found.push_back("a link the run made or changed in the output directory: " + name);
    } else if (!item.is_regular_file()) {
      found.push_back("not a regular file in the output directory: " + name);
    }
  }
  return found;
}

}  // namespace darvex::test_support
