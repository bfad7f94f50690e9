#include <gtest/gtest.h>

#include "platform/file_place.hpp"

namespace platform {
namespace {

TEST(PlaceOfFile, SplitsAPathIntoItsFolderAndItsOwnName) {
  const struct {
    const char* path;
    std::optional<file_place> place;
  } cases[] = {
      {"new.dat", file_place{".", "new.dat"}},
      {"out/new.dat", file_place{"out/", "new.dat"}},
      {"/new.dat", file_place{"/", "new.dat"}},
      {"a/b/.n", file_place{"a/b/", ".n"}},
      {"out/", std::nullopt},
      {"out/..", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<file_place> place = place_of_file(c.path);
    ASSERT_EQ(place.has_value(), c.place.has_value()) << c.path;
    if (!place) continue;
    EXPECT_EQ(place->folder, c.place->folder) << c.path;
    EXPECT_EQ(place->name, c.place->name) << c.path;
  }
}

}  // namespace
}  // namespace platform
