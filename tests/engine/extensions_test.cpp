#include "engine/extensions.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tokiren {
namespace {

TEST(CheckKakucyouTest, MatchesCheckedSuffixesOnly) {
  const std::vector<ExtensionEntry> list{
      {".*", false}, {".JPG", true}, {".PNG", false}, {".TXT", true}};
  struct Case {
    const char* name;  // as the pass hands it over: upper-cased
    bool match;
    const char* ext;
  };
  const Case cases[] = {
      {"X.JPG", true, ".JPG"},       // x.Jpg, x.jpg: matching ignores the name's case
      {"X.JPG.TXT", true, ".TXT"},   // the entry at the very end decides
      {"X.TXT.JPG", true, ".JPG"},
      {"X.JPG.PNG", false, ""},      // .JPG only inside the name; .PNG not checked
      {"JPG", false, ""},            // the entry without its dot
      {"X.JPEG", false, ""},
      {"X.*", false, ""},            // ".*" is never a suffix
  };
  for (const Case& c : cases) {
    bool chk = !c.match;
    std::string ext = "kept";
    CheckKakucyou(list, c.name, chk, ext);
    EXPECT_EQ(chk, c.match) << c.name;
    EXPECT_EQ(ext, c.match ? c.ext : "kept") << c.name;
  }
}

TEST(CheckKakucyouTest, TakesTheFirstMatchInListOrder) {
  const std::vector<ExtensionEntry> list{{".B.JPG", true}, {".JPG", true}};
  bool chk = false;
  std::string ext;
  CheckKakucyou(list, "A.B.JPG", chk, ext);
  EXPECT_TRUE(chk);
  EXPECT_EQ(ext, ".B.JPG");
}

TEST(ExtensionListTest, AllFilesEntryCountsWhereverItStands) {
  EXPECT_FALSE(AllFilesChecked({{".", true}, {".*", false}}));
  EXPECT_TRUE(AllFilesChecked({{".", false}, {". JPG", false}, {".*", true}}));
}

TEST(ExtensionListTest, NormalizesAndSortsLikeTheList) {
  EXPECT_EQ(NormalizeExtension("jpg"), ".JPG");
  EXPECT_EQ(NormalizeExtension(".Jpg"), ".JPG");
  EXPECT_EQ(NormalizeExtension(""), ".");
  EXPECT_EQ(NormalizeExtension(" jpg"), ". JPG");  // nothing is trimmed
  EXPECT_EQ(NormalizeExtension("\xc3\xa9t\xc3\xa9"), ".\xc3\xa9T\xc3\xa9");  // ASCII only
  std::vector<ExtensionEntry> list{{".TXT"}, {".*"}, {".AVI"}, {"."}, {". JPG"}};
  std::stable_sort(list.begin(), list.end(), ListOrderLess);
  std::vector<std::string> texts;
  for (const auto& entry : list) texts.push_back(entry.text);
  EXPECT_EQ(texts, (std::vector<std::string>{".", ". JPG", ".*", ".AVI", ".TXT"}));
}

}  // namespace
}  // namespace tokiren
