// The window's behaviour on POSIX: settings files another user keeps from us, and the root "/".
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_tree.h"
#include "tests/ui_behaviour/fake_view.h"
#include "ui/behaviour/window.h"

namespace tokiren::behaviour {
namespace {

using tokiren::testing::TempTree;
using testing::FakeView;

TEST(PosixWindowBehaviourTest, TellsOnceForEachSettingsFileThatCannotBeRead) {
  TempTree tree;
  const std::string list = tree.Write("app/tokiren", ".JPG\r\n");
  const std::string kept = tree.Write("app/tokirenfolder", "/kept/\r\n");
  for (const std::string& file : {list, kept}) ASSERT_EQ(chmod(file.c_str(), 0), 0);
  ASSERT_EQ(chmod(tree.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((tree / "app").c_str(), 0777), 0);
  const auto readFailure = [](const std::string& path) {
    return "設定ファイルを読み込めませんでした。\r\n" + path + "\r\n";
  };
  const int status = tokiren::testing::RunUnprivileged([&] {
    FakeView view;
    Window window(view, tree / "app/");
    window.Start();
    window.AddClicked("png");  // saved: the list file was told about already
    return view.messages.size() == 2 && view.messages[0].icon == MessageIcon::kWarning &&
           view.messages[0].title == "設定ファイル" &&
           view.messages[0].text.rfind(readFailure(list), 0) == 0 &&
           view.messages[1].text.rfind(readFailure(kept), 0) == 0 &&
           view.list == std::vector<std::string>{".*", ".PNG"} && window.DefaultPath.empty() &&
           view.panel == Panel::kStart;
  });
  EXPECT_EQ(status, 0);
}

TEST(PosixUnqualifyPathTest, DropsOneTrailingSeparatorButNotTheRoot) {
  EXPECT_EQ(UnqualifyPath("/photos/"), "/photos");
  EXPECT_EQ(UnqualifyPath("/photos"), "/photos");
  EXPECT_EQ(UnqualifyPath("/photos//"), "/photos/");
  EXPECT_EQ(UnqualifyPath("/"), "/");
  EXPECT_EQ(UnqualifyPath(""), "");
}

}  // namespace
}  // namespace tokiren::behaviour
