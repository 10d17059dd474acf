// The engine's texts.
#include "engine/messages.h"

namespace tokiren {

std::string_view ErrorMessageText(ErrorCode code) {
  if (code.listed) {
    switch (code.number) {
      case kFileNotFound.number:
        return "ファイルが見つかりません。";
      case kFileAlreadyExists.number:
        return "同名のファイルが存在します。";
      case kDiskFull.number:
        return "ディスクの空き容量が不足しています。";
      case kPathFileAccessError.number:
        return "パス名が無効です。";
      case kPathNotFound.number:
        return "パスが見つかりません。";
      case kInvalidPropertyValue.number:
        return "プロパティの値が不正です｡";
    }
  }
  return kUnexpectedErrorText;
}

ErrorReport MakeErrorReport(ErrorCode code, std::string where) {
  ErrorReport report;
  report.code = code;
  report.text = std::string(ErrorMessageText(code)) + "\r\n" + where;
  report.where = std::move(where);
  if (code.listed) {
    report.title = kStopTitle;
  } else {
    // A number is written with its sign position: a blank for zero and positive numbers.
    const std::string sign = code.number < 0 ? "-" : " ";
    const int magnitude = code.number < 0 ? -code.number : code.number;
    report.title = "エラー番号は" + sign + std::to_string(magnitude) + "です。";
  }
  return report;
}

ErrorReport MakeBusyReport(std::string logPath) {
  ErrorReport report;
  report.code = kPathFileAccessError;
  report.text = std::string(kBusyText) + "\r\n" + logPath;
  report.where = std::move(logPath);
  report.title = kStopTitle;
  return report;
}

ErrorReport MakeNoCaptureReaderReport(ErrorCode code) {
  ErrorReport report;
  report.code = code;
  report.text = std::string(kNoCaptureReaderText);
  report.title = kStopTitle;
  return report;
}

ErrorReport MakeNotPrivateReport(std::string path) {
  ErrorReport report;
  report.code = kPathFileAccessError;
  report.text = std::string(kNotPrivateText) + "\r\n" + path;
  report.detail = "refused: other users may change " + path;
  report.where = std::move(path);
  report.title = kStopTitle;
  return report;
}

std::string Reason(const ErrorCode& code) {
  std::string reason = DescribeError(code);
  if (reason.empty()) reason = "error " + std::to_string(code.number);
  return reason;
}

ErrorReport MakeFailureReport(ErrorCode code, std::string where, const std::string& what) {
  ErrorReport report = MakeErrorReport(code, std::move(where));
  report.detail = what + ": " + Reason(code);
  return report;
}

}  // namespace tokiren
