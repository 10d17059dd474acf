// The readers and the helper pool on Windows, on photos and videos made on Linux by the tools the
// Linux tests use (make_media_files.sh), read by tokiren-media-helper.exe as the engine hands
// them over: each file opened by the file system and its handle duplicated into a helper.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "media/helper_pool.h"
#include "media/helper_protocol.h"
#include "media/metadata_reader.h"
#include "platform/file_system.h"
#include "platform/program_folder.h"

namespace tokiren::media {
namespace {

using Answers = std::vector<std::optional<CapturedMoment>>;

// The file's full path, with Windows' separators, as the engine holds paths.
std::string MediaFile(const std::string& name) {
  std::string path = std::string(TOKIREN_MEDIA_FILES) + name;
  for (char& c : path) c = c == '/' ? kPathSeparator : c;
  return path;
}

// The faulty helper lies beside the tests, in the one folder of every executable.
std::string FaultyHelper() { return ExecutableFolder() + TOKIREN_FAULTY_MEDIA_HELPER; }

std::optional<CapturedMoment> WallClock(int year, int month, int day, int hour, int minute,
                                        int second,
                                        std::optional<std::uint32_t> nanosecond = std::nullopt) {
  return CapturedMoment{LocalTime{year, month, day, hour, minute, second}, false, nanosecond};
}

std::optional<CapturedMoment> Utc(int year, int month, int day, int hour, int minute, int second,
                                  std::optional<std::uint32_t> nanosecond = std::nullopt) {
  return CapturedMoment{LocalTime{year, month, day, hour, minute, second}, true, nanosecond};
}

// Reads the file as the helper does, through a handle it leaves open, in this process.
std::optional<CapturedMoment> ReadHere(const std::string& name) {
  std::unique_ptr<OpenFile> file;
  EXPECT_TRUE(SystemFileSystem().OpenToRead(MediaFile(name), &file).ok()) << name;
  if (!file) return std::nullopt;
  return ReadCaptureTime(file->NativeHandle());
}

// Hands the files over as the engine does, as many ahead as the pool takes, and takes each
// answer back in order.
Answers TakeAll(HelperPool& pool, const std::vector<std::string>& names) {
  std::string detail;
  EXPECT_TRUE(pool.Start(&detail).ok()) << detail;
  Answers answers;
  std::uint64_t handed = 0;
  for (std::uint64_t ticket = 0; ticket < names.size(); ++ticket) {
    for (; handed < names.size() && handed < ticket + pool.ReadAhead(); ++handed) {
      std::unique_ptr<OpenFile> file;
      EXPECT_TRUE(SystemFileSystem().OpenToRead(MediaFile(names[handed]), &file).ok())
          << names[handed];
      pool.Submit(handed, std::move(file));
    }
    std::optional<CapturedMoment> moment;
    EXPECT_TRUE(pool.Take(ticket, &moment).ok());
    answers.push_back(moment);
  }
  return answers;
}

struct Case {
  const char* name;
  std::optional<CapturedMoment> expected;
};

const Case kCases[] = {
    // DateTimeOriginal before DateTimeDigitized; DateTime, which every edit changes, never.
    {"all-tags.jpg", WallClock(2016, 8, 30, 12, 48, 42)},
    {"digitized.jpg", WallClock(2016, 8, 30, 12, 50, 0)},
    {"modified-only.jpg", std::nullopt},
    {"untagged.jpg", std::nullopt},
    {"tagged.tif", WallClock(2016, 8, 30, 12, 48, 42)},
    // An original that is no real moment counts as missing.
    {"bad-1.jpg", std::nullopt},
    {"bad-2.jpg", std::nullopt},
    {"bad-3.jpg", std::nullopt},
    {"bad-4.jpg", std::nullopt},
    {"bad-1-digitized.jpg", WallClock(2016, 8, 30, 12, 50, 0)},
    {"bad-2-digitized.jpg", WallClock(2016, 8, 30, 12, 50, 0)},
    {"bad-3-digitized.jpg", WallClock(2016, 8, 30, 12, 50, 0)},
    {"bad-4-digitized.jpg", WallClock(2016, 8, 30, 12, 50, 0)},
    {"photo.heic", WallClock(2016, 8, 30, 12, 48, 42)},
    // Shots of a burst: SubSecTimeOriginal before SubSecTimeDigitized, which serves alone where
    // both times are one second; padded digits are taken, anything else is no fraction.
    {"subsec-original.jpg", WallClock(2016, 8, 30, 12, 48, 42, 123'000'000)},
    {"subsec-digitized.jpg", WallClock(2016, 8, 30, 12, 48, 42, 250'000'000)},
    {"subsec-padded.jpg", WallClock(2016, 8, 30, 12, 48, 42, 420'000'000)},
    {"subsec-junk.jpg", WallClock(2016, 8, 30, 12, 48, 42)},
    {"subsec.heic", WallClock(2016, 8, 30, 12, 48, 42, 123'000'000)},
    // The movie header's UTC fields as they stand; Apple's creation date as its wall clock.
    {"summer.mp4", Utc(2016, 8, 30, 16, 48, 42)},
    {"winter.mov", Utc(2016, 1, 15, 17, 0, 0)},
    {"IMG_0001.MOV", WallClock(2016, 8, 31, 9, 10, 11)},
    // The header holds whole seconds; the time kept as text among the metadata keys, its fraction.
    {"fraction.mp4", Utc(2016, 8, 30, 16, 48, 42, 123'456'000)},
    // The header's "not set" values.
    {"unset.mp4", std::nullopt},
    {"header-0.mp4", std::nullopt},
    {"header-2082844800.mp4", std::nullopt},
    {"header-2082844801.mp4", Utc(1970, 1, 1, 0, 0, 1)},
    {"header-3555420522.mp4", Utc(2016, 8, 30, 16, 48, 42)},
    // Cut short, no media at all, empty.
    {"cut.jpg", std::nullopt},
    {"cut.mp4", std::nullopt},
    {"notes.txt", std::nullopt},
    {"empty.jpg", std::nullopt},
};

class MediaWin32Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeMetadataLibraries(); }
};

