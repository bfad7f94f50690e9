#include "archive/directory_writer.hpp"

namespace darvex {
namespace {

using creation = platform::directory::creation;

problem unwritten(std::string reason, int err = 0) {
  return {problem_kind::unwritten_entry, {}, std::move(reason), err};
}

}  // namespace

maybe_problem directory_writer::open(const std::string& path, bool with_parents) {
  const int made = with_parents ? platform::make_directories(path) : platform::make_directory(path);
  if (made != 0) return problem{problem_kind::output, path, "cannot create directory", made};
  if (int err = directory_.open(path)) return problem{problem_kind::output, path, "cannot enter directory", err};
  return std::nullopt;
}

entry_outcome directory_writer::write_file(const std::string& name, const unsigned char* data, std::size_t length,
                                           existing_files policy) const {
  platform::file_handle file;
  const platform::directory::created created = directory_.create_file(name.c_str(), policy, file);
  switch (created.result) {
    case creation::made:
      break;
    case creation::kept:
      return {std::nullopt, true};
    case creation::through_link:
      return {unwritten("cannot extract through a symbolic link")};
    case creation::not_representable:
      return {unwritten("the name has no form the system can create")};
    case creation::failed:
      return {unwritten("cannot create", created.err)};
  }
  if (int err = platform::write_all(file, data, length)) return {unwritten("cannot write", err)};
  if (int err = file.close()) return {unwritten("cannot write", err)};
  return {};
}

maybe_problem directory_writer::write_table(const loaded_index& index, existing_files policy) const {
  entry_outcome written = write_file(TABLE_NAME, index.bytes.get(), INDEX_BUFFER_SIZE, policy);
  if (!written.failure) return std::nullopt;
  written.failure->kind = problem_kind::output;
  written.failure->path = TABLE_NAME;
  return written.failure;
}

}  // namespace darvex
