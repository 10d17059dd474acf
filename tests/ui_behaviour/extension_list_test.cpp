#include "ui/behaviour/extension_list.h"

#include <gtest/gtest.h>

namespace tokiren::behaviour {
namespace {

std::vector<ExtensionEntry> Listed(std::initializer_list<const char*> texts) {
  std::vector<ExtensionEntry> entries;
  for (const char* text : texts) entries.push_back({text, false});
  return entries;
}

TEST(ExtensionListRulesTest, PutsAnEntryAtItsCaseInsensitivePlaceWithAllFilesFirst) {
  const std::vector<ExtensionEntry> entries = Listed({".*", ".AVI", ".JPG", ".TXT"});
  const struct {
    const char* text;
    int row;
  } cases[] = {
      {".", 0},  {".*", 1},   {".A", 1},   {".AVI", 2}, {".avi", 2},
      {".B", 2}, {".JPEG", 2}, {".MOV", 3}, {".ZIP", 4}, {". JPG", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ListRowFor(entries, c.text), c.row) << c.text;
  EXPECT_EQ(ListRowFor({}, ".JPG"), 0);
}

TEST(ExtensionListRulesTest, FindsOnlyAnEntryOfExactlyTheSameText) {
  const std::vector<ExtensionEntry> entries = Listed({".*", ".JPG"});
  EXPECT_TRUE(HasEntry(entries, ".JPG"));
  EXPECT_FALSE(HasEntry(entries, ".jpg"));
  EXPECT_FALSE(HasEntry(entries, ". JPG"));
  EXPECT_FALSE(HasEntry(entries, "JPG"));
}

TEST(ExtensionListRulesTest, TellsWhetherAnyEntryIsChecked) {
  std::vector<ExtensionEntry> entries = Listed({".*", ".JPG"});
  EXPECT_FALSE(AnyChecked(entries));
  entries[1].checked = true;
  EXPECT_TRUE(AnyChecked(entries));
}

TEST(ExtensionListRulesTest, SavesEveryEntryButAllFilesInListOrder) {
  EXPECT_EQ(SavedEntries(Listed({".", ".*", ".AVI", ".JPG", ".*"})),
            (std::vector<std::string>{".", ".AVI", ".JPG"}));
}

}  // namespace
}  // namespace tokiren::behaviour
