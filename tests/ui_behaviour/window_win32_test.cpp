// The window's behaviour on Windows: settings files another program holds open, and drive roots.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_tree.h"
#include "tests/ui_behaviour/fake_view.h"
#include "ui/behaviour/window.h"

namespace tokiren::behaviour {
namespace {

using tokiren::testing::TempTree;
using testing::FakeView;

// A file held open without sharing, as another program may hold it: no one else opens it meanwhile.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path)
      : handle_(CreateFileW(std::filesystem::path(std::u8string(path.begin(), path.end())).c_str(),
                            GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~HeldFile() {
    if (held()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(Win32WindowBehaviourTest, TellsOnceForEachSettingsFileThatCannotBeRead) {
  TempTree tree;
  const std::string list = tree.Write("app/tokiren", ".JPG\r\n");
  const std::string kept = tree.Write("app/tokirenfolder", "C:\\kept\\\r\n");
  const HeldFile heldList(list), heldKept(kept);
  ASSERT_TRUE(heldList.held() && heldKept.held());
  FakeView view;
  Window window(view, tree / "app/");
  window.Start();
  window.AddClicked("png");  // not saved over the held file; the list file was told about already
  const auto readFailure = [](const std::string& path) {
    return "設定ファイルを読み込めませんでした。\r\n" + path + "\r\n";
  };
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(view.messages[0].title, "設定ファイル");
  EXPECT_EQ(view.messages[0].text.rfind(readFailure(list), 0), 0u) << view.messages[0].text;
  EXPECT_EQ(view.messages[1].text.rfind(readFailure(kept), 0), 0u) << view.messages[1].text;
  EXPECT_EQ(view.list, (std::vector<std::string>{".*", ".PNG"}));
  EXPECT_TRUE(window.DefaultPath.empty());
  EXPECT_EQ(view.panel, Panel::kStart);
}

TEST(Win32UnqualifyPathTest, DropsOneTrailingSeparatorButNotADrivesRoot) {
  EXPECT_EQ(UnqualifyPath("D:\\photos\\"), "D:\\photos");
  EXPECT_EQ(UnqualifyPath("D:\\photos"), "D:\\photos");
  EXPECT_EQ(UnqualifyPath("D:\\photos\\\\"), "D:\\photos\\");
  EXPECT_EQ(UnqualifyPath("D:\\"), "D:\\");  // "D:" alone would be the drive's current folder
  EXPECT_EQ(UnqualifyPath("\\\\server\\share\\"), "\\\\server\\share");
  EXPECT_EQ(UnqualifyPath(""), "");
}

}  // namespace
}  // namespace tokiren::behaviour
