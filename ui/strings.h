// Every caption, tool tip and message the window shows.
#pragma once

namespace tokiren::ui {

inline constexpr char kWindowCaption[] = "Change Tokiren Ver 3.0";
inline constexpr char kBrowseTitle[] = "Select Folder";

// Captions.
inline constexpr char kOptionsCaption[] = "Options";
inline constexpr char kSetCaption[] = "set";
inline constexpr char kSeparatorCaption[] = "separater";
inline constexpr char kCountUpCaption[] = "Same > +1";
inline constexpr char kLastWriteCaption[] = "LastWrite";
inline constexpr char kCreationCaption[] = "Creation";
inline constexpr char kTakenCaption[] = "Taken";
inline constexpr char kKeepFolderCaption[] = "Keep Folder Name";
inline constexpr char kRunCaption[] = "RUN";
inline constexpr char kBackCaption[] = "<<";
inline constexpr char kResetCaption[] = "Reset";
inline constexpr char kAddCaption[] = "<<<";
inline constexpr char kSelectFolderCaption[] = "Drag/Push to Select Folder";
inline constexpr char kNotice[] = "タイムスタンプでファイル名を変更します。";

// Tool tips.
inline constexpr char kTipCountUp[] =
    "チェックすると、同一ファイル名が存在した場合にファイル名の番号に＋１します。";  // T1
inline constexpr char kTipKeepFolder[] = "上のフォルダを次回選択時のデフォルトとして記録します。";  // T2
inline constexpr char kTipRun[] = "処理を実行します。";                                       // T3
inline constexpr char kTipBack[] = "フォルダの選択に戻ります。";                              // T4
inline constexpr char kTipFolder[] = "実行対象となっているフォルダ名です。";                  // T5
inline constexpr char kTipReset[] = "直前の変更をもとにもどします。";                         // T6
inline constexpr char kTipOptions[] = "オプションを設定します。";                             // T7
inline constexpr char kTipList[] = "名前を変更するファイルの拡張子を指定します。";            // T8
inline constexpr char kTipAdd[] = "下の拡張子をリストに加えます。";                           // T9
inline constexpr char kTipSelectFolder[] =
    "フォルダ名をドロップするかフォルダ選択の画面に移動します。します。";  // T10
inline constexpr char kTipNewExtension[] = "リストに加える拡張子を入力します。";  // T11
inline constexpr char kTipTaken[] = "写真や動画が撮影された日時を使います。";

// Messages.
inline constexpr char kFinished[] = "処理を終了しました。";
inline constexpr char kRunning[] = "処理中です…";
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
inline constexpr char kSettingsTitle[] = "設定ファイル";
inline constexpr char kSettingsReadFailed[] = "設定ファイルを読み込めませんでした。";
inline constexpr char kSettingsWriteFailed[] = "設定ファイルを保存できませんでした。";

}  // namespace tokiren::ui
