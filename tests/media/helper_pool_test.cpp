// The pool of helper processes on real files, handed over open as the engine hands them: the
// answers of a sequential read, in order, whatever a helper does.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
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
using Answers = std::vector<std::optional<CapturedMoment>>;

constexpr char kOriginal[] = "Exif.Photo.DateTimeOriginal";
constexpr char kSubSecOriginal[] = "Exif.Photo.SubSecTimeOriginal";

class HelperPoolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeMetadataLibraries(); }

  // A JPEG taken at 2016-08-30 12:`minute`:00; a minute of -1 for one without a capture time.
  // `subSecond`, when not empty, is its SubSecTimeOriginal.
  std::string Photo(const std::string& name, int minute, const std::string& subSecond = "") {
    const std::string path = tree_ / name;
    EXPECT_TRUE(testing::MakeJpeg(path));
    if (minute >= 0) {
      char date[32];
      std::snprintf(date, sizeof date, "2016:08:30 12:%02d:00", 10 + minute);
      EXPECT_TRUE(testing::SetExifText(path, kOriginal, date));
    }
    if (!subSecond.empty()) {
      EXPECT_TRUE(testing::SetExifText(path, kSubSecOriginal, subSecond));
    }
    return path;
  }

  static std::optional<CapturedMoment> At(int minute,
                                          std::optional<std::uint32_t> nanosecond = std::nullopt) {
    return CapturedMoment{{2016, 8, 30, 12, 10 + minute, 0}, false, nanosecond};
  }

  // What reading each file in this process gives.
  static Answers ReadInOrder(const std::vector<std::string>& paths) {
    Answers answers;
    for (const std::string& path : paths) {
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      answers.push_back(ReadCaptureTime(fd));
      close(fd);
    }
    return answers;
  }

  // Hands the files over as the engine does, as many ahead as the pool takes, and takes each
  // answer back in order.
  static Answers TakeAll(HelperPool& pool, const std::vector<std::string>& paths) {
    std::string detail;
    EXPECT_TRUE(pool.Start(&detail).ok()) << detail;
    Answers answers;
    std::uint64_t handed = 0;
    for (std::uint64_t ticket = 0; ticket < paths.size(); ++ticket) {
      for (; handed < paths.size() && handed < ticket + pool.ReadAhead(); ++handed) {
        std::unique_ptr<OpenFile> file;
        EXPECT_TRUE(SystemFileSystem().OpenToRead(paths[handed], &file).ok()) << paths[handed];
        pool.Submit(handed, std::move(file));
      }
      std::optional<CapturedMoment> moment;
      EXPECT_TRUE(pool.Take(ticket, &moment).ok());
      answers.push_back(moment);
    }
    return answers;
  }

  TempTree tree_;
};

TEST_F(HelperPoolTest, GivesWhatASequentialReadGivesInFileOrder) {
  std::vector<std::string> paths;
  const std::string tagged = Photo("tagged.jpg", 0);
  for (int i = 0; i < 40; ++i) {
    const std::string name = std::to_string(i) + ".jpg";
    if (i % 7 == 3) {  // cut short at a different place each time
      paths.push_back(tree_ / name);
      ASSERT_TRUE(testing::CopyTruncated(tagged, paths.back(), 30 + i));
    } else {
      // Every fourth a shot of a burst, its fraction of a second the digits of i.
      paths.push_back(Photo(name, i % 5 == 1 ? -1 : i, i % 4 == 2 ? std::to_string(i) : ""));
    }
  }
  const Answers sequential = ReadInOrder(paths);
  HelperPool pool({.helperPath = TOKIREN_MEDIA_HELPER, .helpers = 3, .readAhead = 8});
  EXPECT_EQ(TakeAll(pool, paths), sequential);
  EXPECT_EQ(sequential[0], At(0));
  EXPECT_EQ(sequential[1], std::nullopt);
  EXPECT_EQ(sequential[2], At(2, 200'000'000));
  EXPECT_EQ(sequential[14], At(14, 140'000'000));
  EXPECT_EQ(sequential[3], std::nullopt);
  EXPECT_EQ(pool.lostHelpers(), 0);
}

