#include "ui/behaviour/window.h"

#include <gtest/gtest.h>

#include "tests/support/fake_capture_times.h"
#include "tests/support/temp_tree.h"
#include "tests/ui_behaviour/fake_view.h"
#include "ui/behaviour/shift.h"

namespace tokiren::behaviour {
namespace {

using tokiren::testing::LocalTimestamp;
using tokiren::testing::ScopedTimeZone;
using tokiren::testing::TempTree;
using testing::FakeView;

class WindowBehaviourTest : public ::testing::Test {
 protected:
  // A started window whose program folder is "app/" of the temporary tree.
  std::unique_ptr<Window> Open(CaptureTimeReaderMaker makeCaptureTimes = nullptr) {
    auto window = std::make_unique<Window>(view_, tree_.MakeFolder("app"), makeCaptureTimes);
    window->Start();
    return window;
  }
  static void Check(Window& window, const std::string& entry) {
    const std::vector<ExtensionEntry>& list = window.List1();
    for (size_t row = 0; row < list.size(); ++row) {
      if (list[row].text == entry) return window.ExtensionChecked(static_cast<int>(row), true);
    }
    FAIL() << entry << " is not listed";
  }
  // Chooses `folder` of the tree with the folder picker.
  void Choose(Window& window, const std::string& folder) {
    view_.answer = tree_ / folder;
    window.FolderClicked();
  }

