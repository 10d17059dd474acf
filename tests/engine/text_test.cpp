// Names beyond ASCII through a run, its log and Reset, and logs of older programs.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "platform/text.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::TempTree;

TEST(TextTest, JapaneseAndAccentedNamesGoThroughRunLogAndReset) {
  TempTree tree;
  JobOnTree fixture(tree, Checked({".JPG"}));
  const std::string japanese = "\xe5\x86\x99\xe7\x9c\x9f";          // 写真
  const std::string accented = "caf\xc3\xa9 cr\xc3\xa8me";          // café crème
  tree.Write("photos/" + japanese + "/" + japanese + ".jpg", "j", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree.Write("photos/" + accented + ".jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 50));
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  EXPECT_TRUE(fixture.sink.errors.empty());
  EXPECT_EQ(tree.Names("photos"), (std::vector<std::string>{"20160830124850.JPG", japanese}));
  EXPECT_EQ(tree.Names("photos/" + japanese), (std::vector<std::string>{"20160830124842.JPG"}));
  const std::string log = tree.Read("app/tokiren_log.txt");
  EXPECT_TRUE(IsValidUtf8(log));
  EXPECT_EQ(log, tree / ("photos/" + accented + ".jpg as ") + tree / "photos/20160830124850.JPG\r\n" +
                     tree / ("photos/" + japanese + "/" + japanese + ".jpg as ") +
                     tree / ("photos/" + japanese + "/20160830124842.JPG\r\n"));
  EXPECT_EQ(fixture.job.Reset().restored, 2u);
  EXPECT_EQ(tree.Names("photos"), (std::vector<std::string>{accented + ".jpg", japanese}));
  EXPECT_EQ(tree.Read("photos/" + japanese + "/" + japanese + ".jpg"), "j");
}

TEST(LogTextTest, ReadsOnlyLinesThatAreNotUtf8InTheSystemsCodePage) {
  const std::string older = "C:\\p\\caf\xe9.jpg as C:\\p\\1.JPG";  // not UTF-8
  const std::string utf8 = "C:\\p\\caf\xc3\xa9.jpg as C:\\p\\2.JPG";
  std::string storage;
  EXPECT_EQ(LogLineAsUtf8(utf8, &storage), utf8);
  EXPECT_EQ(LogLineAsUtf8(older, &storage), TextFromSystemCodePage(older));
}

}  // namespace
}  // namespace tokiren