TEST_F(MediaWin32Test, EachKindOfFileGivesItsCaptureTimeInThisProcess) {
  for (const Case& c : kCases) EXPECT_EQ(ReadHere(c.name), c.expected) << c.name;
  EXPECT_EQ(ReadCaptureTime(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)), std::nullopt);
}

TEST_F(MediaWin32Test, TheHelpersGiveWhatTheReadersGiveInFileOrder) {
  std::vector<std::string> names;
  Answers expected;
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : kCases) {
      names.push_back(c.name);
      expected.push_back(c.expected);
    }
  }
  HelperPool pool({.helperPath = HelperBesideProgram(), .helpers = 3, .readAhead = 8});
  EXPECT_EQ(TakeAll(pool, names), expected);
  EXPECT_EQ(pool.lostHelpers(), 0);
}

// The zone rules of each movie's own date, as for the file times (the test runs with
// TZ=America/New_York, which Wine follows).
TEST_F(MediaWin32Test, AMovieHeaderTimeIsLocalTimeByTheRulesOfItsDate) {
  EXPECT_EQ(LocalTimeOfUtc(ReadHere("summer.mp4")->time), (LocalTime{2016, 8, 30, 12, 48, 42}));
  EXPECT_EQ(LocalTimeOfUtc(ReadHere("winter.mov")->time), (LocalTime{2016, 1, 15, 12, 0, 0}));
}

TEST_F(MediaWin32Test, AHelperThatCrashesOrHangsCostsOnlyThatFile) {
  const auto at = WallClock(2016, 8, 30, 12, 48, 42);
  const struct {
    const char* name;
    std::vector<std::string> files;
    Answers answers;
    int lost;
  } cases[] = {
      {"crash",
       {"all-tags.jpg", "crash-me.jpg", "summer.mp4", "crash-me-too.jpg", "untagged.jpg"},
       {at, std::nullopt, Utc(2016, 8, 30, 16, 48, 42), std::nullopt, std::nullopt},
       2},
      {"hang", {"all-tags.jpg", "hang-me.jpg", "digitized.jpg"},
       {at, std::nullopt, WallClock(2016, 8, 30, 12, 50, 0)}, 1},
  };
  for (const auto& c : cases) {
    HelperPool pool({.helperPath = FaultyHelper(),
                     .helpers = 1,
                     .fileTimeLimit = std::chrono::milliseconds(1000)});
    EXPECT_EQ(TakeAll(pool, c.files), c.answers) << c.name;
    EXPECT_EQ(pool.lostHelpers(), c.lost) << c.name;
  }
}