  TempTree tree_;
  FakeView view_;
};

TEST_F(WindowBehaviourTest, StartsOnTheStartPanelWithTheFolderButtonDisabled) {
  const auto window = Open();
  EXPECT_EQ(view_.panel, Panel::kStart);
  EXPECT_FALSE(view_.folderButtonEnabled);
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*"}));
  EXPECT_EQ(window->AppPath, tree_ / "app/");
  EXPECT_TRUE(window->DefaultPath.empty());
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(WindowBehaviourTest, StartsWithTheSavedListAfterAllFilesAndTheKeptFolder) {
  tree_.Write("app/tokiren", ".TXT\r\n.AVI,.JPG\r\n.avi\r\n");
  tree_.Write("app/tokirenfolder", "/kept/photos/\r\n");
  const auto window = Open();
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*", ".AVI", ".avi", ".JPG", ".TXT"}));
  EXPECT_EQ(window->List1().size(), view_.list.size());
  EXPECT_EQ(window->DefaultPath, "/kept/photos/");
}

TEST_F(WindowBehaviourTest, OptionsShowsTheOptionsPanelAndSetTheStartPanel) {
  const auto window = Open();
  window->OptionsClicked();
  EXPECT_EQ(view_.panel, Panel::kOptions);
  window->SetClicked();
  EXPECT_EQ(view_.panel, Panel::kStart);
}

TEST_F(WindowBehaviourTest, BackLeavesTheRunningPanelForTheStartPanel) {
  const auto window = Open();
  Choose(*window, "");
  EXPECT_EQ(view_.panel, Panel::kRunning);
  window->BackClicked();
  EXPECT_EQ(view_.panel, Panel::kStart);
}

TEST_F(WindowBehaviourTest, AddsWhatWasTypedOnceAndSelectsItForTheNextEntry) {
  const auto window = Open();
  for (const char* typed : {"jpg", " .Mov ", "*.png", ".jpg", "JPG", ".*", "*.*"}) {
    window->AddClicked(typed);
  }
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*", ".JPG", ".MOV", ".PNG"}));
  EXPECT_EQ(window->List1().size(), view_.list.size());
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.typedSelections, 7);
}

TEST_F(WindowBehaviourTest, RefusesAnEntryNoFileNameCouldEndWithAndSaysWhy) {
  const auto window = Open();
  const std::string forbidden = "拡張子には \\ / : * ? \" < > | と制御文字は使えません。";
  const struct {
    std::string typed;
    std::string text;
  } cases[] = {
      {"", "拡張子を入力してください。"},
      {"  ", "拡張子を入力してください。"},
      {".", "拡張子を入力してください。"},
      {"*jpg", forbidden},
      {"a/b", forbidden},
      {"jp\tg", forbidden},
      {std::string(300, 'a'), "拡張子が長すぎます。ドットを含めて 255 バイトまでにしてください。"},
  };
  for (const auto& c : cases) {
    view_.messages.clear();
    const int selections = view_.typedSelections;
    window->AddClicked(c.typed);
    ASSERT_EQ(view_.messages.size(), 1u) << c.typed;
    EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(view_.messages[0].title, "拡張子");
    EXPECT_EQ(view_.messages[0].text, c.text) << c.typed;
    EXPECT_EQ(view_.typedSelections, selections + 1) << c.typed;
  }
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*"}));
  EXPECT_FALSE(tree_.Exists("app/tokiren"));
}

TEST_F(WindowBehaviourTest, RemovesAnyEntryButAllFilesAndSavesTheListLeft) {
  const auto window = Open();
  for (const char* typed : {"jpg", "png", "txt"}) window->AddClicked(typed);
  Check(*window, ".PNG");
  EXPECT_TRUE(view_.folderButtonEnabled);
  EXPECT_FALSE(window->MayRemoveExtension(0));  // ".*"
  EXPECT_TRUE(window->MayRemoveExtension(3));
  EXPECT_FALSE(window->MayRemoveExtension(4));
  EXPECT_FALSE(window->MayRemoveExtension(-1));

  window->RemoveClicked(2);
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*", ".JPG", ".TXT"}));
  EXPECT_EQ(window->List1().size(), view_.list.size());
  EXPECT_EQ(tree_.Read("app/tokiren"), ".JPG\r\n.TXT\r\n");
  EXPECT_FALSE(view_.folderButtonEnabled);  // the checked entry is gone

  for (const int row : {0, 3, -1}) window->RemoveClicked(row);
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*", ".JPG", ".TXT"}));
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(WindowBehaviourTest, SavesEveryEntryButAllFilesAfterEachAddition) {
  const auto window = Open();
  window->AddClicked("txt");
  EXPECT_EQ(tree_.Read("app/tokiren"), ".TXT\r\n");
  window->AddClicked("avi");
  EXPECT_EQ(tree_.Read("app/tokiren"), ".AVI\r\n.TXT\r\n");
  const std::vector<std::string> shown = view_.list;
  FakeView again;
  Window restarted(again, tree_ / "app/");
  restarted.Start();
  EXPECT_EQ(again.list, shown);
}

TEST_F(WindowBehaviourTest, TellsOnceWhenTheListCannotBeSaved) {
  const auto window = Open();
  tree_.Write("app/tokiren/blocker");
  window->AddClicked("jpg");
  window->AddClicked("png");
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(view_.messages[0].title, "設定ファイル");
  EXPECT_EQ(view_.messages[0].text.rfind("設定ファイルを保存できませんでした。\r\n" +
                                             tree_ / "app/tokiren\r\n", 0), 0u);
  EXPECT_EQ(view_.list, (std::vector<std::string>{".*", ".JPG", ".PNG"}));
}

TEST_F(WindowBehaviourTest, TheFolderButtonFollowsTheCheckMarks) {
  const auto window = Open();
  window->AddClicked("jpg");
  window->ExtensionChecked(1, true);
  EXPECT_TRUE(view_.folderButtonEnabled);
  window->ExtensionChecked(0, true);
  window->ExtensionChecked(1, false);
  EXPECT_TRUE(view_.folderButtonEnabled);
  window->ExtensionChecked(0, false);
  EXPECT_FALSE(view_.folderButtonEnabled);
  EXPECT_FALSE(window->List1()[0].checked);
}

TEST_F(WindowBehaviourTest, OpensThePickerAtTheKeptFolderWithoutItsTrailingSeparator) {
  tree_.Write("app/tokirenfolder", tree_ / "kept/photos/\r\n");
  const auto window = Open();
  window->FolderClicked();
  EXPECT_EQ(view_.starts, (std::vector<std::string>{tree_ / "kept/photos"}));
}

TEST_F(WindowBehaviourTest, ACancelledPickerKeepsTheStartPanel) {
  const auto window = Open();
  Choose(*window, "");
  view_.answer.clear();
  window->BackClicked();
  window->FolderClicked();
  EXPECT_TRUE(window->SelectedPath.empty());
  EXPECT_EQ(view_.panel, Panel::kStart);
}

TEST_F(WindowBehaviourTest, AppendsTheSeparatorToTheChosenFolderAndShowsIt) {
  const auto window = Open();
  Choose(*window, "photos");
  EXPECT_EQ(window->SelectedPath, tree_ / "photos/");
  EXPECT_EQ(view_.folderLabel, tree_ / "photos/");
  EXPECT_EQ(view_.panel, Panel::kRunning);
  view_.answer = tree_ / "photos/";
  window->FolderClicked();
  EXPECT_EQ(window->SelectedPath, tree_ / "photos/");
}

TEST(FirstDroppedFolderTest, TakesTheFirstItemOnlyAndOnlyAFolder) {
  const DroppedItem folder{"/one", true}, other{"/two", true}, file{"/file.jpg", false},
      remote{"", false};
  EXPECT_EQ(FirstDroppedFolder({folder, file}), "/one");
  EXPECT_EQ(FirstDroppedFolder({other, folder}), "/two");
  EXPECT_EQ(FirstDroppedFolder({file, folder}), "");
  EXPECT_EQ(FirstDroppedFolder({remote, folder}), "");
  EXPECT_EQ(FirstDroppedFolder({}), "");
}

TEST_F(WindowBehaviourTest, ADropChoosesTheFirstItemWhenItIsAFolder) {
  const auto window = Open();
  const std::string one = tree_.MakeFolder("one"), two = tree_.MakeFolder("two");
  window->FolderDropped({{tree_ / "file.jpg", false}, {one, true}});
  EXPECT_TRUE(window->SelectedPath.empty());
  EXPECT_EQ(view_.panel, Panel::kStart);
  window->FolderDropped({{two, true}, {one, true}});
  EXPECT_EQ(window->SelectedPath, two + kPathSeparator);
  EXPECT_EQ(view_.folderLabel, two + kPathSeparator);
  EXPECT_EQ(view_.panel, Panel::kRunning);
}

TEST_F(WindowBehaviourTest, ARefusedDropKeepsTheChosenFolder) {
  const auto window = Open();
  Choose(*window, "photos");
  window->FolderDropped({{"", false}});
  EXPECT_EQ(window->SelectedPath, tree_ / "photos/");
}

TEST_F(WindowBehaviourTest, KeepFolderNameSavesTheFolderAndStartsThePickerThere) {
  const auto window = Open();
  Choose(*window, "photos");
  window->KeepFolderClicked();
  EXPECT_EQ(tree_.Read("app/tokirenfolder"), tree_ / "photos/\r\n");
  EXPECT_EQ(window->DefaultPath, tree_ / "photos/");
  window->FolderClicked();
  EXPECT_EQ(view_.starts.back(), tree_ / "photos");
}

TEST_F(WindowBehaviourTest, KeepFolderNameTellsWhenTheFileCannotBeSaved) {
  const auto window = Open();
  Choose(*window, "photos");
  tree_.Write("app/tokirenfolder/blocker");
  window->KeepFolderClicked();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].text.rfind("設定ファイルを保存できませんでした。\r\n" +
                                             tree_ / "app/tokirenfolder\r\n", 0), 0u);
}

TEST(RunOptionsFromTest, TakesTheRunsOptionsFromTheOptionControls) {
  const std::vector<ExtensionEntry> list{{".*", false}, {".JPG", true}};
  const std::optional<RunOptions> start = RunOptionsFrom(OptionControls{}, list);
  ASSERT_TRUE(start);
  EXPECT_FALSE(start->separator);
  EXPECT_TRUE(start->countUp);
  EXPECT_EQ(start->timeSource, TimeSource::kLastWrite);
  EXPECT_FALSE(start->companions);
  EXPECT_EQ(start->clockShift, 0);
  EXPECT_EQ(start->extensions, list);
  const std::optional<RunOptions> changed =
      RunOptionsFrom({.CheckSep = true, .Check1 = false, .Option2 = true, .Check2 = true}, {});
  ASSERT_TRUE(changed);
  EXPECT_TRUE(changed->separator);
  EXPECT_FALSE(changed->countUp);
  EXPECT_EQ(changed->timeSource, TimeSource::kCreation);
  EXPECT_TRUE(changed->companions);
  EXPECT_EQ(RunOptionsFrom({.Option3 = true}, {})->timeSource, TimeSource::kTaken);
}

// Shift as typed, in ASCII or as a Japanese input method types it; empty is no shift.
TEST(RunOptionsFromTest, ReadsShiftAsAnOffsetOrRefusesIt) {
  const struct {
    const char* typed;
    std::optional<std::int64_t> shift;
  } cases[] = {
      {"", 0},
      {"   ", 0},
      {"\xE3\x80\x80", 0},  // an ideographic space
      {"+1:00:00", 3600},
      {"-0:03:20", -200},
      {"+2d 0:00:00", 172800},
      {" 0:00:05 ", 5},
      {"\xEF\xBC\x8B\xEF\xBC\x91\xEF\xBC\x9A\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x9A"
       "\xEF\xBC\x90\xEF\xBC\x90",  // "＋１：００：００"
       3600},
      {"\xE2\x88\x92\x30:03:20", -200},  // the minus sign
      {"\xEF\xBC\x8B\x32\xEF\xBD\x84\xE3\x80\x80\x30:00:00", 172800},  // "＋2ｄ　0:00:00"
      {"1 hour", std::nullopt},
      {"+1:60:00", std::nullopt},
      {"+1:00", std::nullopt},
      {"+1:00:00:00", std::nullopt},
      {"\xEF\xBC\x8B", std::nullopt},  // "＋" alone
      {"\xEF\xBC", std::nullopt},       // a character cut short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    const std::optional<RunOptions> options = RunOptionsFrom({.Text2 = c.typed}, {});
    ASSERT_EQ(options.has_value(), c.shift.has_value());
    if (options) {
      EXPECT_EQ(options->clockShift, *c.shift);
    }
    EXPECT_EQ(ShiftFromTyped(c.typed), c.shift);
  }
}

TEST(ShiftTextTest, WritesAnOffsetAsItIsTypedAndReadsBackTheSame) {
  const struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "+0:00:00"},
      {3600, "+1:00:00"},
      {-200, "-0:03:20"},
      {172800, "+2d 0:00:00"},
      {90061, "+1d 1:01:01"},
      {-90061, "-1d 1:01:01"},
      {86399, "+23:59:59"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShiftText(c.seconds), c.text);
    EXPECT_EQ(ShiftFromTyped(c.text), c.seconds) << c.text;
  }
}

