#include "engine/extension_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace tokiren {
namespace {

TEST(ExtensionFromTypedTest, ReadsWhatWasTypedOrSaysWhyNot) {
  using enum ExtensionFault;
  const std::string longest = "." + std::string(kLongestExtensionEntry - 1, 'A');
  const struct {
    std::string typed;
    std::string entry;
    ExtensionFault fault;
  } cases[] = {
      {"jpg", ".JPG", kNone},
      {".jpg", ".JPG", kNone},
      {"*.jpg", ".JPG", kNone},
      {" .JPG ", ".JPG", kNone},
      {"\t jpg\t", ".JPG", kNone},
      {"\xE3\x80\x80jpg\xE3\x80\x80", ".JPG", kNone},  // the ideographic space
      {"tar.gz", ".TAR.GZ", kNone},
      {".写真", ".写真", kNone},
      {"*", ".*", kNone},
      {".*", ".*", kNone},
      {"*.*", ".*", kNone},
      {"", "", kEmpty},
      {"   ", "", kEmpty},
      {".", "", kEmpty},
      {" . ", "", kEmpty},
      {"*.", "", kEmpty},
      {"j pg", ".J PG", kNone},  // a blank inside a name is allowed
      {"*jpg", "", kForbiddenCharacter},
      {".j*g", "", kForbiddenCharacter},
      {"jp?", "", kForbiddenCharacter},
      {"a/b", "", kForbiddenCharacter},
      {"a\\b", "", kForbiddenCharacter},
      {"c:", "", kForbiddenCharacter},
      {"\"jpg\"", "", kForbiddenCharacter},
      {"<jpg>", "", kForbiddenCharacter},
      {"jpg|png", "", kForbiddenCharacter},
      {"jp\ng", "", kForbiddenCharacter},
      {"jp\x7Fg", "", kForbiddenCharacter},
      {std::string("jp\0g", 4), "", kForbiddenCharacter},
      {longest, longest, kNone},
      {longest + "A", "", kTooLong},
      {std::string(300, 'a'), "", kTooLong},
  };
  for (const auto& c : cases) {
    const TypedExtension read = ExtensionFromTyped(c.typed);
    EXPECT_EQ(read.entry, c.entry) << c.typed;
    EXPECT_EQ(read.fault, c.fault) << c.typed;
  }
}

}  // namespace
}  // namespace tokiren
