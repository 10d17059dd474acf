// The window's dialogs behind an interface, so that tests can answer them: message boxes and the
// folder browser.
#pragma once

#include <windows.h>

#include <string>

#include "ui/behaviour/preview.h"
#include "ui/behaviour/view.h"

namespace tokiren::ui::win32 {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal message box owned by `owner`, with an OK button. `text` and `details` have CR LF
  // line ends; `details`, unless empty, is a part the user may open.
  virtual void ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                           const std::string& text, const std::string& details) = 0;
  // The folder browser owned by `owner`, opened with `start` selected; the chosen folder, or ""
  // when the user cancels or picks something that is not a folder of the file system.
  virtual std::string ChooseFolder(HWND owner, const std::string& start) = 0;
  // The preview's window over `owner` (PreviewWindow), until the user closes it.
  virtual void ShowPreview(HWND owner, const behaviour::Preview& preview) = 0;
};

// Whether `path` is a folder of the file system: what the folder browser and a drop may choose.
bool IsFolder(const std::wstring& path);

// The system's own: MessageBoxW (a task dialog, with its expandable part, for a message with
// details) and SHBrowseForFolderW. The browser needs COM on the thread.
class SystemDialogs final : public Dialogs {
 public:
  void ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                   const std::string& text, const std::string& details) override;
  std::string ChooseFolder(HWND owner, const std::string& start) override;
  void ShowPreview(HWND owner, const behaviour::Preview& preview) override;
};

}  // namespace tokiren::ui::win32