TEST(FinishedMessageTest, AddsALineForAStopForEachKindOfFileLeftOtherwiseAndTheCounts) {
  const std::string stopped =
      "\r\nエラーのため途中で止めました。それまでに 4 個のファイルの名前を変更しました。";
  const std::string notTaken = "\r\n撮影日時のなかった 2 個のファイルは、更新日時で名前を付けました。";
  const std::string unreadable = "\r\n時刻を読めなかった 3 個のファイルはそのままにしました。";
  const std::string counts = "\r\n名前を変更 4 個。";
  const std::string countsUnreadable = "\r\n名前を変更 4 個、時刻を読めずそのまま 3 個。";
  const struct {
    std::uint64_t notTaken, unreadable;
    ErrorCode error;
    std::string expected;
  } cases[] = {
      {0, 0, kSuccess, counts},
      {2, 0, kSuccess, notTaken + counts},
      {2, 3, kSuccess, notTaken + unreadable + countsUnreadable},
      {0, 3, kSuccess, unreadable + countsUnreadable},
      {0, 0, kFileAlreadyExists, stopped + counts},
      {2, 3, kDiskFull, stopped + notTaken + unreadable + countsUnreadable},
      {0, 0, ErrorCode::Unlisted(70), stopped + counts},
  };
  for (const auto& c : cases) {
    RunSummary summary;
    summary.renamed = 4;
    summary.notTaken = c.notTaken;
    summary.unreadable = c.unreadable;
    summary.error = c.error;
    EXPECT_EQ(FinishedMessage(summary), "処理を終了しました。" + c.expected)
        << c.notTaken << " " << c.unreadable << " " << c.error.number;
  }
}

