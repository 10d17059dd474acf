#include "engine/log_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/log.h"

namespace tokiren {
namespace {

// A log held in memory.
class MemoryFile : public FileReader {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  ErrorCode ReadAt(std::uint64_t offset, char* data, std::size_t size) override {
    ++reads;
    if (offset + size > bytes_.size()) return kFileNotFound;
    std::memcpy(data, bytes_.data() + offset, size);
    return kSuccess;
  }
  int reads = 0;

 private:
  std::string bytes_;
};

struct Read {
  std::vector<std::string> lines;  // last first; "<long>" for a line too long to be sound
  std::uint64_t completeSize = 0;
};

Read ReadBackwards(const std::string& bytes, std::size_t blockSize) {
  MemoryFile file(bytes);
  ReverseLogReader reader(file, blockSize);
  Read read;
  LogLine line;
  while (reader.Previous(&line)) {
    const std::string text = line.tooLong ? "<long>" : std::string(line.text);
    if (!line.tooLong) {
      EXPECT_EQ(bytes.substr(line.begin, line.end - line.begin), text);
      EXPECT_EQ(bytes.substr(line.end, 2), "\r\n");
    }
    read.lines.push_back(text);
  }
  EXPECT_TRUE(reader.error().ok());
  read.completeSize = reader.CompleteSize();
  return read;
}

TEST(ReverseLogReaderTest, ReadsEveryCompleteLineLastFirstWhateverTheBlockSize) {
  const std::string tooLong(kMaxLogLineBytes + 1, 'x');
  const std::string bytes =
      "first\r\n\r\nthird line\r\n" + tooLong + "\r\nr\rn\n\r\nfifth\r\ntorn";
  const std::vector<std::string> expected = {"fifth", "r\rn\n", "<long>", "third line", "",
                                             "first"};
  // Block sizes that put a CR LF across two blocks, a line across many, and the whole in one.
  for (const std::size_t block : {2, 3, 5, 7, 64, 1 << 20}) {
    SCOPED_TRACE(block);
    const Read read = ReadBackwards(bytes, block);
    EXPECT_EQ(read.lines, expected);
    EXPECT_EQ(read.completeSize, bytes.size() - 4);  // without "torn"
  }
}

TEST(ReverseLogReaderTest, ALogWithoutACompleteLineHasNone) {
  for (const std::string& bytes : {std::string(), std::string("torn"), std::string("\r"),
                                   std::string(5000, 'x')}) {
    const Read read = ReadBackwards(bytes, 16);
    EXPECT_TRUE(read.lines.empty());
    EXPECT_EQ(read.completeSize, 0u);
  }
  EXPECT_EQ(ReadBackwards("\r\n", 16).lines, (std::vector<std::string>{""}));
}

TEST(ReverseLogReaderTest, AgreesWithAForwardReadingOnRandomLogs) {
  std::mt19937 random(20161207);
  const char alphabet[] = {'a', '\r', '\n', ' '};
  for (int round = 0; round < 300; ++round) {
    std::string bytes;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) bytes += alphabet[random() % 4];
    std::vector<std::string_view> forward = CompleteLogLines(bytes);
    const std::vector<std::string> expected(forward.rbegin(), forward.rend());
    EXPECT_EQ(ReadBackwards(bytes, 1 + random() % 9).lines, expected) << bytes;
  }
}

TEST(FingerprintIndexTest, FindsEveryValueOfAFingerprintAsItGrows) {
  FingerprintIndex index;
  EXPECT_TRUE(index.empty());
  for (std::uint64_t i = 0; i < 5000; ++i) index.Insert(Fingerprint(std::to_string(i)), i);
  index.Insert(Fingerprint("7"), 70000);  // a second value under one fingerprint
  for (std::uint64_t i = 0; i < 5000; i += 499) {
    std::vector<std::uint64_t> found;
    index.ForEach(Fingerprint(std::to_string(i)), [&](std::uint64_t value) {
      found.push_back(value);
    });
    ASSERT_FALSE(found.empty());
    EXPECT_NE(std::find(found.begin(), found.end(), i), found.end());
  }
  std::vector<std::uint64_t> seven;
  index.ForEach(Fingerprint("7"), [&](std::uint64_t value) { seven.push_back(value); });
  std::sort(seven.begin(), seven.end());
  EXPECT_EQ(seven, (std::vector<std::uint64_t>{7, 70000}));
  int strays = 0;
  index.ForEach(Fingerprint("not inserted"), [&](std::uint64_t) { ++strays; });
  EXPECT_LE(strays, 1);  // a 32-bit key may collide; callers check what they find
}

TEST(LinePlaceTest, PacksAPlaceAndReadsTheLineBack) {
  MemoryFile file("one\r\ntwo lines\r\n");
  const std::uint64_t place = PackLinePlace(5, 14);
  EXPECT_EQ(LinePlaceBegin(place), 5u);
  std::string text;
  ASSERT_TRUE(ReadLineAt(file, place, &text).ok());
  EXPECT_EQ(text, "two lines");
}

}  // namespace
}  // namespace tokiren
