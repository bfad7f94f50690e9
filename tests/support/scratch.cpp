#include "scratch.hpp"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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
  // In large pieces: files of megabytes are read a byte at a time through an iterator slowly.
  std::string bytes;
  std::vector<char> piece(1 << 20);
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    bytes.append(piece.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw std::runtime_error("cannot read " + path.string());
  return bytes;
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

bool written_so_far(const fs::path& dir, const std::string& output, const std::string& relative) {
  if (fs::exists(dir / output / relative)) return true;
  std::error_code failed;
  for (const auto& item : fs::directory_iterator(dir, failed)) {
    if (item.path().filename().string().rfind(".DarvEx-partial", 0) == 0 && fs::exists(item.path() / relative, failed))
      return true;
  }
  return false;
}

std::vector<std::string> list_tree(const fs::path& dir) {
  std::vector<std::string> paths;
  for (const auto& item : fs::recursive_directory_iterator(dir)) {
    paths.push_back(item.path().lexically_relative(dir).generic_string());  // links stay links
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

namespace {

// A file's bytes in a line of a tree's description: zlib's CRC-32 and Adler-32 of them, fast
// over megabytes.
std::string checksum_of(const std::string& bytes) {
  const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
  const auto length = static_cast<uInt>(bytes.size());
  char shown[24];
  std::snprintf(shown, sizeof shown, "%08lx%08lx", crc32(crc32(0, nullptr, 0), data, length),
                adler32(adler32(0, nullptr, 0), data, length));
  return shown;
}

// The first bytes of a file, quoted, with anything but printable ASCII as \xNN.
std::string head_of(const std::string& bytes) {
  constexpr std::size_t SHOWN = 16;
  std::string shown = "\"";
  for (std::size_t i = 0; i < std::min(bytes.size(), SHOWN); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    shown += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, static_cast<char>(c)) : escaped;
  }
  return shown + (bytes.size() > SHOWN ? "\"..." : "\"");
}

std::string describe_item(const fs::path& path) {
  const fs::file_status status = fs::symlink_status(path);
  if (fs::is_symlink(status)) return "link";
  if (fs::is_directory(status)) return "folder";
  if (!fs::is_regular_file(status)) return "other";
  const std::string bytes = read_file(path);
  return "file, " + std::to_string(bytes.size()) + " bytes, sums " + checksum_of(bytes) + ", " + head_of(bytes);
}

}  // namespace

std::string describe_tree(const fs::path& dir) {
  std::string description;
  for (const std::string& relative : list_tree(dir))
    description += relative + "  " + describe_item(dir / relative) + "\n";
  return description;
}

const std::vector<unfollowed_thing>& unfollowed_things() {
  static const std::vector<unfollowed_thing> things = {
      {"link", [](const fs::path& at) { fs::create_symlink("../../secret.txt", at); }},
      {"folder link", [](const fs::path& at) { fs::create_directory_symlink("..", at); }},
      {"fifo",
       [](const fs::path& at) {
         if (mkfifo(at.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + at.string());
       }},
  };
  return things;
}

}  // namespace darvex::test_support