TEST_F(WindowBehaviourTest, RunRenamesThenSaysItFinishedAndShowsTheStartPanel) {
  ScopedTimeZone zone("UTC");
  tree_.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  tree_.Write("photos/b.png", "b", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  const auto window = Open();
  window->AddClicked("jpg");
  Check(*window, ".JPG");
  Choose(*window, "photos");
  window->RunClicked({.CheckSep = true});
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(view_.messages[0].title, "");
  EXPECT_EQ(view_.messages[0].text, "処理を終了しました。\r\n名前を変更 1 個。");
  EXPECT_EQ(view_.messages[0].details, "");
  EXPECT_EQ(view_.panel, Panel::kStart);
  EXPECT_FALSE(view_.progressOpen);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"2016_0830_124842.JPG", "b.png"}));
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),
            tree_ / "photos/a.jpg as " + tree_ / "photos/2016_0830_124842.JPG\r\n");
}

// The files left alone are told by name in the details, with why; those that have their name
// already only in the counts.
TEST_F(WindowBehaviourTest, RunListsTheFilesLeftAloneInTheDetails) {
  ScopedTimeZone zone("UTC");
  const auto time = LocalTimestamp(2016, 8, 30, 12, 48, 42);
  tree_.Write("photos/a.jpg", "a", time);
  tree_.Write("photos/b.jpg", "b", time);
  tree_.Write("photos/20160830124842.JPG", "named", time);
  const auto window = Open();
  window->AddClicked("jpg");
  Check(*window, ".JPG");
  Choose(*window, "photos");
  window->RunClicked({.Check1 = false});
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].text,
            "処理を終了しました。\r\nすでにその名前 1 個、名前が使われていてそのまま 2 個。");
  EXPECT_EQ(view_.messages[0].details,
            tree_ / "photos/a.jpg： その名前はほかのファイルが使っています\r\n" + tree_ /
                "photos/b.jpg： その名前はほかのファイルが使っています");
}

