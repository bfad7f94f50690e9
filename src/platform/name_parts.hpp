#pragma once

// The parts of a name between its separators, as views into the name. Every part is given,
// empty ones included, so that each user decides what an empty or "." part means: "a//b/" is
// "a", "", "b", "", and "" is one empty part.

#include <cstddef>
#include <iterator>
#include <string_view>

#include "platform/traits.hpp"

namespace platform {

// Whether `c` is one of `separators`. Compared one by one: a set of one or two separators,
// asked of every character of every name, costs a library search call each way else.
constexpr bool is_separator(char c, std::string_view separators = PATH_SEPARATORS) {
  for (const char separator : separators) {
    if (c == separator) return true;
  }
  return false;
}

class name_parts {
 public:
  class iterator {
   public:
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;

    iterator() = default;
    iterator(std::string_view name, std::string_view separators) : name_(name), separators_(separators) { find_end(); }

    std::string_view operator*() const { return name_.substr(start_, end_ - start_); }
    iterator& operator++() {
      start_ = end_ + 1;
      if (start_ <= name_.size()) find_end();
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    // Whether this part is the name's last: no separator follows it.
    bool is_last() const { return end_ == name_.size(); }
    bool operator==(std::default_sentinel_t) const { return start_ > name_.size(); }

   private:
    void find_end() {
      end_ = start_;
      while (end_ < name_.size() && !is_separator(name_[end_], separators_)) ++end_;
    }

    std::string_view name_;
    std::string_view separators_;
    std::size_t start_ = 0;  // where the current part begins
    std::size_t end_ = 0;    // the separator after it, or the name's end
  };

  // `name` split at any of `separators`: this system's, unless told.
  explicit name_parts(std::string_view name, std::string_view separators = PATH_SEPARATORS)
      : name_(name), separators_(separators) {}

  iterator begin() const { return {name_, separators_}; }
  std::default_sentinel_t end() const { return {}; }

 private:
  std::string_view name_;
  std::string_view separators_;
};

}  // namespace platform
