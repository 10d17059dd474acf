// UTF-8 validation, and text from the system's code page where both platforms agree.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace tokiren {
namespace {

TEST(IsValidUtf8Test, AcceptsWellFormedTextOnly) {
  struct Case {
    const char* bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"C:\\photos\\a.jpg as C:\\photos\\1.JPG\r\n", true},
      {"\xe5\x86\x99\xe7\x9c\x9f.jpg", true},      // 写真
      {"caf\xc3\xa9", true},                        // café
      {"\xf0\x9f\x93\xb7", true},                   // a four-byte character
      {"\x8e\xca\x90\x5e.jpg", false},              // 写真 in Shift_JIS
      {"caf\xe9", false},                           // café in Windows-1252
      {"\xc0\xaf", false},                          // an overlong "/"
      {"\xed\xa0\x80", false},                      // a surrogate
      {"\xf4\x90\x80\x80", false},                  // above U+10FFFF
      {"\xe5\x86", false},                          // cut short
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextFromSystemCodePageTest, LeavesAsciiAsItIs) {
  EXPECT_EQ(TextFromSystemCodePage("C:\\photos\\a.jpg\r\n"), "C:\\photos\\a.jpg\r\n");
  EXPECT_EQ(TextFromSystemCodePage(""), "");
}

}  // namespace
}  // namespace tokiren
