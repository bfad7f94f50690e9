#include "archive/output_directory.hpp"

namespace darvex {
namespace {

problem write_problem(std::string reason, int err = 0) { return {problem_kind::write, {}, std::move(reason), err}; }

}  // namespace

stage_result output_directory::open(const std::string& path, bool with_parents) {
  const int made = with_parents ? platform::make_directories(path) : platform::make_directory(path);
  if (made != 0) return problem{problem_kind::write, quoted(path), "cannot create directory", made};
  if (int err = directory_.open(path)) return problem{problem_kind::write, quoted(path), "cannot enter directory", err};
  return std::nullopt;
}

entry_outcome output_directory::write_file(const char* name, const unsigned char* data, std::size_t length,
                                           existing_files policy) const {
  platform::file_handle file;
  const platform::directory::created created = directory_.create_file(name, policy, file);
  if (created.kept) return {std::nullopt, true};
  if (created.through_link) return {write_problem("cannot extract through a symbolic link")};
  if (created.not_representable) return {write_problem("the name has no form the system can create")};
  if (created.err != 0) return {write_problem("cannot create", created.err)};
  if (int err = platform::write_all(file, data, length)) return {write_problem("cannot write", err)};
  if (int err = file.close()) return {write_problem("cannot write", err)};
  return {};
}

stage_result output_directory::write_table(const loaded_index& index, existing_files policy) const {
  entry_outcome written = write_file(TABLE_NAME, index.bytes.get(), INDEX_BUFFER_SIZE, policy);
  if (!written.failure) return std::nullopt;
  written.failure->subject = quoted(TABLE_NAME);
  return written.failure;
}

}  // namespace darvex
