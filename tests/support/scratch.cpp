#include "scratch.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace darvex::test_support {

scratch_dir::scratch_dir() {
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / ("darvex-test-" + std::to_string(seed()));
    if (fs::create_directory(candidate)) {
      path_ = fs::canonical(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch directory");
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

working_dir::working_dir(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }

working_dir::~working_dir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> list_tree(const fs::path& dir) {
  std::vector<std::string> paths;
  for (const auto& item : fs::recursive_directory_iterator(dir)) {
    paths.push_back(item.path().lexically_relative(dir).generic_string());  // links stay links
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace darvex::test_support
