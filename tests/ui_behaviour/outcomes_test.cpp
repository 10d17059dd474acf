#include "ui/behaviour/outcomes.h"

#include <gtest/gtest.h>

namespace tokiren::behaviour {
namespace {

TEST(CountsLineTest, CountsTheOutcomesThatOccurredInOrder) {
  const struct {
    std::uint64_t renamed, alreadyNamed, nameTaken, unreadable, notOnOneLine, notTaken;
    std::string expected;
  } cases[] = {
      {0, 0, 0, 0, 0, 0, ""},
      {3, 0, 0, 0, 0, 0, "名前を変更 3 個。"},
      {0, 1, 0, 0, 0, 0, "すでにその名前 1 個。"},
      {3, 1, 2, 0, 0, 0, "名前を変更 3 個、すでにその名前 1 個、名前が使われていてそのまま 2 個。"},
      {0, 0, 0, 4, 5, 0, "時刻を読めずそのまま 4 個、パスに改行があってそのまま 5 個。"},
      // Files without a capture time are among the renamed: they have a line of their own.
      {2, 0, 0, 0, 0, 2, "名前を変更 2 個。"},
  };
  for (const auto& c : cases) {
    RunSummary summary;
    summary.renamed = c.renamed;
    summary.alreadyNamed = c.alreadyNamed;
    summary.nameTaken = c.nameTaken;
    summary.unreadable = c.unreadable;
    summary.notOnOneLine = c.notOnOneLine;
    summary.notTaken = c.notTaken;
    EXPECT_EQ(CountsLine(summary), c.expected) << c.expected;
  }
}

TEST(WhyTextTest, SaysWhyEachFileWasLeftAloneWithTheSystemsWords) {
  const struct {
    FileOutcome outcome;
    bool noCaptureTime;
    std::string_view reason;
    std::string expected;
  } cases[] = {
      {FileOutcome::kRenamed, false, "", ""},
      {FileOutcome::kRenamed, true, "", "撮影日時がないので更新日時で名前を付けます"},
      {FileOutcome::kAlreadyNamed, false, "", "すでにその名前です"},
      {FileOutcome::kNameTaken, false, "", "その名前はほかのファイルが使っています"},
      {FileOutcome::kTimeUnreadable, false, "Permission denied",
       "時刻を読めません： Permission denied"},
      {FileOutcome::kChanged, false, "", "時刻を読んだあとで変わりました"},
      {FileOutcome::kNotOnOneLine, false, "", "パスに改行があります"},
  };
  for (const auto& c : cases) {
    FileReport file;
    file.outcome = c.outcome;
    file.noCaptureTime = c.noCaptureTime;
    file.reason = c.reason;
    EXPECT_EQ(WhyText(file), c.expected) << static_cast<int>(c.outcome);
  }
}

FileReport File(std::string_view name, FileOutcome outcome, bool noCaptureTime = false) {
  FileReport file;
  file.folder = "/photos/";
  file.name = name;
  file.outcome = outcome;
  file.noCaptureTime = noCaptureTime;
  return file;
}

TEST(DetailsTest, ListsTheFilesTheUserShouldKnowOfAndTheLinesNotFound) {
  Details details;
  EXPECT_EQ(details.Text(), "");
  details.Add(File("a.jpg", FileOutcome::kRenamed));
  details.Add(File("b.jpg", FileOutcome::kAlreadyNamed));
  details.Add(File("c.jpg", FileOutcome::kNameTaken));
  details.Add(File("d.jpg", FileOutcome::kRenamed, true));
  details.AddNotFound("/photos/e.jpg", "/photos/1.JPG");
  EXPECT_EQ(details.Text(),
            "/photos/c.jpg： その名前はほかのファイルが使っています\r\n"
            "/photos/d.jpg： 撮影日時がないので更新日時で名前を付けます\r\n"
            "/photos/1.JPG： 見つかりません（もとの名前 /photos/e.jpg）");
}

TEST(DetailsTest, ShowsTheFirstLinesThenHowManyMore) {
  Details details;
  for (std::size_t i = 0; i < kDetailLines + 7; ++i) {
    details.Add(File("c.jpg", FileOutcome::kNameTaken));
  }
  const std::string text = details.Text();
  std::size_t lines = 1;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, kDetailLines + 1);
  EXPECT_TRUE(text.ends_with("\r\nほかに 7 件あります。")) << text.substr(text.size() - 80);
}

}  // namespace
}  // namespace tokiren::behaviour
