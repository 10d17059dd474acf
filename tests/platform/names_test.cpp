#include "platform/names.h"

#include <gtest/gtest.h>

namespace tokiren {
namespace {

TEST(CompareNamesTest, FoldsAsciiCaseThenComparesBytes) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {".", ".*", -1},           // a prefix comes first
      {".*", ".AVI", -1},        // '*' sorts before letters
      {".avi", ".JPG", -1},      // case does not decide the order...
      {"B.jpg", "a.jpg", 1},
      {"A.JPG", "a.jpg", -1},    // ...only a tie under folding does, bytewise
      {"a.jpg", "a.jpg", 0},
      {"a_b", "aB", -1},         // '_' (0x5F) against 'b' folded (0x62)
      {"z", "\xc3\xa9", -1},     // bytes above 0x7F come after ASCII, never folded
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareNames(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(CompareNames(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

}  // namespace
}  // namespace tokiren
