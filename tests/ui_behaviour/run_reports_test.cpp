#include "ui/behaviour/run_reports.h"

#include <gtest/gtest.h>

#include "tests/ui_behaviour/fake_view.h"

namespace tokiren::behaviour {
namespace {

using Phase = EngineSink::Phase;
using testing::FakeView;

ErrorReport Report(const std::string& text) {
  ErrorReport report;
  report.title = "処理を中止します。";
  report.text = text;
  return report;
}

TEST(RunReportsTest, ShowsNoProgressBeforeTheDelay) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowEach, std::chrono::hours(1));
  reports.Progress(Phase::kRenaming, 1, 2);
  reports.Finish();
  EXPECT_TRUE(view.progress.empty());
}

TEST(RunReportsTest, ShowsProgressAfterTheDelayBusyWhileCollecting) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowEach, std::chrono::milliseconds(0));
  reports.Progress(Phase::kCollecting, 30, 0);
  reports.Progress(Phase::kRenaming, 10, 40);
  reports.Progress(Phase::kRenaming, 5, 0);
  reports.Progress(Phase::kResetting, 4096, 65536);  // bytes of the log
  using Shown = std::pair<std::uint64_t, std::uint64_t>;
  EXPECT_EQ(view.progress, (std::vector<Shown>{{0, 0}, {10, 40}, {0, 0}, {4096, 65536}}));
  EXPECT_TRUE(view.progressOpen);
  reports.Finish();
  EXPECT_FALSE(view.progressOpen);
}

TEST(RunReportsTest, ClosesTheProgressDisplayWhenItGoes) {
  FakeView view;
  {
    RunReports reports(view, RunReports::Errors::kShowEach, std::chrono::milliseconds(0));
    reports.Progress(Phase::kRenaming, 1, 2);
  }
  EXPECT_FALSE(view.progressOpen);
}

TEST(RunReportsTest, ARunShowsEachErrorAsItComes) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowEach);
  reports.ShowError(Report("one"));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(view.messages[0].title, "処理を中止します。");
  EXPECT_EQ(view.messages[0].text, "one");
  reports.Finish();
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST(RunReportsTest, AResetShowsTheFirstFailureWithHowManyMoreAndTheNote) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowFirstOnly);
  reports.ShowError(Report("first"));
  reports.ShowError(Report("second"));
  reports.ShowError(Report("third"));
  EXPECT_TRUE(view.messages.empty());
  reports.Finish("note");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(view.messages[0].title, "処理を中止します。");
  EXPECT_EQ(view.messages[0].text, "first\r\nほかに 2 行を元に戻せませんでした。\r\nnote");
}

TEST(RunReportsTest, AResetWithOneFailureSaysNoMore) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowFirstOnly);
  reports.ShowError(Report("first"));
  reports.Finish();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "first");
}

TEST(RunReportsTest, ShowsTheSystemsOwnWordsBelowTheMessageWhenItSaidAny) {
  using enum RunReports::Errors;
  const struct {
    RunReports::Errors errors;
    std::string detail;
    std::string note;
    std::string shown;
  } cases[] = {
      {kShowEach, "Permission denied", "", "message\r\n/p/a.jpg\r\nPermission denied"},
      {kShowEach, "", "", "message\r\n/p/a.jpg"},
      {kShowFirstOnly, "cannot list the folder /p/: Permission denied", "note",
       "message\r\n/p/a.jpg\r\ncannot list the folder /p/: Permission denied\r\nnote"},
      {kShowFirstOnly, "", "note", "message\r\n/p/a.jpg\r\nnote"},
  };
  for (const auto& c : cases) {
    FakeView view;
    RunReports reports(view, c.errors);
    ErrorReport report = Report("message\r\n/p/a.jpg");
    report.detail = c.detail;
    reports.ShowError(report);
    reports.Finish(c.note);
    ASSERT_EQ(view.messages.size(), 1u) << c.detail;
    EXPECT_EQ(view.messages[0].text, c.shown);
  }
}

TEST(RunReportsTest, ANoteAloneGetsAnInformationBox) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowFirstOnly);
  reports.Finish("note");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(view.messages[0].title, "");
  EXPECT_EQ(view.messages[0].text, "note");
}

TEST(RunReportsTest, NothingToSayShowsNothing) {
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowFirstOnly);
  reports.Finish();
  EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace tokiren::behaviour
