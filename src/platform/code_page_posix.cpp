// Code pages on POSIX systems, through the C library's iconv.

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/code_page.hpp"

namespace platform {
namespace {

std::string iconv_name(unsigned code_page) {
  return code_page == UTF8_CODE_PAGE ? "UTF-8" : "CP" + std::to_string(code_page);
}

iconv_t open_converter(const std::string& to, const std::string& from) {
  const iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("the system cannot convert " + from + " to " + to);
  }
  return converter;
}

// Converts all of `in` with `converter`; false, with `bad_at` the offset of the first byte it
// cannot take (or of a character cut short at the end), when there is one.
bool convert(iconv_t converter, std::string_view in, std::string& out, std::size_t& bad_at) {
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // the initial state
  out.assign(in.size() * 4 + 16, '\0');                  // room for any character's bytes
  char* from = const_cast<char*>(in.data());             // iconv's interface; it only reads
  std::size_t from_left = in.size();
  char* to = out.data();
  std::size_t to_left = out.size();
  if (iconv(converter, &from, &from_left, &to, &to_left) == static_cast<std::size_t>(-1) ||
      iconv(converter, nullptr, nullptr, &to, &to_left) == static_cast<std::size_t>(-1)) {
    bad_at = in.size() - from_left;
    out.clear();
    return false;
  }
  out.resize(out.size() - to_left);
  return true;
}

}  // namespace

struct name_codec::state {
  std::mutex converting;  // a converter keeps state between calls: one call at a time
  iconv_t to_text;
  iconv_t to_stored;
};

name_codec::name_codec(unsigned code_page) : code_page_(code_page), state_(std::make_unique<state>()) {
  state_->to_text = open_converter("UTF-8", iconv_name(code_page));
  state_->to_stored = open_converter(iconv_name(code_page), "UTF-8");
}

name_codec::~name_codec() {
  iconv_close(state_->to_text);
  iconv_close(state_->to_stored);
}

bool name_codec::decode(std::string_view stored, std::string& text, std::size_t& bad_at) const {
  const std::lock_guard<std::mutex> lock(state_->converting);
  return convert(state_->to_text, stored, text, bad_at);
}

bool name_codec::encode(std::string_view text, std::string& stored, std::size_t& bad_at) const {
  const std::lock_guard<std::mutex> lock(state_->converting);
  return convert(state_->to_stored, text, stored, bad_at);
}

}  // namespace platform
