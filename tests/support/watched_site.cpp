#include "watched_site.hpp"

#include "cli/front_end.hpp"

namespace darvex::testing {
namespace {

constexpr const char* SENTINEL_TEXT = "the sentinel: no run may change this file\n";
const std::vector<std::string> EXPECTED_OUTSIDE{"up", "up/work", "up/work/input",
                                                "up/work/input.dat", "up/work/sentinel"};
const std::string OUTPUT_PREFIX = "up/work/input/";

}  // namespace

watched_site::watched_site()
    : work_(root_ / "up" / "work"),
      archive_(work_ / "input.dat"),
      output_(work_ / "input"),
      sentinel_(work_ / "sentinel") {
  fs::create_directories(output_);
  write_file(sentinel_, SENTINEL_TEXT);
}

int watched_site::run(const std::string& archive) {
  for (const auto& item : fs::directory_iterator(output_)) fs::remove_all(item.path());
  archive_bytes_ = archive;
  write_file(archive_, archive_bytes_);

  return darvex::run_front_end({archive_.string()});
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
    if (item.is_symlink() || !item.is_regular_file()) {
      found.push_back("not a regular file in the output directory: " + item.path().filename().string());
    }
  }
  return found;
}

}  // namespace darvex::testing
