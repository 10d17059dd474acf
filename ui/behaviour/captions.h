// Every caption and tool tip of the window, and the progress display's text, for every toolkit.
#pragma once

namespace tokiren::behaviour {

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
inline constexpr char kCompanionsCaption[] = "Companions";
inline constexpr char kShiftCaption[] = "Shift";
inline constexpr char kKeepFolderCaption[] = "Keep Folder Name";
inline constexpr char kRunCaption[] = "RUN";
inline constexpr char kBackCaption[] = "<<";
inline constexpr char kResetCaption[] = "Reset";
inline constexpr char kAddCaption[] = "<<<";
inline constexpr char kRemoveCaption[] = "Remove";  // List1's context menu
inline constexpr char kPreviewCaption[] = "Preview";
inline constexpr char kCancelCaption[] = "キャンセル";  // the progress display of a preview
inline constexpr char kCloseCaption[] = "閉じる";       // the preview's dialog
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
inline constexpr char kTipCompanions[] =
    "チェックすると、同じフォルダで最後のドットまでの名前が同じファイル（IMG_0001.CR2、"
    "IMG_0001.JPG、IMG_0001.xmp など）と、名前全体のあとに拡張子を足したサイドカー"
    "（IMG_0001.JPG.xmp）を、ひとつの時刻の名前で一緒に変更します。";
inline constexpr char kTipShift[] =
    "カメラの時計のずれを、すべての時刻に足してから名前を付けます（ファイルそのものは変わりま"
    "せん）。「+1:00:00」「-0:03:20」「+2d 0:00:00」のように書きます。空欄ならずらしません。";
inline constexpr char kTipPreview[] =
    "何も変更せずに、実行したときに付く名前とそのままになるファイルを一覧で確かめます。";

// The progress display. What RUN, Reset and the settings files say lives in
// ui/behaviour/strings.h.
inline constexpr char kRunning[] = "処理中です…";

}  // namespace tokiren::behaviour
