// The failure type shared by every layer: a numbered code of the program's error table, or a
// platform number the table does not list.
#pragma once

namespace tokiren {

// A failure as the user will see it. `listed` tells the two kinds apart: a listed number is one of
// the table's codes (53, 58, 61, 75, 76, 380) and carries that code's message; any other number is
// shown as an unexpected error with the number in the title. The two kinds stay apart even where
// the numbers coincide: errno 61 on Linux is not "disk full".
struct ErrorCode {
  int number = 0;
  bool listed = false;

  constexpr bool ok() const { return number == 0; }
  friend constexpr bool operator==(const ErrorCode&, const ErrorCode&) = default;

  static constexpr ErrorCode Unlisted(int number) { return ErrorCode{number, false}; }
};

inline constexpr ErrorCode kSuccess{};
inline constexpr ErrorCode kFileNotFound{53, true};
inline constexpr ErrorCode kFileAlreadyExists{58, true};
inline constexpr ErrorCode kDiskFull{61, true};
inline constexpr ErrorCode kPathFileAccessError{75, true};
inline constexpr ErrorCode kPathNotFound{76, true};
inline constexpr ErrorCode kInvalidPropertyValue{380, true};

}  // namespace tokiren
