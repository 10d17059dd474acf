#include <gtest/gtest.h>

#include "engine/companions.h"
#include "engine/engine.h"
#include "platform/forwarding_file_system.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/fake_capture_times.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::FakeCaptureTimes;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

// Each group as "name>anchor" members ("*" for the shared stamp), in order.
std::vector<std::vector<std::string>> Groups(const std::vector<std::string_view>& names,
                                             const std::vector<bool>& acts) {
  std::vector<std::vector<std::string>> groups;
  for (const auto& group : FindCompanions(names, acts)) {
    std::vector<std::string>& shown = groups.emplace_back();
    for (const Companion& member : group) {
      EXPECT_EQ(names[member.file].substr(member.ownPart).front(), '.');
      shown.push_back(std::string(names[member.file]) + ">" +
                      (member.anchor == kSharedStamp ? std::string("*")
                                                     : std::string(names[group[member.anchor].file])));
    }
  }
  return groups;
}

TEST(FindCompanionsTest, GroupsNamesEqualUpToTheirLastDotAndSidecarsOfAWholeName) {
  struct Case {
    std::vector<std::string_view> names;
    std::vector<bool> acts;
    std::vector<std::vector<std::string>> groups;
  };
  const Case cases[] = {
      // RAW, JPEG and their sidecars in both forms, A-Z folded; a sidecar of a sidecar.
      {{"IMG_0001.CR2", "img_0001.jpg.xmp", "IMG_0001.JPG", "IMG_0001.xmp", "IMG_0001.JPG.xmp.bak",
        "IMG_0002.JPG"},
       {true, false, true, false, false, true},
       {{"IMG_0001.CR2>*", "IMG_0001.JPG>*", "IMG_0001.xmp>*", "img_0001.jpg.xmp>IMG_0001.JPG",
         "IMG_0001.JPG.xmp.bak>img_0001.jpg.xmp"}}},
      // A Live Photo; a group none of whose members the run acts on is none.
      {{"IMG_0003.HEIC", "IMG_0003.MOV", "IMG_0004.xmp", "IMG_0004.AAE"},
       {true, false, false, false},
       {{"IMG_0003.HEIC>*", "IMG_0003.MOV>*"}}},
      // No dot, or nothing before it: no companions; a name with dots inside shares up to its last.
      {{"Makefile", "Makefile.bak", "x.tar.gz", "x.tar.txt", "y.", "y.z"},
       {true, true, true, false, true, true},
       {{"x.tar.gz>*", "x.tar.txt>*"}, {"y.>*", "y.z>*"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Groups(c.names, c.acts), c.groups);
}

class CompanionsTest : public ::testing::Test {
 protected:
  CompanionsTest() { fixture_.job.options.companions = true; }

  // Every file of "photos" with its contents.
  std::vector<std::pair<std::string, std::string>> Contents() {
    std::vector<std::pair<std::string, std::string>> contents;
    for (const std::string& name : tree_.Names("photos")) {
      contents.emplace_back(name, tree_.Read("photos/" + name));
    }
    return contents;
  }

  ScopedTimeZone zone_{"Asia/Tokyo"};
  TempTree tree_;
  JobOnTree fixture_{tree_, Checked({".JPG", ".CR2"})};
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(CompanionsTest, AGroupTakesItsEarliestStampTogetherAndCountsUpWhole) {
  tree_.Write("photos/IMG_0001.CR2", "raw", stamp42_ + 3);
  tree_.Write("photos/IMG_0001.JPG", "jpeg", stamp42_);
  tree_.Write("photos/IMG_0001.xmp", "xmp", stamp42_ - 30);  // not acted on: its time counts not
  tree_.Write("photos/IMG_0002.jpg", "jpeg 2", stamp42_ + 10);
  tree_.Write("photos/IMG_0002.jpg.xmp", "xmp 2", stamp42_ + 10);
  // Free for the JPEG and the sidecar of the second group's stamp, taken for its raw.
  tree_.Write("photos/20160830124852.CR2", "already named", stamp42_ + 10);
  tree_.Write("photos/IMG_0002.CR2", "raw 2", stamp42_ + 11);
  const auto before = Contents();

  const RunSummary summary = fixture_.job.Run();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(summary.renamed, 6u);
  EXPECT_EQ(summary.alreadyNamed, 1u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.CR2", "20160830124842.JPG",
                                      "20160830124842.xmp", "20160830124852.CR2",
                                      "20160830124853.CR2", "20160830124853.JPG",
                                      "20160830124853.JPG.xmp"}));
  EXPECT_EQ(tree_.Read("photos/20160830124842.xmp"), "xmp");
  EXPECT_EQ(tree_.Read("photos/20160830124853.JPG.xmp"), "xmp 2");

  EXPECT_EQ(fixture_.job.Run().renamed, 0u);  // the same run again: nothing
  const ResetSummary reset = fixture_.job.Reset();
  EXPECT_EQ(reset.restored, 6u);
  EXPECT_EQ(Contents(), before);
}

// Renaming a group's sidecar fails, after its photo's rename was made.
class SidecarRenameFails : public ForwardingFileSystem {
 public:
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    ++renames;
    if (NameOf(from) == "IMG_0001.JPG.xmp") return kPathFileAccessError;
    return base_.RenameNoReplace(from, to);
  }
  int renames = 0;
};

TEST_F(CompanionsTest, AGroupWhoseMemberCannotBeRenamedIsLeftWholeAndTheLastRunStaysUndoable) {
  SidecarRenameFails fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  fixture.job.options.companions = true;
  tree_.Write("photos/a.jpg", "a", stamp42_ - 60);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  tree_.Write("photos/IMG_0001.JPG", "jpeg", stamp42_);
  tree_.Write("photos/IMG_0001.JPG.xmp", "xmp", stamp42_);
  const auto before = Contents();
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.error, kPathFileAccessError);
  EXPECT_EQ(fileSystem.renames, 4);  // the last run's, the photo, the failure, the photo back
  EXPECT_EQ(Contents(), before);
  // Nothing of the group stayed in the log, and the last run's rename is still the way back.
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.JPG.xmp", "a.jpg"}));
}

