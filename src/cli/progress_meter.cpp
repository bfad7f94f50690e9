#include "cli/progress_meter.hpp"

#include <cmath>
#include <cstdio>

namespace darvex {
namespace {

struct byte_unit {
  double size;
  const char* name;
};

// The unit in which `bytes` reads best: the largest that leaves at least 1.
byte_unit unit_for(std::uint64_t bytes) {
  constexpr byte_unit UNITS[] = {{1024.0 * 1024 * 1024, "GiB"}, {1024.0 * 1024, "MiB"}, {1024.0, "KiB"}};
  for (const byte_unit& unit : UNITS) {
    if (static_cast<double>(bytes) >= unit.size) return unit;
  }
  return {1, "B"};
}

std::string in_unit(std::uint64_t bytes, const byte_unit& unit) {
  char text[32];
  if (unit.size == 1) {
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / unit.size);
  }
  return text;
}

std::string amount(std::uint64_t bytes) {
  const byte_unit unit = unit_for(bytes);
  return in_unit(bytes, unit) + " " + unit.name;
}

// "0:28", "12:05", "1:02:03".
std::string clock_time(double seconds) {
  const auto whole = static_cast<unsigned long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
  }
  return text;
}

unsigned percent(const progress_counts& done, const progress_counts& total) {
  if (total.bytes > 0) return static_cast<unsigned>(done.bytes * 100 / total.bytes);
  if (total.entries > 0) return done.entries * 100 / total.entries;
  return 100;
}

std::string entries(std::uint32_t count) { return std::to_string(count) + (count == 1 ? " entry" : " entries"); }

}  // namespace

std::string progress_line(const progress_counts& done, const progress_counts& total, double seconds, unsigned columns) {
  const byte_unit unit = unit_for(total.bytes);
  std::string line = std::to_string(done.entries) + "/" + entries(total.entries) + "  " + in_unit(done.bytes, unit) +
                     "/" + in_unit(total.bytes, unit) + " " + unit.name + "  " + std::to_string(percent(done, total)) +
                     "%";
  const double rate = seconds > 0 ? static_cast<double>(done.bytes) / seconds : 0;
  if (rate >= 1) {
    line += "  " + amount(static_cast<std::uint64_t>(rate)) + "/s";
    line += "  " + clock_time(static_cast<double>(total.bytes - std::min(done.bytes, total.bytes)) / rate) + " left";
  }
  if (columns > 0 && line.size() >= columns) line.resize(columns - 1);
  return line;
}

std::string summary_line(const run_summary& summary) {
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", summary.seconds);
  std::string line = "DarvEx: " + entries(summary.written.entries) + " " + summary.written_where + ", " +
                     amount(summary.written.bytes) + " in " +
                     (summary.seconds >= 60 ? clock_time(summary.seconds) : time);
  if (summary.failed > 0) line += "; " + std::to_string(summary.failed) + " failed";
  if (summary.kept > 0) line += "; " + std::to_string(summary.kept) + " kept as they were";
  return line + "\n";
}

bool progress_pace::tick(clock::time_point now) {
  if (now - last_tick_ < TICK_EVERY) return false;
  last_tick_ = now;
  return true;
}

}  // namespace darvex
