// The readers on real files made by Debian's tools.
#include <gtest/gtest.h>

#include "media/metadata_reader.h"
#include "tests/media/media_files.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {

using testing::ScopedTimeZone;
using testing::TempTree;

constexpr char kOriginal[] = "Exif.Photo.DateTimeOriginal";
constexpr char kDigitized[] = "Exif.Photo.DateTimeDigitized";
constexpr char kModified[] = "Exif.Image.DateTime";

class MetadataReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeMetadataLibraries(); }

  // A JPEG with the given tags set (a tag given "" is left out).
  std::string Photo(const std::string& name, const std::string& original,
                    const std::string& digitized = "", const std::string& modified = "") {
    const std::string path = tree_ / name;
    EXPECT_TRUE(testing::MakeJpeg(path));
    const std::pair<const char*, const std::string*> tags[] = {
        {kOriginal, &original}, {kDigitized, &digitized}, {kModified, &modified}};
    for (const auto& [key, value] : tags) {
      if (!value->empty()) {
        EXPECT_TRUE(testing::SetExifText(path, key, *value));
      }
    }
    return path;
  }

  TempTree tree_;
};

TEST_F(MetadataReaderTest, APhotoIsNamedAfterDateTimeOriginal) {
  const std::string path =
      Photo("a.jpg", "2016:08:30 12:48:42", "2016:08:30 12:50:00", "2020:01:01 00:00:00");
  EXPECT_EQ(ReadCaptureTime(path), (LocalTime{2016, 8, 30, 12, 48, 42}));
}

TEST_F(MetadataReaderTest, WithoutDateTimeOriginalDateTimeDigitizedServes) {
  const std::string path = Photo("a.jpg", "", "2016:08:30 12:50:00", "2020:01:01 00:00:00");
  EXPECT_EQ(ReadCaptureTime(path), (LocalTime{2016, 8, 30, 12, 50, 0}));
}

TEST_F(MetadataReaderTest, DateTimeAloneIsNoCaptureTime) {
  EXPECT_EQ(ReadCaptureTime(Photo("a.jpg", "", "", "2020:01:01 00:00:00")), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(Photo("b.jpg", "")), std::nullopt);
}

TEST_F(MetadataReaderTest, AnOriginalThatIsNoRealMomentCountsAsMissing) {
  for (const char* bad : {"0000:00:00 00:00:00", "                   ", "2013:05:26 16:05:92",
                          "2016:13:01 00:00:00"}) {
    EXPECT_EQ(ReadCaptureTime(Photo("bad.jpg", bad)), std::nullopt) << bad;
    EXPECT_EQ(ReadCaptureTime(Photo("both.jpg", bad, "2016:08:30 12:50:00")),
              (LocalTime{2016, 8, 30, 12, 50, 0}))
        << bad;
  }
}

TEST_F(MetadataReaderTest, AHeicWrittenByLibheifGivesItsExifDate) {
  const std::string jpeg = Photo("a.jpg", "2016:08:30 12:48:42");
  const std::string heic = tree_ / "a.heic";
  ASSERT_TRUE(testing::MakeHeic(jpeg, heic));
  EXPECT_EQ(ReadCaptureTime(heic), (LocalTime{2016, 8, 30, 12, 48, 42}));
}

TEST_F(MetadataReaderTest, AMovieHeaderTimeIsUtcTurnedIntoLocalTime) {
  ScopedTimeZone zone("America/New_York");
  const std::string summer = tree_ / "summer.mp4", winter = tree_ / "winter.mov";
  ASSERT_TRUE(testing::MakeMovie(summer, "2016-08-30T16:48:42Z"));
  ASSERT_TRUE(testing::MakeMovie(winter, "2016-01-15T17:00:00Z"));
  EXPECT_EQ(ReadCaptureTime(summer), (LocalTime{2016, 8, 30, 12, 48, 42}));  // EDT, -4
  EXPECT_EQ(ReadCaptureTime(winter), (LocalTime{2016, 1, 15, 12, 0, 0}));    // EST, -5
}

TEST_F(MetadataReaderTest, ApplesCreationDateIsTheWallClockAsItStands) {
  ScopedTimeZone zone("America/New_York");
  const std::string path = tree_ / "IMG_0001.MOV";
  ASSERT_TRUE(testing::MakeMovie(path, "2016-08-30T16:48:42Z"));
  ASSERT_TRUE(testing::SetAppleCreationDate(path, "2016:08:31 09:10:11+09:00"));
  EXPECT_EQ(ReadCaptureTime(path), (LocalTime{2016, 8, 31, 9, 10, 11}));
}

TEST_F(MetadataReaderTest, AMovieWithoutADateHasNone) {
  ScopedTimeZone zone("America/New_York");
  const std::string unset = tree_ / "unset.mp4", epoch = tree_ / "epoch.mp4";
  ASSERT_TRUE(testing::MakeMovie(unset, ""));
  ASSERT_TRUE(testing::MakeMovie(epoch, "1970-01-01T00:00:00Z"));
  EXPECT_EQ(ReadCaptureTime(unset), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(epoch), std::nullopt);
}

TEST_F(MetadataReaderTest, FilesThatAreNoMediaOrAreDamagedHaveNone) {
  const std::string good = Photo("good.jpg", "2016:08:30 12:48:42");
  const std::string cut = tree_ / "cut.jpg";
  ASSERT_TRUE(testing::CopyTruncated(good, cut, 40));
  EXPECT_EQ(ReadCaptureTime(cut), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(tree_.Write("notes.txt", "2016:08:30 12:48:42")), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(tree_.Write("empty.jpg", "")), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(tree_ / "missing.jpg"), std::nullopt);
}

}  // namespace
}  // namespace tokiren::media
