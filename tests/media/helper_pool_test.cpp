// The pool of helper processes on real files: the answers of a sequential read, in file order,
// whatever a helper does.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "media/helper_pool.h"
#include "media/metadata_reader.h"
#include "tests/media/media_files.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {

using testing::TempTree;

constexpr char kOriginal[] = "Exif.Photo.DateTimeOriginal";

class HelperPoolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeMetadataLibraries(); }

  // A JPEG taken at 2016-08-30 12:`minute`:00; a minute of -1 for one without a capture time.
  std::string Photo(const std::string& name, int minute) {
    const std::string path = tree_ / name;
    EXPECT_TRUE(testing::MakeJpeg(path));
    if (minute >= 0) {
      char date[32];
      std::snprintf(date, sizeof date, "2016:08:30 12:%02d:00", 10 + minute);
      EXPECT_TRUE(testing::SetExifText(path, kOriginal, date));
    }
    return path;
  }

  static std::optional<LocalTime> At(int minute) {
    return LocalTime{2016, 8, 30, 12, 10 + minute, 0};
  }

  static std::vector<std::optional<LocalTime>> AskAll(CaptureTimeReader& reader,
                                                      const std::vector<std::string>& paths) {
    reader.Expect(paths);
    std::vector<std::optional<LocalTime>> answers;
    for (const std::string& path : paths) answers.push_back(reader.CaptureTime(path));
    return answers;
  }

  TempTree tree_;
};

TEST_F(HelperPoolTest, GivesWhatASequentialReadGivesInFileOrder) {
  std::vector<std::string> paths;
  std::vector<std::optional<LocalTime>> sequential;
  const std::string tagged = Photo("tagged.jpg", 0);
  for (int i = 0; i < 40; ++i) {
    const std::string name = std::to_string(i) + ".jpg";
    if (i % 7 == 3) {  // cut short at a different place each time
      paths.push_back(tree_ / name);
      ASSERT_TRUE(testing::CopyTruncated(tagged, paths.back(), 30 + i));
    } else {
      paths.push_back(Photo(name, i % 5 == 1 ? -1 : i));
    }
    sequential.push_back(ReadCaptureTime(paths.back()));
  }
  HelperPool pool({.helperPath = TOKIREN_MEDIA_HELPER, .helpers = 3, .readAhead = 8});
  EXPECT_EQ(AskAll(pool, paths), sequential);
  EXPECT_EQ(sequential[0], At(0));
  EXPECT_EQ(sequential[1], std::nullopt);
  EXPECT_EQ(sequential[3], std::nullopt);
  EXPECT_EQ(pool.lostHelpers(), 0);
  // A second list on the same pool, asked with gaps and with a path never expected.
  pool.Expect({paths[0], paths[2], paths[4]});
  EXPECT_EQ(pool.CaptureTime(paths[2]), At(2));
  EXPECT_EQ(pool.CaptureTime(paths[5]), At(5));
  EXPECT_EQ(pool.CaptureTime(paths[4]), At(4));
}

TEST_F(HelperPoolTest, ADamagedPhotoAmongGoodOnesGetsNoCaptureTime) {
  const std::string good1 = Photo("1.jpg", 1), good3 = Photo("3.jpg", 3);
  const std::string cut = tree_ / "2.jpg", garbled = tree_ / "4.jpg";
  ASSERT_TRUE(testing::CopyTruncated(good1, cut, 100));
  std::string bytes = tree_.Read("3.jpg");
  for (size_t i = 20; i < bytes.size(); i += 3) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  TempTree::WriteFile(garbled, bytes);
  HelperPool pool({.helperPath = TOKIREN_MEDIA_HELPER});
  EXPECT_EQ(AskAll(pool, {good1, cut, good3, garbled}),
            (std::vector<std::optional<LocalTime>>{At(1), std::nullopt, At(3), std::nullopt}));
}

TEST_F(HelperPoolTest, AHelperThatCrashesCostsOnlyThatFile) {
  const std::vector<std::string> paths{Photo("1.jpg", 1), Photo("crash-me.jpg", 2),
                                       Photo("3.jpg", 3), Photo("crash-me-too.jpg", 4),
                                       Photo("5.jpg", 5)};
  HelperPool pool({.helperPath = TOKIREN_FAULTY_MEDIA_HELPER});
  EXPECT_EQ(AskAll(pool, paths), (std::vector<std::optional<LocalTime>>{
                                     At(1), std::nullopt, At(3), std::nullopt, At(5)}));
  EXPECT_EQ(pool.lostHelpers(), 2);
}

TEST_F(HelperPoolTest, AHelperThatHangsIsGivenUpAfterTheTimeLimit) {
  const std::vector<std::string> paths{Photo("1.jpg", 1), Photo("hang-me.jpg", 2),
                                       Photo("3.jpg", 3), Photo("4.jpg", 4)};
  HelperPool pool({.helperPath = TOKIREN_FAULTY_MEDIA_HELPER,
                   .helpers = 1,
                   .fileTimeLimit = std::chrono::milliseconds(500)});
  EXPECT_EQ(AskAll(pool, paths),
            (std::vector<std::optional<LocalTime>>{At(1), std::nullopt, At(3), At(4)}));
  EXPECT_EQ(pool.lostHelpers(), 1);
}

TEST_F(HelperPoolTest, AHelperRunningAwayWithMemoryIsStoppedByItsLimit) {
#ifdef TOKIREN_ADDRESS_SANITIZER
  GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
  const std::vector<std::string> paths{Photo("eat-memory.jpg", 1), Photo("2.jpg", 2)};
  HelperPool pool({.helperPath = TOKIREN_FAULTY_MEDIA_HELPER});
  EXPECT_EQ(AskAll(pool, paths), (std::vector<std::optional<LocalTime>>{std::nullopt, At(2)}));
  EXPECT_EQ(pool.lostHelpers(), 1);
}

TEST_F(HelperPoolTest, AHelperThatCannotStartGivesNoCaptureTimes) {
  const std::vector<std::string> paths{Photo("1.jpg", 1), Photo("2.jpg", 2)};
  HelperPool pool({.helperPath = tree_ / "no-such-helper"});
  EXPECT_EQ(AskAll(pool, paths), (std::vector<std::optional<LocalTime>>{std::nullopt, std::nullopt}));
}

}  // namespace
}  // namespace tokiren::media
