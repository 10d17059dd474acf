// The readers on real files made by Debian's tools, handed over as open descriptors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/metadata_reader.h"
#include "tests/media/media_files.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {

using testing::TempTree;

constexpr char kOriginal[] = "Exif.Photo.DateTimeOriginal";
constexpr char kDigitized[] = "Exif.Photo.DateTimeDigitized";
constexpr char kModified[] = "Exif.Image.DateTime";
constexpr char kSubSecOriginal[] = "Exif.Photo.SubSecTimeOriginal";
constexpr char kSubSecDigitized[] = "Exif.Photo.SubSecTimeDigitized";

// EXIF tags and their texts, set in this order.
using Tags = std::vector<std::pair<const char*, std::string>>;

std::optional<CapturedMoment> WallClock(int year, int month, int day, int hour, int minute,
                                        int second,
                                        std::optional<std::uint32_t> nanosecond = std::nullopt) {
  return CapturedMoment{LocalTime{year, month, day, hour, minute, second}, false, nanosecond};
}

std::optional<CapturedMoment> Utc(int year, int month, int day, int hour, int minute, int second,
                                  std::optional<std::uint32_t> nanosecond = std::nullopt) {
  return CapturedMoment{LocalTime{year, month, day, hour, minute, second}, true, nanosecond};
}

class MetadataReaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeMetadataLibraries(); }

  // A JPEG with the given tags set (a tag given "" is left out).
  std::string Photo(const std::string& name, const std::string& original,
                    const std::string& digitized = "", const std::string& modified = "") {
    Tags tags;
    for (const auto& [key, value] :
         Tags{{kOriginal, original}, {kDigitized, digitized}, {kModified, modified}}) {
      if (!value.empty()) tags.emplace_back(key, value);
    }
    return Tagged(name, tags);
  }

  // A JPEG with `tags` set.
  std::string Tagged(const std::string& name, const Tags& tags) {
    const std::string path = tree_ / name;
    EXPECT_TRUE(testing::MakeJpeg(path));
    for (const auto& [key, value] : tags) {
      EXPECT_TRUE(testing::SetExifText(path, key, value)) << key << " " << value;
    }
    return path;
  }

  // Reads `path` as the helper does: through a descriptor, which the reader must leave open.
  static std::optional<CapturedMoment> Read(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    const std::optional<CapturedMoment> moment = ReadCaptureTime(fd);
    EXPECT_EQ(close(fd), 0) << path;
    return moment;
  }

  TempTree tree_;
};

TEST_F(MetadataReaderTest, EachKindOfFileGivesItsCaptureTime) {
  const std::string jpeg = Photo("a.jpg", "2016:08:30 12:48:42", "2016:08:30 12:50:00",
                                 "2020:01:01 00:00:00");
  const std::string heic = tree_ / "a.heic", summer = tree_ / "summer.mp4",
                    winter = tree_ / "winter.mov", apple = tree_ / "IMG_0001.MOV";
  ASSERT_TRUE(testing::MakeHeic(jpeg, heic));
  ASSERT_TRUE(testing::MakeMovie(summer, "2016-08-30T16:48:42Z"));
  ASSERT_TRUE(testing::MakeMovie(winter, "2016-01-15T17:00:00Z"));
  ASSERT_TRUE(testing::MakeMovie(apple, "2016-08-30T16:48:42Z"));
  ASSERT_TRUE(testing::SetAppleCreationDate(apple, "2016:08:31 09:10:11+09:00"));
  const struct {
    std::string path;
    std::optional<CapturedMoment> expected;
  } cases[] = {
      {jpeg, WallClock(2016, 8, 30, 12, 48, 42)},
      {heic, WallClock(2016, 8, 30, 12, 48, 42)},
      // The movie header's UTC fields as they stand: the engine applies the zone rules.
      {summer, Utc(2016, 8, 30, 16, 48, 42)},
      {winter, Utc(2016, 1, 15, 17, 0, 0)},
      // Apple's creation date is the wall clock where it was taken, offset ignored.
      {apple, WallClock(2016, 8, 31, 9, 10, 11)},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.path), c.expected) << c.path;
}

TEST_F(MetadataReaderTest, WithoutDateTimeOriginalDateTimeDigitizedServes) {
  const std::string path = Photo("a.jpg", "", "2016:08:30 12:50:00", "2020:01:01 00:00:00");
  EXPECT_EQ(Read(path), WallClock(2016, 8, 30, 12, 50, 0));
}