TEST_F(CompanionsTest, OffLeavesEveryFileToItsOwnTime) {
  fixture_.job.options.companions = false;
  tree_.Write("photos/IMG_0001.CR2", "", stamp42_ + 3);
  tree_.Write("photos/IMG_0001.JPG", "", stamp42_);
  tree_.Write("photos/IMG_0001.xmp", "", stamp42_);
  EXPECT_EQ(fixture_.job.Run().renamed, 2u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG",
                                                             "20160830124845.CR2", "IMG_0001.xmp"}));
}

// Ten shots of one second, their fractions running against their names and their listing; each
// is known to the fake reader by its last-write minute.
TEST_F(CompanionsTest, ABurstIsNamedInShootingOrderAndStaysSo) {
  FakeCaptureTimes captureTimes([](const FileTimes& times) -> std::optional<CapturedMoment> {
    if (times.lastWrite.year != 2020) return std::nullopt;
    const int shot = times.lastWrite.minute;  // 1 to 10; 11: no fraction
    CapturedMoment moment{{2013, 5, 26, 16, 5, 9}, false, {}};
    if (shot <= 10) moment.nanosecond = static_cast<std::uint32_t>((11 - shot) * 50'000'000);
    return moment;
  });
  JobOnTree fixture(tree_, Checked({".JPG"}));
  fixture.job.captureTimes = &captureTimes;
  fixture.job.options.timeSource = TimeSource::kTaken;
  for (int shot = 11; shot >= 1; --shot) {
    char name[16];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", shot);
    tree_.Write(std::string("photos/") + name, name, LocalTimestamp(2020, 1, 1, 0, shot, 0));
  }
  ASSERT_TRUE(fixture.job.Run().error.ok());
  // IMG_0010 was shot first (0.05 s), IMG_0001 last (0.5 s); IMG_0011, without a fraction, after.
  for (int shot = 10, second = 9; shot >= 1; --shot, ++second) {
    char name[16], stamp[40];
    std::snprintf(name, sizeof name, "IMG_%04d.JPG", shot);
    std::snprintf(stamp, sizeof stamp, "photos/201305261605%02d.JPG", second);
    EXPECT_EQ(tree_.Read(stamp), name);
  }
  EXPECT_EQ(tree_.Read("photos/20130526160519.JPG"), "IMG_0011.JPG");
  EXPECT_EQ(fixture.job.Run().renamed, 0u);
  EXPECT_EQ(fixture.job.Reset().restored, 11u);
  EXPECT_EQ(tree_.Read("photos/IMG_0001.JPG"), "IMG_0001.JPG");
}

}  // namespace
}  // namespace tokiren
