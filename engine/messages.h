// Every text the engine shows to the user, and the message box of an error.
#pragma once

#include <string>
#include <string_view>

#include "platform/error_code.h"

namespace tokiren {

inline constexpr std::string_view kStopTitle = "処理を中止します。";
inline constexpr std::string_view kUnexpectedErrorText = "エラー処理で想定されていないエラーです。";
inline constexpr std::string_view kNotPrivateText =
    "ログまたはそのフォルダをほかのユーザーも書き換えられます。自分だけが書き込めるようにしてから"
    "もう一度お試しください。";
inline constexpr std::string_view kBusyText =
    "ほかの実行またはリセットが進行中です。終わってからもう一度お試しください。";

inline constexpr std::string_view kNoCaptureReaderText =
    "撮影日時を読み取る補助プログラム tokiren-media-helper を起動できません。何も変更していません。"
    "プログラムと同じフォルダにあるか確かめるか、撮影日時を使わずに実行してください。";

// An error as one message box: the code, what was being handled, and the box's text and title.
// The box always carries the warning icon.
struct ErrorReport {
  ErrorCode code;
  std::string where;
  std::string text;
  std::string title;
  std::string detail;  // what failed and why in the system's words, in English; may be empty
};

// Why `code` failed, in the system's words ("error 5" when it has none).
std::string Reason(const ErrorCode& code);

// MakeErrorReport with the detail `what`, ": " and the Reason ("cannot rename a to b: ...").
ErrorReport MakeFailureReport(ErrorCode code, std::string where, const std::string& what);

// The table's message for a listed code; kUnexpectedErrorText for any other number.
std::string_view ErrorMessageText(ErrorCode code);

// The box for `code` while handling `where`: the message, CR LF, then `where`; the title is
// kStopTitle for a listed code, and "エラー番号は", the number with a blank for its sign, "です。"
// for any other ("エラー番号は 70です。").
ErrorReport MakeErrorReport(ErrorCode code, std::string where);

// The box shown when another run or Reset holds the log: kBusyText, CR LF, the log's path. Its
// code is the one of a sharing violation.
ErrorReport MakeBusyReport(std::string logPath);

// The box shown when a run that asked for capture times cannot read any: kNoCaptureReaderText,
// with `code` (the reader's failure).
ErrorReport MakeNoCaptureReaderReport(ErrorCode code);

// The box shown when the log, its lock or their folder may be changed by other users:
// kNotPrivateText, CR LF, the path. Its code is the one of an access failure.
ErrorReport MakeNotPrivateReport(std::string path);

}  // namespace tokiren