TEST_F(WindowBehaviourTest, RunShowsItsErrorThenTheFinishedMessage) {
  const auto window = Open();
  Check(*window, ".*");
  Choose(*window, "gone");  // not there
  window->RunClicked({});
  ASSERT_EQ(view_.messages.size(), 2u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_NE(view_.messages[0].text.find(tree_ / "gone/"), std::string::npos)
      << view_.messages[0].text;
  EXPECT_EQ(view_.messages[1].text,
            "処理を終了しました。\r\n"
            "エラーのため途中で止めました。それまでに 0 個のファイルの名前を変更しました。");
  EXPECT_EQ(view_.panel, Panel::kStart);
}

TEST_F(WindowBehaviourTest, TakenRunsReadCaptureTimesThroughTheReaderGiven) {
  ScopedTimeZone zone("UTC");
  tree_.Write("photos/a.jpg", "a", LocalTimestamp(2016, 8, 30, 12, 48, 42));
  int made = 0;
  const auto window = Open([&made]() -> std::unique_ptr<CaptureTimeReader> {
    ++made;
    return std::make_unique<tokiren::testing::FakeCaptureTimes>(
        [](const FileTimes&) { return CapturedMoment{{2001, 2, 3, 4, 5, 6}, false, {}}; });
  });
  window->AddClicked("jpg");
  Check(*window, ".JPG");
  Choose(*window, "photos");
  window->RunClicked({});
  EXPECT_EQ(made, 0);  // not for last-write times
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
  window->ResetClicked();
  Choose(*window, "photos");
  window->RunClicked({.Option3 = true});
  EXPECT_EQ(made, 1);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20010203040506.JPG"}));
}

TEST_F(WindowBehaviourTest, OffersTakenOnlyWhenGivenACaptureTimeReader) {
  EXPECT_FALSE(Open()->OffersTaken());
  EXPECT_TRUE(Open([] { return std::unique_ptr<CaptureTimeReader>(); })->OffersTaken());
}

TEST_F(WindowBehaviourTest, ResetWithoutALogSaysNothing) {
  const auto window = Open();
  window->ResetClicked();
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.panel, Panel::kStart);
}

