// The window's dialogs behind an interface, so that tests can answer them: message boxes and the
// folder browser.
#pragma once

#include <windows.h>

#include <string>

#include "ui/behaviour/view.h"

namespace tokiren::ui::win32 {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message box owned by `owner`, with an OK button. `text` has CR LF line ends.
  virtual void ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                           const std::string& text) = 0;
  // The folder browser owned by `owner`, opened with `start` selected; the chosen folder, or ""
  // when the user cancels or picks something that is not a folder of the file system.
  virtual std::string ChooseFolder(HWND owner, const std::string& start) = 0;
};

// Whether `path` is a folder of the file system: what the folder browser and a drop may choose.
bool IsFolder(const std::wstring& path);

// The system's own: MessageBoxW and SHBrowseForFolderW. The browser needs COM on the thread.
class SystemDialogs final : public Dialogs {
 public:
  void ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                   const std::string& text) override;
  std::string ChooseFolder(HWND owner, const std::string& start) override;
};

}  // namespace tokiren::ui::win32
