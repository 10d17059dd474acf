#include <gtest/gtest.h>

#include "media/capture_time_text.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {


TEST(CaptureTimeTextTest, TakesAnExifDateAsItStands) {
  EXPECT_EQ(ParseExifDateTime("2016:08:30 12:48:42"), (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(ParseExifDateTime(std::string("2016:02:29 00:00:00\0", 20)),
            (LocalTime{2016, 2, 29, 0, 0, 0}));
  EXPECT_EQ(ParseExifDateTime("2016:08:30 12:48:42   "), (LocalTime{2016, 8, 30, 12, 48, 42}));
}

TEST(CaptureTimeTextTest, RefusesWhatIsNoRealMoment) {
  const char* const notMoments[] = {
      "0000:00:00 00:00:00", "                   ", "    :  :     :  :  ", "",
      "2013:05:26 16:05:92", "2016:13:01 00:00:00", "2015:02:29 10:00:00", "2016:04:31 10:00:00",
      "2016:08:30 24:00:00", "2016:08:30 12:60:00", "2016-08-30 12:48:42", "2016:08:30T12:48:42",
      "2016:08:30 12:48",    "2016:8:30 12:48:42 ", "20a6:08:30 12:48:42", "2016:00:10 12:48:42",
  };
  for (const char* text : notMoments) EXPECT_FALSE(ParseExifDateTime(text)) << text;
}

TEST(CaptureTimeTextTest, TakesTheCalendarFieldsOfAnIsoTime) {
  EXPECT_EQ(ParseIsoDateTime("2016-08-30T12:48:42-0400"), (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(ParseIsoDateTime("2016-08-30T16:48:42.000000Z"), (LocalTime{2016, 8, 30, 16, 48, 42}));
  EXPECT_FALSE(ParseIsoDateTime("2016:08:30 12:48:42"));
  EXPECT_FALSE(ParseIsoDateTime("2016-08-30T12:48:92Z"));
}

TEST(CaptureTimeTextTest, StampDigitsGoThereAndBack) {
  const LocalTime time{2016, 8, 30, 12, 48, 42};
  EXPECT_EQ(StampDigits(time), "20160830124842");
  EXPECT_EQ(FromStampDigits("20160830124842"), time);
  EXPECT_EQ(FromStampDigits("00010101000000"), (LocalTime{1, 1, 1, 0, 0, 0}));
  for (const char* bad : {"", "2016083012484", "201608301248420", "20161330124842", "2016083012484x"}) {
    EXPECT_FALSE(FromStampDigits(bad)) << bad;
  }
}

}  // namespace
}  // namespace tokiren::media