TEST_F(MetadataReaderTest, DateTimeAloneIsNoCaptureTime) {
  EXPECT_EQ(Read(Photo("a.jpg", "", "", "2020:01:01 00:00:00")), std::nullopt);
  EXPECT_EQ(Read(Photo("b.jpg", "")), std::nullopt);
}

TEST_F(MetadataReaderTest, AnOriginalThatIsNoRealMomentCountsAsMissing) {
  for (const char* bad : {"0000:00:00 00:00:00", "                   ", "2013:05:26 16:05:92",
                          "2016:13:01 00:00:00"}) {
    EXPECT_EQ(Read(Photo("bad.jpg", bad)), std::nullopt) << bad;
    EXPECT_EQ(Read(Photo("both.jpg", bad, "2016:08:30 12:50:00")),
              WallClock(2016, 8, 30, 12, 50, 0))
        << bad;
  }
}

TEST_F(MetadataReaderTest, EachTimeTakesTheSubSecondTimeThatRefinesIt) {
  constexpr char kShot[] = "2016:08:30 12:48:42", kScanned[] = "2020:01:02 09:00:00";
  const auto shot = [](std::optional<std::uint32_t> nanosecond) {
    return WallClock(2016, 8, 30, 12, 48, 42, nanosecond);
  };
  const auto scanned = [](std::optional<std::uint32_t> nanosecond) {
    return WallClock(2020, 1, 2, 9, 0, 0, nanosecond);
  };
  const struct {
    const char* what;
    Tags tags;
    std::optional<CapturedMoment> expected;
  } cases[] = {
      {"the original's own", {{kOriginal, kShot}, {kSubSecOriginal, "123"}}, shot(123'000'000)},
      {"the original's own before the digitized one's",
       {{kOriginal, kShot}, {kDigitized, kShot}, {kSubSecOriginal, "5"}, {kSubSecDigitized, "9"}},
       shot(500'000'000)},
      {"the digitized one's for the very same second",
       {{kOriginal, kShot}, {kDigitized, kShot}, {kSubSecDigitized, "25"}},
       shot(250'000'000)},
      {"not the digitized one's for another second",
       {{kOriginal, kShot}, {kDigitized, kScanned}, {kSubSecDigitized, "25"}},
       shot(std::nullopt)},
      {"not the digitized one's without a digitized time",
       {{kOriginal, kShot}, {kSubSecDigitized, "25"}},
       shot(std::nullopt)},
      {"a digitized time's own",
       {{kDigitized, kScanned}, {kSubSecDigitized, "7"}},
       scanned(700'000'000)},
      {"never the original's for a digitized time",
       {{kDigitized, kScanned}, {kSubSecOriginal, "7"}},
       scanned(std::nullopt)},
      {"an original that is no real moment takes no fraction",
       {{kOriginal, "2013:05:26 16:05:92"},
        {kDigitized, kScanned},
        {kSubSecOriginal, "5"},
        {kSubSecDigitized, "3"}},
       scanned(300'000'000)},
      {"neither", {{kOriginal, kShot}, {kDigitized, kShot}}, shot(std::nullopt)},
      {"a fraction of no time", {{kSubSecOriginal, "5"}, {kSubSecDigitized, "5"}}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(Tagged("a.jpg", c.tags)), c.expected) << c.what;
}

// The text's own rules are capture_time_text_test's; here, that the tag's text reaches them whole.
TEST_F(MetadataReaderTest, ASubSecondTimeIsItsDigitsBetweenBlanks) {
  constexpr char kShot[] = "2016:08:30 12:48:42";
  const struct {
    const char* text;
    std::optional<std::uint32_t> nanosecond;
  } cases[] = {
      {" 42 ", 420'000'000}, {"1234567891", 123'456'789}, {"1.5", std::nullopt},
      {"   ", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Read(Tagged("a.jpg", {{kOriginal, kShot}, {kSubSecOriginal, c.text}})),
              WallClock(2016, 8, 30, 12, 48, 42, c.nanosecond))
        << c.text;
    // An original's sub-second time that is none leaves the digitized one's to serve.
    EXPECT_EQ(Read(Tagged("b.jpg", {{kOriginal, kShot},
                                    {kDigitized, kShot},
                                    {kSubSecOriginal, c.text},
                                    {kSubSecDigitized, "9"}})),
              WallClock(2016, 8, 30, 12, 48, 42, c.nanosecond ? c.nanosecond : 900'000'000))
        << c.text;
  }
}

TEST_F(MetadataReaderTest, TheFractionComesFromEveryKindOfFileThatTellsIt) {
  const std::string jpeg =
      Tagged("a.jpg", {{kOriginal, "2016:08:30 12:48:42"}, {kSubSecOriginal, "375"}});
  const std::string tiff = tree_ / "a.tif", heic = tree_ / "a.heic", text = tree_ / "text.mp4",
                    header = tree_ / "header.mp4", apple = tree_ / "IMG_0001.MOV";
  ASSERT_TRUE(testing::MakeTiff(tiff));
  ASSERT_TRUE(testing::SetExifText(tiff, kOriginal, "2016:08:30 12:48:42"));
  ASSERT_TRUE(testing::SetExifText(tiff, kSubSecOriginal, "5"));
  ASSERT_TRUE(testing::MakeHeic(jpeg, heic));
  ASSERT_TRUE(testing::MakeMovieWithTimeText(text, "2016-08-30T16:48:42.123456Z"));
  ASSERT_TRUE(testing::MakeMovie(header, "2016-08-30T16:48:42.123456Z"));
  ASSERT_TRUE(testing::MakeMovie(apple, "2016-08-30T16:48:42Z"));
  ASSERT_TRUE(testing::SetAppleCreationDate(apple, "2016:08:31 09:10:11.25+09:00"));
  const struct {
    std::string path;
    std::optional<CapturedMoment> expected;
  } cases[] = {
      {jpeg, WallClock(2016, 8, 30, 12, 48, 42, 375'000'000)},
      {tiff, WallClock(2016, 8, 30, 12, 48, 42, 500'000'000)},
      {heic, WallClock(2016, 8, 30, 12, 48, 42, 375'000'000)},
      {text, Utc(2016, 8, 30, 16, 48, 42, 123'456'000)},
      // The header holds whole seconds: ffmpeg dropped the fraction it was given.
      {header, Utc(2016, 8, 30, 16, 48, 42)},
      {apple, WallClock(2016, 8, 31, 9, 10, 11, 250'000'000)},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.path), c.expected) << c.path;
}

