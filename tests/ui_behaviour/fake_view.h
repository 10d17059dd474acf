// A view that records what the window's behaviour tells it and answers the folder picker.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/behaviour/view.h"

namespace tokiren::behaviour::testing {

class FakeView : public View {
 public:
  struct Message {
    MessageIcon icon;
    std::string title;
    std::string text;
    std::string details;
  };

  void ShowPanel(Panel shown) override { panel = shown; }
  void InsertExtension(int row, const std::string& text) override {
    list.insert(list.begin() + row, text);
  }
  void RemoveExtension(int row) override { list.erase(list.begin() + row); }
  void SelectTypedExtension() override { ++typedSelections; }
  void SetFolderButtonEnabled(bool enabled) override { folderButtonEnabled = enabled; }
  void SetFolderLabel(const std::string& path) override { folderLabel = path; }
  void ShowMessage(MessageIcon icon, const std::string& title, const std::string& text,
                   const std::string& details) override {
    messages.push_back({icon, title, text, details});
    if (onMessage) onMessage();
  }
  std::string ChooseFolder(const std::string& start) override {
    starts.push_back(start);
    return answer;
  }
  void ShowProgress(std::uint64_t done, std::uint64_t total) override {
    progress.push_back({done, total});
    progressOpen = true;
  }
  void HideProgress() override { progressOpen = false; }
  void Close() override { ++closes; }

  // Panel kRunning stands for "nothing shown yet" until the behaviour shows a panel.
  Panel panel = Panel::kRunning;
  std::vector<std::string> list;
  int typedSelections = 0;
  bool folderButtonEnabled = true;
  std::string folderLabel;
  std::vector<Message> messages;
  std::function<void()> onMessage;
  std::vector<std::string> starts;
  std::string answer;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
  bool progressOpen = false;
  int closes = 0;
};

}  // namespace tokiren::behaviour::testing