TEST_F(WindowBehaviourTest, ResetThatRestoresEverythingSaysNothing) {
  const std::string p = tree_.MakeFolder("photos") + kPathSeparator;
  tree_.Write("photos/1.JPG", "renamed");
  tree_.Write("app/tokiren_log.txt", p + "a.jpg as " + p + "1.JPG\r\n");
  const auto window = Open();
  window->ResetClicked();
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(WindowBehaviourTest, ResetShowsTheFirstFailureHowManyMoreAndTheFilesNotFound) {
  const std::string p = tree_.MakeFolder("photos") + kPathSeparator;
  std::string log;
  // Names apart in more than case, for case-insensitive file systems.
  for (const std::string name : {"a", "b", "c"}) {
    tree_.Write("photos/" + name + ".jpg", "taken");
    tree_.Write("photos/" + name + "1.JPG", "renamed");
    log += p + name + ".jpg as " + p + name + "1.JPG\r\n";
  }
  log += p + "d.jpg as " + p + "d1.JPG\r\n";  // at neither name
  tree_.Write("app/tokiren_log.txt", log);
  const auto window = Open();
  window->ResetClicked();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(view_.messages[0].title, "処理を中止します。");
  // The table's message with the paths, the system's words on the line below, then the rest.
  const std::string& text = view_.messages[0].text;
  const std::string head = "同名のファイルが存在します。\r\n" + p + "c.jpg\r" + p +
                           "c1.JPG\r\ncannot rename " + p + "c1.JPG back to " + p + "c.jpg: ";
  const std::string tail =
      "\r\nほかに 2 行を元に戻せませんでした。\r\n見つからなかった 1 "
      "個のファイルは、あとでもとにもどせるようにログに残しました。";
  ASSERT_TRUE(text.starts_with(head)) << text;
  ASSERT_TRUE(text.ends_with(tail)) << text;
  const std::string words = text.substr(head.size(), text.size() - head.size() - tail.size());
  EXPECT_FALSE(words.empty());
  EXPECT_EQ(words.find_first_of("\r\n"), std::string::npos) << words;
}

TEST_F(WindowBehaviourTest, ResetShowsTheFilesNotFoundAloneWhenNothingFailed) {
  const std::string p = tree_.MakeFolder("photos") + kPathSeparator;
  tree_.Write("photos/1.JPG", "renamed");
  tree_.Write("app/tokiren_log.txt", p + "a.jpg as " + p + "1.JPG\r\n" + p + "b.jpg as " + p +
                                         "2.JPG\r\n" + p + "c.jpg as " + p + "3.JPG\r\n");
  const auto window = Open();
  window->ResetClicked();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(view_.messages[0].title, "");
  EXPECT_EQ(view_.messages[0].text,
            "見つからなかった 2 個のファイルは、あとでもとにもどせるようにログに残しました。");
  // The last rename first, as Reset goes.
  EXPECT_EQ(view_.messages[0].details, p + "3.JPG： 見つかりません（もとの名前 " + p +
                                           "c.jpg）\r\n" + p + "2.JPG： 見つかりません（もとの名前 " +
                                           p + "b.jpg）");
}

TEST_F(WindowBehaviourTest, MayCloseWhenIdle) {
  const auto window = Open();
  EXPECT_TRUE(window->MayClose());
  EXPECT_EQ(view_.closes, 0);
}

TEST_F(WindowBehaviourTest, AWindowClosedDuringARunClosesWhenTheRunEnds) {
  const auto window = Open();
  Check(*window, ".*");
  Choose(*window, "gone");
  bool mayClose = true;
  view_.onMessage = [&] {  // the user closes the window while the run's error is shown
    if (view_.messages.size() == 1) mayClose = window->MayClose();
  };
  window->RunClicked({});
  EXPECT_FALSE(mayClose);
  EXPECT_EQ(view_.messages.size(), 2u);  // the run went to its end first
  EXPECT_EQ(view_.closes, 1);
}

TEST_F(WindowBehaviourTest, AWindowClosedDuringAResetClosesWhenTheResetEnds) {
  const std::string p = tree_.MakeFolder("photos") + kPathSeparator;
  tree_.Write("app/tokiren_log.txt", p + "a.jpg as " + p + "1.JPG\r\n");  // not found
  const auto window = Open();
  bool mayClose = true;
  view_.onMessage = [&] { mayClose = window->MayClose(); };
  window->ResetClicked();  // its box is shown before the Reset ends
  EXPECT_EQ(view_.messages.size(), 1u);
  EXPECT_FALSE(mayClose);
  EXPECT_EQ(view_.closes, 1);
}

TEST(WindowBehaviourRootTest, ARootChosenAndKeptGetsNoSecondSeparator) {
#ifdef _WIN32
  const std::string root = "D:\\";
#else
  const std::string root = "/";
#endif
  TempTree tree;
  FakeView view;
  Window window(view, tree.MakeFolder("app"));
  window.Start();
  view.answer = root;
  window.FolderClicked();
  EXPECT_EQ(window.SelectedPath, root);
  EXPECT_EQ(view.folderLabel, root);
  window.KeepFolderClicked();
  EXPECT_EQ(tree.Read("app/tokirenfolder"), root + "\r\n");
  window.FolderClicked();
  EXPECT_EQ(view.starts.back(), root);
}

}  // namespace
}  // namespace tokiren::behaviour