TEST_F(MetadataReaderTest, AMovieHeaderTimeThatMeansNotSetIsNone) {
  constexpr std::uint32_t kUnixEpochSince1904 = 2082844800;
  constexpr std::uint32_t kSummerSince1904 = kUnixEpochSince1904 + 1472575722;
  const std::string unset = tree_ / "unset.mp4", patched = tree_ / "patched.mp4";
  ASSERT_TRUE(testing::MakeMovie(unset, ""));
  ASSERT_TRUE(testing::MakeMovie(patched, ""));
  EXPECT_EQ(Read(unset), std::nullopt);
  const struct {
    std::uint32_t seconds;
    std::optional<CapturedMoment> expected;
  } cases[] = {
      {0, std::nullopt},                    // 1904-01-01 00:00:00
      {kUnixEpochSince1904, std::nullopt},  // 1970-01-01 00:00:00
      {kUnixEpochSince1904 + 1, Utc(1970, 1, 1, 0, 0, 1)},
      {kSummerSince1904, Utc(2016, 8, 30, 16, 48, 42)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(testing::SetMovieHeaderTime(patched, c.seconds));
    EXPECT_EQ(Read(patched), c.expected) << c.seconds;
  }
}

TEST_F(MetadataReaderTest, FilesThatAreNoMediaOrAreDamagedHaveNone) {
  const std::string good = Photo("good.jpg", "2016:08:30 12:48:42");
  const std::string cut = tree_ / "cut.jpg";
  ASSERT_TRUE(testing::CopyTruncated(good, cut, 40));
  EXPECT_EQ(Read(cut), std::nullopt);
  EXPECT_EQ(Read(tree_.Write("notes.txt", "2016:08:30 12:48:42")), std::nullopt);
  EXPECT_EQ(Read(tree_.Write("empty.jpg", "")), std::nullopt);
  EXPECT_EQ(ReadCaptureTime(-1), std::nullopt);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);  // no size, no mapping: nothing to read
  EXPECT_EQ(ReadCaptureTime(pipeEnds[0]), std::nullopt);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

}  // namespace
}  // namespace tokiren::media
