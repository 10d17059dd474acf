#include "ui/behaviour/preview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tokiren::behaviour {
namespace {

const std::string kTop = std::string("/photos") + kPathSeparator;

FileReport File(const std::string& folder, std::string_view name, FileOutcome outcome,
                std::string_view newName = {}, std::string_view reason = {},
                bool noCaptureTime = false) {
  FileReport file;
  file.folder = folder;
  file.name = name;
  file.outcome = outcome;
  file.newName = newName;
  file.reason = reason;
  file.noCaptureTime = noCaptureTime;
  return file;
}

TEST(PreviewTest, KeepsEveryFileWithItsFolderBelowTheChosenOneItsNewNameAndWhy) {
  const std::string trip = kTop + "trip" + kPathSeparator;
  const std::string day = trip + "day 1" + kPathSeparator;
  const struct {
    FileReport file;
    std::vector<std::string> cells;
  } cases[] = {
      {File(kTop, "a.jpg", FileOutcome::kRenamed, "20160830124842.JPG"),
       {".", "a.jpg", "20160830124842.JPG", ""}},
      {File(kTop, "b.jpg", FileOutcome::kRenamed, "20160830124842-1.JPG", {}, true),
       {".", "b.jpg", "20160830124842-1.JPG", "撮影日時がないので更新日時で名前を付けます"}},
      {File(trip, "c.jpg", FileOutcome::kNameTaken),
       {"trip", "c.jpg", "", "その名前はほかのファイルが使っています"}},
      {File(day, "d.jpg", FileOutcome::kTimeUnreadable, {}, "Permission denied"),
       {"trip" + std::string(1, kPathSeparator) + "day 1", "d.jpg", "",
        "時刻を読めません： Permission denied"}},
      {File(day, "20160830124842.JPG", FileOutcome::kAlreadyNamed),
       {"trip" + std::string(1, kPathSeparator) + "day 1", "20160830124842.JPG", "",
        "すでにその名前です"}},
      {File(kTop, "e.jpg", FileOutcome::kNotOnOneLine), {".", "e.jpg", "", "パスに改行があります"}},
  };
  Preview preview(kTop);
  for (const auto& c : cases) preview.Add(c.file);
  ASSERT_EQ(preview.size(), std::size(cases));
  EXPECT_EQ(preview.folder(), kTop);
  for (std::size_t row = 0; row < preview.size(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < Preview::kColumns; ++column) {
      cells.push_back(preview.Cell(row, column));
    }
    EXPECT_EQ(cells, cases[row].cells) << row;
    EXPECT_EQ(preview.Outcome(row), cases[row].file.outcome) << row;
  }
}

TEST(PreviewTest, CountsTheOutcomesAndSaysRunPlansAgain) {
  Preview preview(kTop);
  EXPECT_EQ(preview.Heading(),
            "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。");
  preview.Add(File(kTop, "a.jpg", FileOutcome::kRenamed, "1.JPG", {}, true));
  preview.Add(File(kTop, "b.jpg", FileOutcome::kRenamed, "2.JPG"));
  preview.Add(File(kTop, "c.jpg", FileOutcome::kNameTaken));
  preview.Add(File(kTop, "d.jpg", FileOutcome::kChanged, {}, "replaced"));
  EXPECT_EQ(preview.summary().renamed, 2u);
  EXPECT_EQ(preview.summary().notTaken, 1u);
  EXPECT_EQ(preview.summary().nameTaken, 1u);
  EXPECT_EQ(preview.summary().unreadable, 1u);
  EXPECT_EQ(preview.Heading(),
            "名前を変更 2 個、名前が使われていてそのまま 1 個、時刻を読めずそのまま 1 個。\r\n"
            "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。");
}

// The engine tells a group's members one after another under one number; the name column joins
// them with marks, and a file alone, or the only member told of a group, has none.
TEST(PreviewTest, JoinsTheMembersOfEachGroupOfCompanions) {
  const struct {
    const char* name;
    std::uint32_t group;
    FileOutcome outcome;
    const char* newName;
    std::string cell;
  } cases[] = {
      {"a.jpg", 0, FileOutcome::kRenamed, "20160830124841.JPG", "a.jpg"},
      {"IMG_0001.CR2", 1, FileOutcome::kRenamed, "20160830124842.CR2", "┌ IMG_0001.CR2"},
      {"IMG_0001.JPG", 1, FileOutcome::kRenamed, "20160830124842.JPG", "├ IMG_0001.JPG"},
      {"IMG_0001.JPG.xmp", 1, FileOutcome::kRenamed, "20160830124842.JPG.xmp",
       "├ IMG_0001.JPG.xmp"},
      {"IMG_0001.xmp", 1, FileOutcome::kRenamed, "20160830124842.xmp", "└ IMG_0001.xmp"},
      {"IMG_0002.HEIC", 2, FileOutcome::kNameTaken, "", "┌ IMG_0002.HEIC"},
      {"IMG_0002.MOV", 2, FileOutcome::kNameTaken, "", "└ IMG_0002.MOV"},
      {"IMG_0003.JPG", 3, FileOutcome::kRenamed, "20160830124850.JPG", "IMG_0003.JPG"},
      {"IMG_0004.JPG", 4, FileOutcome::kRenamed, "20160830124851.JPG", "┌ IMG_0004.JPG"},
      {"IMG_0004.xmp", 4, FileOutcome::kRenamed, "20160830124851.xmp", "└ IMG_0004.xmp"},
      {"b.jpg", 0, FileOutcome::kRenamed, "20160830124852.JPG", "b.jpg"},
  };
  Preview preview(kTop);
  for (const auto& c : cases) {
    FileReport file = File(kTop, c.name, c.outcome, c.newName);
    file.group = c.group;
    preview.Add(file);
  }
  ASSERT_EQ(preview.size(), std::size(cases));
  for (std::size_t row = 0; row < preview.size(); ++row) {
    EXPECT_EQ(preview.Cell(row, Preview::kName), cases[row].cell) << row;
    EXPECT_EQ(preview.Cell(row, Preview::kNewName), cases[row].newName) << row;
  }
  EXPECT_EQ(preview.groups(), 3u);
  EXPECT_EQ(preview.summary().renamed, 9u);
}

TEST(PreviewTest, TheHeadingShowsTheClocksOffsetAndWhatTheGroupMarksMean) {
  const std::string runAgain =
      "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。";
  const std::string groups =
      "名前の前を ┌ ├ └ でつないだファイルは一組で、一緒に名前を変えるか、一緒にそのままにします"
      "（1 組）。\r\n";
  const struct {
    std::int64_t shift;
    bool grouped;
    std::string heading;
  } cases[] = {
      {0, false, "名前を変更 2 個。\r\n" + runAgain},
      {3600, false, "名前を変更 2 個。\r\n時計のずれ +1:00:00 を足した時刻で名前を付けます。\r\n" +
                        runAgain},
      {-200, true, "名前を変更 2 個。\r\n時計のずれ -0:03:20 を足した時刻で名前を付けます。\r\n" +
                       groups + runAgain},
      {0, true, "名前を変更 2 個。\r\n" + groups + runAgain},
      {172800, false,
       "名前を変更 2 個。\r\n時計のずれ +2d 0:00:00 を足した時刻で名前を付けます。\r\n" + runAgain},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shift);
    Preview preview(kTop, c.shift);
    for (const char* name : {"IMG_0001.JPG", "IMG_0001.xmp"}) {
      FileReport file = File(kTop, name, FileOutcome::kRenamed, "20160830124842.JPG");
      file.group = c.grouped ? 1 : 0;
      preview.Add(file);
    }
    EXPECT_EQ(preview.Heading(), c.heading);
  }
  // A plan of no files with an offset: the offset, then what RUN does.
  EXPECT_EQ(Preview(kTop, -200).Heading(),
            "時計のずれ -0:03:20 を足した時刻で名前を付けます。\r\n" + runAgain);
}

TEST(PreviewTest, HoldsAMillionRows) {
  constexpr std::size_t kRows = 1'000'000;
  Preview preview(kTop);
  std::string folder, name, newName;
  for (std::size_t i = 0; i < kRows; ++i) {
    folder = kTop + "day " + std::to_string(i / 1000) + kPathSeparator;
    name = "IMG_" + std::to_string(i) + ".JPG";
    newName = std::to_string(20160830000000 + i) + ".JPG";
    preview.Add(File(folder, name, i % 10 == 0 ? FileOutcome::kNameTaken : FileOutcome::kRenamed,
                     newName));
  }
  ASSERT_EQ(preview.size(), kRows);
  EXPECT_EQ(preview.Cell(kRows - 1, Preview::kFolder), "day 999");
  EXPECT_EQ(preview.Cell(kRows - 1, Preview::kName), "IMG_999999.JPG");
  EXPECT_EQ(preview.Cell(kRows - 1, Preview::kNewName), "20160830999999.JPG");
  EXPECT_EQ(preview.Cell(500'000, Preview::kNote), "その名前はほかのファイルが使っています");
  EXPECT_EQ(preview.summary().renamed, kRows - kRows / 10);
}

}  // namespace
}  // namespace tokiren::behaviour