namespace tokiren::behaviour {
namespace {

class WindowPreviewTest : public ::testing::Test {
 protected:
  // Three files of one second in "photos": one named already, two that want its name.
  std::unique_ptr<Window> OpenOnPhotos() {
    const auto time = LocalTimestamp(2016, 8, 30, 12, 48, 42);
    tree_.Write("photos/a.jpg", "a", time);
    tree_.Write("photos/20160830124842.JPG", "named", time);
    tree_.Write("photos/trip/b.jpg", "b", time);
    auto window = std::make_unique<Window>(view_, tree_.MakeFolder("app"));
    window->Start();
    window->AddClicked("jpg");
    window->ExtensionChecked(1, true);  // .JPG, after .*
    view_.answer = tree_ / "photos";
    window->FolderClicked();
    return window;
  }

  ScopedTimeZone zone_{"UTC"};
  TempTree tree_;
  FakeView view_;
};

TEST_F(WindowPreviewTest, ListsEveryFileWithItsPlannedNameTouchingNothing) {
  const auto window = OpenOnPhotos();
  window->PreviewClicked({.Check1 = false});
  ASSERT_EQ(view_.previews.size(), 1u);
  const FakeView::PreviewSeen& seen = view_.previews[0];
  EXPECT_EQ(seen.folder, tree_ / "photos/");
  using Row = std::vector<std::string>;
  EXPECT_EQ(seen.rows, (std::vector<Row>{
                           {".", "20160830124842.JPG", "", "すでにその名前です"},
                           {".", "a.jpg", "", "その名前はほかのファイルが使っています"},
                           {"trip", "b.jpg", "20160830124842.JPG", ""},
                       }));
  EXPECT_EQ(seen.heading,
            "名前を変更 1 個、すでにその名前 1 個、名前が使われていてそのまま 1 個。\r\n"
            "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。");
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.panel, Panel::kRunning);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "a.jpg", "trip"}));
  EXPECT_EQ(tree_.Names("photos/trip"), (std::vector<std::string>{"b.jpg"}));
  EXPECT_EQ(tree_.Names("app"), (std::vector<std::string>{"tokiren"}));  // the list; no log
}

// RUN plans again: what it does is what a preview at that moment shows, even after the tree has
// changed since an earlier preview.
TEST_F(WindowPreviewTest, RunDoesWhatAPreviewAtThatMomentShows) {
  const auto window = OpenOnPhotos();
  window->PreviewClicked({});
  tree_.Write("photos/c.jpg", "c", LocalTimestamp(2016, 8, 30, 12, 48, 43));
  window->PreviewClicked({});
  ASSERT_EQ(view_.previews.size(), 2u);
  window->RunClicked({});
  std::vector<std::string> planned;
  for (const auto& row : view_.previews[1].rows) {
    planned.push_back(row[0] + "/" + (row[2].empty() ? row[1] : row[2]));
  }
  std::vector<std::string> after;
  for (const std::string& name : tree_.Names("photos")) {
    if (name != "trip") after.push_back("./" + name);
  }
  for (const std::string& name : tree_.Names("photos/trip")) after.push_back("trip/" + name);
  std::sort(planned.begin(), planned.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, planned);
  EXPECT_EQ(planned.size(), 4u);
}

