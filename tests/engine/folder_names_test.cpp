#include "engine/folder_names.h"

#include <gtest/gtest.h>

namespace tokiren {
namespace {

TEST(FolderNamesTest, ComparesAndGroupsNamesAsTheFolderDoes) {
  struct Case {
    bool fold;
    const char* a;
    const char* b;
    bool same, sameGroup;
  };
  const Case cases[] = {
      {false, "20160830124842.JPG", "20160830124842.JPG", true, true},
      {false, "20160830124842.JPG", "20160830124842.jpg", false, false},
      {true, "20160830124842.JPG", "20160830124842.jpg", true, true},
      {true, "20160830124842.JPG", "20160830124899.jpg", false, true},
      {true, "20160830124842.JPG", "20160830124842.PNG", false, false},
      {true, "20160830124842.JPG", "20160830124842", false, false},
      {true, "20160830124842", "20160830124843", false, true},
  };
  for (const Case& c : cases) {
    FolderNames names(14);
    names.Enter(c.fold);
    EXPECT_EQ(names.Same(c.a, c.b), c.same) << c.a << " " << c.b << " " << c.fold;
    const auto a = names.CountedOf(c.a), b = names.CountedOf(c.b);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->group == b->group, c.sameGroup) << c.a << " " << c.b << " " << c.fold;
  }
  FolderNames names(16);
  names.Enter(false);
  EXPECT_EQ(names.CountedOf("2016_0830_124842.JPG")->counter, 24842);
  EXPECT_FALSE(names.CountedOf("2016_0830_1248x2.JPG"));
  EXPECT_FALSE(names.CountedOf("IMG.JPG"));
}

TEST(FolderNamesTest, RemembersDecisionsUntilTheNextFolderAndForgetsResumePointsAGapMakes) {
  FolderNames names(14);
  names.Enter(true);
  const std::string freed = "IMG_0001.jpg";
  names.Free(freed);
  names.Take("20160830124842.JPG");
  EXPECT_EQ(names.Decided("img_0001.JPG"), false);
  EXPECT_EQ(names.Decided("20160830124842.jpg"), true);
  EXPECT_EQ(names.Decided("20160830124843.JPG"), std::nullopt);

  const FolderNames::Counted start = *names.CountedOf("20160830124842.JPG");
  names.SetResumeDistance(start, 3);
  EXPECT_EQ(names.ResumeDistance(start), 3);
  const std::string other = "20160830124842.PNG";  // another group: the point stays
  names.Free(other);
  EXPECT_EQ(names.ResumeDistance(start), 3);
  const std::string gap = "20160830124843.jpg";  // a name in the run of taken ones
  names.Free(gap);
  EXPECT_EQ(names.ResumeDistance(start), 0);

  names.Enter(true);
  EXPECT_EQ(names.Decided("20160830124842.JPG"), std::nullopt);
}

}  // namespace
}  // namespace tokiren
