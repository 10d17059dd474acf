// The failure type shared by every layer: a numbered code of the program's error table, or a
// platform number the table does not list.
#pragma once

#include <string>
#include <string_view>

namespace tokiren {

// A failure as the user will see it. `listed` tells the two kinds apart: a listed number is one of
// the table's codes (53, 58, 61, 75, 76, 380) and carries that code's message; any other number is
// shown as an unexpected error with the number in the title. The two kinds stay apart even where
// the numbers coincide: errno 61 on Linux is not "disk full".
struct ErrorCode {
  int number = 0;
  bool listed = false;
  // The system's own number behind the failure (errno; GetLastError on Windows), or one of the
  // kSystem... values below; 0 when there is none. It only serves to describe the failure in the
  // system's words (DescribeError) and takes no part in comparisons.
  int system = 0;

  constexpr bool ok() const { return number == 0; }
  friend constexpr bool operator==(const ErrorCode& a, const ErrorCode& b) {
    return a.number == b.number && a.listed == b.listed;
  }

  static constexpr ErrorCode Unlisted(int number) { return ErrorCode{number, false, number}; }
  // The same code, with the system's number that caused it.
  constexpr ErrorCode Because(int systemNumber) const {
    return ErrorCode{number, listed, systemNumber};
  }
};

// Failures the system has no number of its own for.
// The file system can neither rename without replacing nor make hard links (FUSE FAT and exFAT):
// no rename can be made there without risking a file.
inline constexpr int kSystemNoSafeRename = -1;
// What was found under a file's name is no longer a regular file (a fifo or a folder put there).
inline constexpr int kSystemNotRegularFile = -2;
// The name no longer leads to the file whose time made its new name: replaced during the run.
inline constexpr int kSystemChangedDuringRun = -3;
// The file system refuses the new name itself (fusefat: any name outside ASCII).
inline constexpr int kSystemNameRefused = -5;
// No capture-time reader could be started (its helper missing, not executable, or no process
// could be made).
inline constexpr int kSystemNoCaptureReader = -4;

inline constexpr ErrorCode kSuccess{};
inline constexpr ErrorCode kFileNotFound{53, true};
inline constexpr ErrorCode kFileAlreadyExists{58, true};
inline constexpr ErrorCode kDiskFull{61, true};
inline constexpr ErrorCode kPathFileAccessError{75, true};
inline constexpr ErrorCode kPathNotFound{76, true};
inline constexpr ErrorCode kInvalidPropertyValue{380, true};

// One line in the system's own words for `code`'s cause ("No space left on device"), in English;
// "" when the code carries no system number. Windows: FormatMessageW, in English where the system
// has it, else in the system's language.
std::string DescribeError(const ErrorCode& code);

// The words for the program's own kSystem... values above; "" for any other number.
std::string_view DescribeOwnError(int system);

}  // namespace tokiren
