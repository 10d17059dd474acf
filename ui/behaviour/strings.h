// Every message the window's behaviour shows; "%1" stands for a number (see WithNumber).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tokiren::behaviour {

inline constexpr char kFinished[] = "処理を終了しました。";
// Added to the finished message of a run an error stopped (its own box came first): the run did not
// go on, and how many files it had renamed by then.
inline constexpr char kStoppedAfter[] =
    "エラーのため途中で止めました。それまでに %1 個のファイルの名前を変更しました。";
// After the first failure of a Reset: how many more lines could not be restored.
inline constexpr char kMoreResetFailures[] = "ほかに %1 行を元に戻せませんでした。";
// Added to the finished message: files left alone because their time could not be read.
inline constexpr char kUnreadableTimes[] = "時刻を読めなかった %1 個のファイルはそのままにしました。";
// Added to the finished message of a "Taken" run: files without a capture time in their metadata.
inline constexpr char kNotTaken[] =
    "撮影日時のなかった %1 個のファイルは、更新日時で名前を付けました。";
// Added to a Reset's message: lines whose file was at neither name, kept for a later Reset.
inline constexpr char kResetNotFound[] =
    "見つからなかった %1 個のファイルは、あとでもとにもどせるようにログに残しました。";
// The finished message's last line: how many files had each outcome that occurred, in this order,
// joined by kCountsJoin and ended by kCountsEnd.
inline constexpr char kCountRenamed[] = "名前を変更 %1 個";
inline constexpr char kCountAlreadyNamed[] = "すでにその名前 %1 個";
inline constexpr char kCountNameTaken[] = "名前が使われていてそのまま %1 個";
inline constexpr char kCountUnreadable[] = "時刻を読めずそのまま %1 個";
inline constexpr char kCountNotOnOneLine[] = "パスに改行があってそのまま %1 個";
inline constexpr char kCountWithGroup[] = "組のほかのファイルに合わせてそのまま %1 個";
inline constexpr char kCountsJoin[] = "、";
inline constexpr char kCountsEnd[] = "。";
// Why a file was left alone or named otherwise than asked: in a message's details, after the
// file's path, and in the preview's last column.
inline constexpr char kWhyAlreadyNamed[] = "すでにその名前です";
inline constexpr char kWhyNameTaken[] = "その名前はほかのファイルが使っています";
inline constexpr char kWhyUnreadable[] = "時刻を読めません";
inline constexpr char kWhyChanged[] = "時刻を読んだあとで変わりました";
inline constexpr char kWhyNotOnOneLine[] = "パスに改行があります";
inline constexpr char kWhyWithGroup[] = "同じ組のほかのファイルの名前を変えられません";
inline constexpr char kWhyNoCaptureTime[] = "撮影日時がないので更新日時で名前を付けます";
// A Reset's log line whose file is at neither name: its new name, then its former one.
inline constexpr char kWhyNotFound[] = "見つかりません（もとの名前 %1）";
// Between a path and why, and before the system's own words.
inline constexpr char kWhySeparator[] = "： ";
// The last line of details that had more lines than a message shows.
inline constexpr char kMoreDetails[] = "ほかに %1 件あります。";
// The preview: its title, the columns, and what RUN does afterwards.
inline constexpr char kPreviewTitle[] = "プレビュー";
inline constexpr char kPreviewFolderColumn[] = "フォルダ";
inline constexpr char kPreviewNameColumn[] = "名前";
inline constexpr char kPreviewNewNameColumn[] = "新しい名前";
inline constexpr char kPreviewNoteColumn[] = "備考";
inline constexpr char kPreviewRunAgain[] =
    "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。";
// The chosen folder itself, in the preview's folder column.
inline constexpr char kPreviewTopFolder[] = ".";
// The preview's heading: the clock's offset ("+1:00:00"), and the groups of companions, whose
// members the name column joins by the marks below.
inline constexpr char kPreviewShift[] = "時計のずれ %1 を足した時刻で名前を付けます。";
inline constexpr char kPreviewGroups[] =
    "名前の前を ┌ ├ └ でつないだファイルは一組で、一緒に名前を変えるか、一緒にそのままにします"
    "（%1 組）。";
inline constexpr char kPreviewFirstMember[] = "┌ ";
inline constexpr char kPreviewMemberBetween[] = "├ ";
inline constexpr char kPreviewLastMember[] = "└ ";
// An extension refused by "<<<": the box's text stays for the user to mend.
inline constexpr char kExtensionTitle[] = "拡張子";
inline constexpr char kExtensionEmpty[] = "拡張子を入力してください。";
inline constexpr char kExtensionForbidden[] =
    "拡張子には \\ / : * ? \" < > | と制御文字は使えません。";
inline constexpr char kExtensionTooLong[] =
    "拡張子が長すぎます。ドットを含めて %1 バイトまでにしてください。";
// Text in the Shift box that is not an offset: nothing is run or planned.
inline constexpr char kShiftTitle[] = "時計のずれ";
inline constexpr char kShiftNotAnOffset[] =
    "「%1」は時計のずれとして読めません。「+1:00:00」「-0:03:20」「+2d 0:00:00」のように、"
    "時:分:秒（分と秒は 00 から 59）で書き、必要なら前に符号と日数を付けてください。"
    "名前は何も変更していません。";
inline constexpr char kSettingsTitle[] = "設定ファイル";
inline constexpr char kSettingsReadFailed[] = "設定ファイルを読み込めませんでした。";
inline constexpr char kSettingsWriteFailed[] = "設定ファイルを保存できませんでした。";

// The line end inside a message; a view turns it into its toolkit's own.
inline constexpr char kLineEnd[] = "\r\n";

// `text` with its "%1" replaced by `number`.
inline std::string WithNumber(std::string_view text, std::uint64_t number) {
  std::string filled(text);
  const std::size_t at = filled.find("%1");
  if (at != std::string::npos) filled.replace(at, 2, std::to_string(number));
  return filled;
}

// `text` with its "%1" replaced by `value`.
inline std::string WithText(std::string_view text, std::string_view value) {
  const std::size_t at = text.find("%1");
  if (at == std::string_view::npos) return std::string(text);
  std::string filled(text.substr(0, at));
  filled.append(value).append(text.substr(at + 2));
  return filled;
}

}  // namespace tokiren::behaviour
