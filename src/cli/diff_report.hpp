#pragma once

// What --diff shows once both archives are read: a line for each difference, in OLD's index
// order (the entries removed, changed, damaged or refused) and then NEW's (those added),
//
//   changed  data\rock.dds  5000 bytes, CRC-32 1a2b3c4d -> 5000 bytes, CRC-32 9f8e7d6c
//   removed  data\old.xml  300 bytes, CRC-32 5e6f7a8b
//   damaged  data\x.bin  1200 bytes, CRC-32 0a1b2c3d -> damaged
//   added    data\new.xml  1200 bytes, CRC-32 0a1b2c3d
//
// and a closing line that counts them and the entries the same,
//
//   OLD.dat -> NEW.dat: 1 added, 1 removed, 1 changed, 1 damaged, 5 the same
//
// or with --json one object for each difference, then one for the whole. Entries that extraction
// refuses or that do not inflate cleanly (in either archive) are differences of their own kind:
// nothing says what they hold.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "select/entry_plan.hpp"

namespace darvex {

// What one entry of one archive inflated to.
struct entry_print {
  bool inflated = false;  // completely: the size and CRC are its bytes'
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  bool same = false;               // NEW's: the bytes of the OLD entry paired with it
  std::optional<problem> failure;  // refused, or damaged
};

// Both archives as read: their plans, their entries' prints by place, and the pairs by name.
struct archive_prints {
  const std::string& old_path;
  const std::string& new_path;
  const entry_plan& old_plan;
  const entry_plan& new_plan;
  const std::vector<entry_print>& old_prints;
  const std::vector<entry_print>& new_prints;
  const std::vector<std::optional<std::size_t>>& pairs;  // by NEW's place: OLD's place
};

// Shows the differences, as lines or (`json`) JSON Lines; 0 when there is none, else 1.
exit_status report_differences(const archive_prints& compared, bool json, console& screen);

}  // namespace darvex
