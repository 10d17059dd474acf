// The log on the disk: the program's files beside it, reading it last line first in bounded memory,
// and finding lines again by a fingerprint.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tokiren {

// Every file the log's folder holds for the log starts with this: the log, its lock, the marker
// of a run not yet ended, the last run's log kept during a new run's first rename, and the
// temporary files they are written through. A run never renames any of them.
inline constexpr std::string_view kLogFilePrefix = "tokiren_log.";
// Present while the log's lines belong to a run that has not ended (it was killed or the power
// went): the next run keeps those lines ahead of its own, so that one Reset undoes both.
inline constexpr std::string_view kRunMarkerFileName = "tokiren_log.run";
// The last run's log, set aside while a new run makes its first rename.
inline constexpr std::string_view kLogBackupFileName = "tokiren_log.old";

// One line of a log, read from the end.
struct LogLine {
  std::uint64_t begin = 0;  // offset of its first byte
  std::uint64_t end = 0;    // offset of its CR LF
  bool tooLong = false;     // longer than any sound line can be; `text` is then empty
  std::string_view text;    // valid until the next call
};

// Reads a log's complete lines last first, a block at a time, so memory stays bounded whatever
// the log's size. A last line without its CR LF (torn by a crash) is passed over.
class ReverseLogReader {
 public:
  explicit ReverseLogReader(FileReader& file, std::size_t blockSize = kDefaultBlockSize);

  // The line before the previous one returned (the last line at first). False at the start of the
  // file, or on a read failure (then `error` tells).
  bool Previous(LogLine* line);

  // Where the complete lines end: the size of the log without a torn last line.
  std::uint64_t CompleteSize();

  const ErrorCode& error() const { return error_; }

  static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

 private:
  // The offset of the last CR LF that ends at or before `limit`, or -1 when there is none.
  std::int64_t FindCrLfBefore(std::uint64_t limit);
  bool LoadWindowEndingAt(std::uint64_t end);

  FileReader& file_;
  const std::size_t blockSize_;
  std::string window_;            // the file's bytes from windowStart_
  std::uint64_t windowStart_ = 0;
  std::string lineBuffer_;        // a line that does not lie inside the window
  bool started_ = false;
  bool atStart_ = false;          // the first line of the file was returned
  std::uint64_t cursor_ = 0;      // offset of the CR LF of the line returned last
  std::uint64_t completeSize_ = 0;
  ErrorCode error_;
};

// A fingerprint of a text, for finding lines again without keeping their text.
std::uint64_t Fingerprint(std::string_view text);

// A multimap from fingerprints to values (offsets of lines, indexes into a table), in two flat
// arrays: 12 bytes a slot, 24 to 48 bytes an entry, however long the texts are. Equal
// fingerprints do not prove equal texts: the caller checks each value found.
class FingerprintIndex {
 public:
  void Insert(std::uint64_t fingerprint, std::uint64_t value);

  // Calls `found(value)` for every value inserted under `fingerprint`.
  template <typename Found>
  void ForEach(std::uint64_t fingerprint, Found&& found) const {
    if (keys_.empty()) return;
    const std::uint32_t key = KeyOf(fingerprint);
    for (std::size_t i = SlotOf(key);; i = (i + 1) & mask_) {
      if (keys_[i] == 0) return;
      if (keys_[i] == key) found(values_[i]);
    }
  }

  bool empty() const { return size_ == 0; }

 private:
  // 32 bits of the fingerprint, never 0, which marks an empty slot. The slot is found from the key
  // alone, so the table can grow without the fingerprints.
  static std::uint32_t KeyOf(std::uint64_t fingerprint) {
    return static_cast<std::uint32_t>(fingerprint >> 32) | 1;
  }
  std::size_t SlotOf(std::uint32_t key) const { return (key >> 1) & mask_; }
  void Grow();

  std::vector<std::uint32_t> keys_;
  std::vector<std::uint64_t> values_;
  std::size_t mask_ = 0;
  std::size_t size_ = 0;
};

// A line's place in its log, in 64 bits (offsets below 1 TB, lines within kMaxLogLineBytes), to
// keep in a FingerprintIndex.
std::uint64_t PackLinePlace(std::uint64_t begin, std::uint64_t end);
std::uint64_t LinePlaceBegin(std::uint64_t place);
// Reads the line whose place was packed into `text`.
ErrorCode ReadLineAt(FileReader& file, std::uint64_t place, std::string* text);

// Copies the bytes [begin, end) of `file` to `to`, a block at a time.
ErrorCode CopyBytes(FileReader& file, std::uint64_t begin, std::uint64_t end, TextFileWriter& to);

}  // namespace tokiren
