// The one UTF-8/UTF-16 conversion that every layer calling Windows uses.
#include "platform/wide_path.h"

#include <gtest/gtest.h>

#include <string>

namespace tokiren {
namespace {

TEST(WidePathTest, WidensAndNarrowsTextWithBadSequencesReplaced) {
  const struct {
    std::string narrow;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"photo.jpg", L"photo.jpg"},
      {"\xE5\x86\x99\xE7\x9C\x9F", L"\u5199\u771F"},  // 写真
      {"\xF0\x9F\x93\xB7", L"\xD83D\xDCF7"},          // a camera, beyond the first plane
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Widen(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(Narrow(c.wide), c.narrow) << c.narrow;
  }
  EXPECT_EQ(Widen("a\xFF" "b"), L"a\xFFFD" L"b");
  EXPECT_EQ(Narrow(std::wstring(L"a\xD800" L"b")), "a\xEF\xBF\xBD" "b");
}

TEST(WidePathTest, PathsTakeBackslashesOnTheWayInAndLoseTheLongPrefixOnTheWayOut) {
  EXPECT_EQ(WidenPath("C:/photos/a.jpg"), L"C:\\photos\\a.jpg");
  EXPECT_EQ(WidenPath("\\\\?\\C:\\photos"), L"\\\\?\\C:\\photos");
  const struct {
    std::wstring wide;
    std::string narrow;
  } cases[] = {
      {L"C:\\photos", "C:\\photos"},
      {L"\\\\?\\C:\\photos", "C:\\photos"},
      {L"\\\\?\\UNC\\server\\share\\photos", "\\\\server\\share\\photos"},
      {L"\\\\server\\share", "\\\\server\\share"},
  };
  for (const auto& c : cases) EXPECT_EQ(NarrowPath(c.wide), c.narrow) << c.narrow;
}

}  // namespace
}  // namespace tokiren
