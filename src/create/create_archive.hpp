#pragma once

// One whole -c run: a folder made into an archive, written beside its name and renamed onto it
// only once it reads back as written and is on the disk. What goes in is planned from the
// records to start from (the original's with `like`, else the folder's table.bin, else none)
// and the folder's files. The tool and the library both make archives so; an observer hears of
// the plan, of each record and of the archive in place.

#include <optional>
#include <string>
#include <vector>

#include "create/folder_scan.hpp"
#include "create/pack_plan.hpp"
#include "create/write_archive.hpp"
#include "format/deflate.hpp"
#include "platform/process.hpp"
#include "select/name_encoding.hpp"

namespace darvex {

struct create_request {
  std::string created;              // the archive to make (command-line text)
  std::string folder;               // the folder it is made from
  std::optional<std::string> like;  // the archive whose bytes it keeps
  std::vector<std::string> excludes;
  bool sync = false;  // records whose file is missing leave the archive
  int level = DEFAULT_COMPRESSION_LEVEL;
  unsigned jobs = 1;
  platform::stop_check stopped = platform::never_stop;
  name_encoding names;  // how stored names are read and file names stored
};

// Hears of a run: its plan before anything is written, each record as it is written (the
// pack_listener), and the archive once it is in place.
class create_observer : public pack_listener {
 public:
  virtual void planned(const pack_plan&, const std::vector<source_file>&) {}
  // The archive replaced its name: whatever follows, it is made.
  virtual void archive_in_place() {}

 protected:
  ~create_observer() = default;
};

// Makes the archive `request` asks for. `in_place` says whether it replaced its name; a run
// that `request.stopped` cuts short ends with no problem and the name untouched.
[[nodiscard]] maybe_problem create_archive(const create_request& request, create_observer& observer, bool& in_place);

}  // namespace darvex