TEST_F(HelperPoolTest, ADamagedPhotoAmongGoodOnesGetsNoCaptureTime) {
  const std::string good1 = Photo("1.jpg", 1), good3 = Photo("3.jpg", 3);
  const std::string cut = tree_ / "2.jpg", garbled = tree_ / "4.jpg";
  ASSERT_TRUE(testing::CopyTruncated(good1, cut, 100));
  std::string bytes = tree_.Read("3.jpg");
  for (size_t i = 20; i < bytes.size(); i += 3) bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
  TempTree::WriteFile(garbled, bytes);
  HelperPool pool({.helperPath = TOKIREN_MEDIA_HELPER});
  EXPECT_EQ(TakeAll(pool, {good1, cut, good3, garbled}),
            (Answers{At(1), std::nullopt, At(3), std::nullopt}));
}

TEST_F(HelperPoolTest, AHelperThatCrashesHangsOrRunsAwayCostsOnlyThatFile) {
  struct Case {
    const char* name;
    std::vector<std::string> paths;
    Answers answers;
    int lost;
  };
  std::vector<Case> cases = {
      {"crash", {Photo("1.jpg", 1), Photo("crash-me.jpg", 2), Photo("3.jpg", 3),
                 Photo("crash-me-too.jpg", 4), Photo("5.jpg", 5)},
       {At(1), std::nullopt, At(3), std::nullopt, At(5)}, 2},
      {"hang", {Photo("h1.jpg", 1), Photo("hang-me.jpg", 2), Photo("h3.jpg", 3)},
       {At(1), std::nullopt, At(3)}, 1},
  };
#ifndef TOKIREN_ADDRESS_SANITIZER  // no memory limit under AddressSanitizer
  cases.push_back({"memory", {Photo("eat-memory.jpg", 1), Photo("m2.jpg", 2)},
                   {std::nullopt, At(2)}, 1});
#endif
  for (const Case& c : cases) {
    // The time limit counts from the helper's readiness: its start, however slow on a loaded
    // machine, never costs the first, good file its answer.
    HelperPool pool({.helperPath = TOKIREN_FAULTY_MEDIA_HELPER,
                     .helpers = 1,
                     .fileTimeLimit = std::chrono::milliseconds(500)});
    EXPECT_EQ(TakeAll(pool, c.paths), c.answers) << c.name;
    EXPECT_EQ(pool.lostHelpers(), c.lost) << c.name;
  }
}

// A helper that ends before it is ready read nothing: every file it was given goes to another.
TEST_F(HelperPoolTest, AHelperLostBeforeItIsReadyCostsNoFileItsTime) {
  const std::string once = tree_.Write(
      "once-helper", "#!/bin/sh\nif mkdir '" + (tree_ / "started") + "' 2>/dev/null; then exec '" +
                         TOKIREN_MEDIA_HELPER + "' \"$@\"; fi\nexit 1\n");
  ASSERT_EQ(chmod(once.c_str(), 0755), 0);
  std::vector<std::string> paths;
  for (int i = 0; i < 12; ++i) paths.push_back(Photo(std::to_string(i) + ".jpg", i));
  HelperPool pool({.helperPath = once, .helpers = 2});
  EXPECT_EQ(TakeAll(pool, paths), ReadInOrder(paths));
  EXPECT_EQ(ReadInOrder(paths)[5], At(5));
}

TEST_F(HelperPoolTest, StartFailsWhenNoHelperCanBeStartedOrBeReady) {
  struct Case {
    std::string helper;
    const char* detail;
  } cases[] = {
      {tree_ / "no-such-helper", "No such file or directory"},
      {tree_.Write("not-executable", "#!/bin/sh\n"), "Permission denied"},
      {"/bin/true", "ended before it was ready"},
      {"", "cannot be found"},
  };
  for (const Case& c : cases) {
    HelperPool pool({.helperPath = c.helper});
    std::string detail;
    EXPECT_FALSE(pool.Start(&detail).ok()) << c.helper;
    EXPECT_NE(detail.find(c.detail), std::string::npos) << detail;
  }
}

}  // namespace
}  // namespace tokiren::media