TEST_F(WindowPreviewTest, TheProgressDisplayOffersToCancelAndACancelledPlanShowsNothing) {
  const auto window = OpenOnPhotos();
  window->progressDelay = std::chrono::milliseconds(0);
  view_.onProgress = [this] { view_.cancelPressed = true; };
  window->PreviewClicked({});
  EXPECT_TRUE(view_.progressCancellable);
  EXPECT_FALSE(view_.progressOpen);
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_TRUE(view_.messages.empty());

  view_.cancelPressed = false;
  view_.onProgress = nullptr;
  window->RunClicked({});  // a run goes to its end
  EXPECT_FALSE(view_.progressCancellable);
}

TEST_F(WindowPreviewTest, AWindowClosedDuringAPlanEndsItAndCloses) {
  const auto window = OpenOnPhotos();
  window->progressDelay = std::chrono::milliseconds(0);
  bool mayClose = true;
  view_.onProgress = [&] { mayClose = window->MayClose(); };
  window->PreviewClicked({});
  EXPECT_FALSE(mayClose);
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_EQ(view_.closes, 1);
}

// Shift that is not an offset: a message saying how to write one, and neither a run nor a plan.
TEST_F(WindowPreviewTest, ShiftThatIsNotAnOffsetIsRefusedAndNothingIsRenamedOrPlanned) {
  const auto window = OpenOnPhotos();
  window->progressDelay = std::chrono::milliseconds(0);
  const std::string expected =
      "「+1 hour」は時計のずれとして読めません。「+1:00:00」「-0:03:20」「+2d 0:00:00」のように、"
      "時:分:秒（分と秒は 00 から 59）で書き、必要なら前に符号と日数を付けてください。"
      "名前は何も変更していません。";
  window->RunClicked({.Text2 = "+1 hour"});
  window->PreviewClicked({.Text2 = "+1 hour"});
  ASSERT_EQ(view_.messages.size(), 2u);
  for (const FakeView::Message& message : view_.messages) {
    EXPECT_EQ(message.icon, MessageIcon::kWarning);
    EXPECT_EQ(message.title, "時計のずれ");
    EXPECT_EQ(message.text, expected);
    EXPECT_EQ(message.details, "");
  }
  EXPECT_TRUE(view_.previews.empty());
  EXPECT_TRUE(view_.progress.empty());
  EXPECT_EQ(view_.panel, Panel::kRunning);  // the folder stays chosen
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "a.jpg", "trip"}));
  EXPECT_EQ(tree_.Names("app"), (std::vector<std::string>{"tokiren"}));  // no log
  EXPECT_TRUE(window->MayClose());  // nothing is running
}

TEST_F(WindowPreviewTest, ShiftMovesEveryNameByTheOffsetThePreviewSayingSo) {
  const auto window = OpenOnPhotos();
  window->PreviewClicked({.Text2 = " -0:03:20"});
  ASSERT_EQ(view_.previews.size(), 1u);
  using Row = std::vector<std::string>;
  EXPECT_EQ(view_.previews[0].rows, (std::vector<Row>{
                                        {".", "20160830124842.JPG", "20160830124522.JPG", ""},
                                        {".", "a.jpg", "20160830124523.JPG", ""},
                                        {"trip", "b.jpg", "20160830124522.JPG", ""},
                                    }));
  EXPECT_EQ(view_.previews[0].heading,
            "名前を変更 3 個。\r\n時計のずれ -0:03:20 を足した時刻で名前を付けます。\r\n"
            "RUN はその時点でもう一度計画し、そのときのプレビューが示すとおりに名前を変更します。");
  window->RunClicked({.Text2 = "-0:03:20"});
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124522.JPG", "20160830124523.JPG", "trip"}));
  EXPECT_EQ(tree_.Names("photos/trip"), (std::vector<std::string>{"20160830124522.JPG"}));
}

TEST_F(WindowPreviewTest, AnErrorIsShownInsteadOfAPreview) {
  const auto window = OpenOnPhotos();
  window->SelectedPath = tree_ / "gone/";
  window->PreviewClicked({});
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
  EXPECT_TRUE(view_.previews.empty());
}

}  // namespace
}  // namespace tokiren::behaviour
