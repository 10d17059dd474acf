#include "ui/behaviour/run_reports.h"

#include <gtest/gtest.h>

#include <optional>

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

// The display opens after the delay, busy while files are collected, shows a new phase at once
// and otherwise the latest report at most every 200 ms, between the engine's reports too.
TEST(RunReportsTest, ShowsProgressByTimeAfterTheDelayBusyWhileCollecting) {
  using namespace std::chrono_literals;
  using Shown = std::pair<std::uint64_t, std::uint64_t>;
  constexpr std::optional<Phase> kTick;
  const struct {
    std::chrono::milliseconds later;
    std::optional<Phase> phase;  // none: a tick
    std::uint64_t done, total;
    std::optional<Shown> shown;
  } steps[] = {
      {0ms, kTick, 0, 0, {}},
      {100ms, Phase::kCollecting, 4096, 0, {}},  // before the delay
      {300ms, kTick, 0, 0, Shown{0, 0}},         // the delay has passed: busy
      {50ms, kTick, 0, 0, {}},
      {200ms, kTick, 0, 0, Shown{0, 0}},  // shown again, so it moves and repaints
      {10ms, Phase::kRenaming, 4096, 30000, Shown{4096, 30000}},  // a new phase: at once
      {10ms, Phase::kRenaming, 8192, 30000, {}},
      {100ms, kTick, 0, 0, {}},
      {100ms, kTick, 0, 0, Shown{8192, 30000}},  // the latest report
      {300ms, Phase::kRenaming, 5, 0, Shown{0, 0}},
      {0ms, Phase::kResetting, 4096, 65536, Shown{4096, 65536}},  // bytes of the log
  };
  std::chrono::steady_clock::time_point now;
  FakeView view;
  RunReports reports(view, RunReports::Errors::kShowEach, kProgressDelay, [&now] { return now; });
  std::vector<Shown> expected;
  int step = 0;
  for (const auto& s : steps) {
    now += s.later;
    if (s.phase) {
      reports.Progress(*s.phase, s.done, s.total);
    } else {
      reports.Tick();
    }
    if (s.shown) expected.push_back(*s.shown);
    EXPECT_EQ(view.progress, expected) << "step " << step++;
  }
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