// The helper's side of the pipes: it reads and closes each file it is handed, in order, and
// leaves alone a value that names no file of its own (here, one of its own pipes).
TEST_F(MediaWin32Test, TheHelperAnswersEachHandleInOrderAndClosesOnlyFiles) {
  HANDLE helperIn = nullptr, requests = nullptr, answers = nullptr, helperOut = nullptr;
  ASSERT_TRUE(CreatePipe(&helperIn, &requests, nullptr, 0));
  ASSERT_TRUE(CreatePipe(&answers, &helperOut, nullptr, 0));
  std::vector<std::intptr_t> read;
  std::thread helper([&] {
    ServeCaptureTimes(helperIn, helperOut, [&](std::intptr_t file) {
      read.push_back(file);
      return ReadCaptureTime(file);
    });
    CloseHandle(helperOut);
  });
  std::unique_ptr<OpenFile> photo, movie;
  ASSERT_TRUE(SystemFileSystem().OpenToRead(MediaFile("subsec-original.jpg"), &photo).ok());
  ASSERT_TRUE(SystemFileSystem().OpenToRead(MediaFile("summer.mp4"), &movie).ok());
  HANDLE photoCopy = nullptr, movieCopy = nullptr;
  for (auto [from, to] : {std::pair{photo.get(), &photoCopy}, std::pair{movie.get(), &movieCopy}}) {
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(from->NativeHandle()),
                                GetCurrentProcess(), to, 0, FALSE, DUPLICATE_SAME_ACCESS));
  }
  const auto value = [](HANDLE handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
  };
  EXPECT_TRUE(SendHandle(requests, value(photoCopy)));
  EXPECT_TRUE(SendHandle(requests, value(helperIn)));
  EXPECT_TRUE(SendHandle(requests, value(movieCopy)));
  CloseHandle(requests);
  helper.join();
  std::string received;
  char chunk[256];
  for (DWORD got = 0; ReadFile(answers, chunk, sizeof chunk, &got, nullptr) && got > 0;) {
    received.append(chunk, got);
  }
  CloseHandle(answers);
  std::vector<std::string> messages;
  bool malformed = false;
  while (auto message = TakeMessage(&received, kMaxAnswerMessage, &malformed)) {
    messages.push_back(*message);
  }
  EXPECT_FALSE(malformed);
  EXPECT_EQ(messages, (std::vector<std::string>{std::string(kReadyMessage),
                                                "W20160830124842.123", "", "U20160830164842"}));
  EXPECT_EQ(read, (std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(photoCopy),
                                              reinterpret_cast<std::intptr_t>(movieCopy)}));
  // The files' copies were closed; the pipe named in their midst was not.
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(photoCopy, &flags));
  EXPECT_FALSE(GetHandleInformation(movieCopy, &flags));
  EXPECT_TRUE(GetHandleInformation(helperIn, &flags));
  CloseHandle(helperIn);
}

TEST_F(MediaWin32Test, StartFailsWhenNoHelperCanBeStartedOrBeReady) {
  const struct {
    std::string helper;
    const char* detail;
  } cases[] = {
      {MediaFile("no-such-helper.exe"), "cannot start"},
      {MediaFile("notes.txt"), "cannot start"},
      // A program that ends at once, without a word.
      {ExecutableFolder() + "tokiren-hold-file.exe", "ended before it was ready"},
      {"", "cannot be found"},
  };
  for (const auto& c : cases) {
    HelperPool pool({.helperPath = c.helper});
    std::string detail;
    EXPECT_FALSE(pool.Start(&detail).ok()) << c.helper;
    EXPECT_NE(detail.find(c.detail), std::string::npos) << detail;
  }
}

}  // namespace
}  // namespace tokiren::media
