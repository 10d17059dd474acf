// A view that records what the window's behaviour tells it and answers the folder picker.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/behaviour/preview.h"
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
  void ShowProgress(std::uint64_t done, std::uint64_t total, bool cancellable) override {
    progress.push_back({done, total});
    progressOpen = true;
    progressCancellable = cancellable;
    if (onProgress) onProgress();
  }
  bool ProgressCancelled() override { return cancelPressed; }
  void HideProgress() override { progressOpen = false; }
  void Close() override { ++closes; }
  void ShowPreview(const Preview& preview) override {
    PreviewSeen seen{preview.folder(), preview.Heading(), {}};
    for (std::size_t row = 0; row < preview.size(); ++row) {
      std::vector<std::string> cells;
      for (int column = 0; column < Preview::kColumns; ++column) {
        cells.push_back(preview.Cell(row, column));
      }
      seen.rows.push_back(cells);
    }
    previews.push_back(seen);
  }

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
  bool progressCancellable = false;
  std::function<void()> onProgress;
  bool cancelPressed = false;
  struct PreviewSeen {
    std::string folder, heading;
    std::vector<std::vector<std::string>> rows;
  };
  std::vector<PreviewSeen> previews;
  int closes = 0;
};

}  // namespace tokiren::behaviour::testing
