// The system's dialogs.
#include "ui/win32/dialogs.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/wide_path.h"
#include "ui/win32/preview_window.h"
#include "ui/win32/title_bar.h"

namespace tokiren::ui::win32 {
namespace {

// The folder the browser opens with selected: its item-id list, and its path.
struct Start {
  PIDLIST_ABSOLUTE item;
  std::wstring path;
};

// Opens the browser with the starting folder selected. It is selected by its path: Wine's browser
// finds a deep folder by its path, but not by its item-id list (Windows takes either). The
// item-id list is still made first: without it, Wine's browser finds neither.
int CALLBACK BrowseCallbackProc(HWND browser, UINT message, LPARAM, LPARAM data) {
  const auto* start = reinterpret_cast<const Start*>(data);
  if (message == BFFM_INITIALIZED && start->item) {
    SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start->path.c_str()));
  }
  return 0;
}

// The file-system path of an item-id list; "" for an item that has none (a printer, the Control
// Panel). Paths longer than MAX_PATH come whole.
std::wstring PathOf(PCIDLIST_ABSOLUTE item) {
  std::vector<wchar_t> path(32768);
  if (SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return path.data();
  }
  std::vector<wchar_t> shortPath(MAX_PATH);
  if (SHGetPathFromIDListW(item, shortPath.data())) return shortPath.data();
  return {};
}

// Shows message boxes with their whole title: the system sizes a box after its text alone. The
// box is widened once it has laid itself out.
LRESULT CALLBACK MessageBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
  if (message == WM_INITDIALOG) {
    const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
    WidenForTitle(box);
    return result;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, MessageBoxProc, 0);
  return DefSubclassProc(box, message, wParam, lParam);
}

LRESULT CALLBACK WatchForMessageBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    // The box's own window, of the dialog class; not its controls.
    if (create->lpcs->lpszClass == MAKEINTATOM(32770) ||
        (!IS_INTRESOURCE(create->lpcs->lpszClass) &&
         wcscmp(create->lpcs->lpszClass, L"#32770") == 0)) {
      SetWindowSubclass(reinterpret_cast<HWND>(wParam), MessageBoxProc, 0, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Every lone CR made a CR LF: a lone CR is no line end to a message box.
std::string WithLineEnds(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines += '\n';
  }
  return lines;
}

// The task dialog of common controls 6, which the program's manifest asks for; null where only
// an older version is at hand (it has none).
using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
TaskDialogIndirectFunction TaskDialogOfCommonControls() {
  static const TaskDialogIndirectFunction function = [] {
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    return controls ? reinterpret_cast<TaskDialogIndirectFunction>(
                          reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")))
                    : nullptr;
  }();
  return function;
}

// A message with details: a task dialog whose expandable part holds them. False where there is
// no task dialog.
bool ShowTaskDialog(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                    const std::string& text, const std::string& details) {
  const TaskDialogIndirectFunction taskDialog = TaskDialogOfCommonControls();
  if (!taskDialog) return false;
  const std::wstring wideTitle = Widen(title), content = Widen(WithLineEnds(text)),
                     expanded = Widen(WithLineEnds(details));
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = wideTitle.c_str();
  config.pszMainIcon =
      icon == behaviour::MessageIcon::kWarning ? TD_WARNING_ICON : TD_INFORMATION_ICON;
  config.pszContent = content.c_str();
  config.pszExpandedInformation = expanded.c_str();
  return SUCCEEDED(taskDialog(&config, nullptr, nullptr, nullptr));
}

}  // namespace

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SystemDialogs::ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                                const std::string& text, const std::string& details) {
  if (!details.empty() && ShowTaskDialog(owner, icon, title, text, details)) return;
  // Without a task dialog the details follow the text, after an empty line.
  const std::string lines =
      WithLineEnds(details.empty() ? text : text + "\r\n\r\n" + details);
  const UINT type = MB_OK | (icon == behaviour::MessageIcon::kWarning ? MB_ICONWARNING
                                                                      : MB_ICONINFORMATION);
  HHOOK hook = SetWindowsHookExW(WH_CBT, WatchForMessageBox, nullptr, GetCurrentThreadId());
  MessageBoxW(owner, Widen(lines).c_str(), Widen(title).c_str(), type);
  if (hook) UnhookWindowsHookEx(hook);
}

std::string SystemDialogs::ChooseFolder(HWND owner, const std::string& start) {
  Start startFolder{nullptr, Widen(start)};
  if (!start.empty()) startFolder.item = ILCreateFromPathW(startFolder.path.c_str());
  const std::wstring title = Widen(behaviour::kBrowseTitle);
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.lpszTitle = title.c_str();
  request.ulFlags = 0;
  request.lpfn = BrowseCallbackProc;
  request.lParam = reinterpret_cast<LPARAM>(&startFolder);
  std::wstring chosen;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&request)) {
    chosen = PathOf(item);
    CoTaskMemFree(item);
  }
  CoTaskMemFree(startFolder.item);
  // A zip file shows as a folder in the browser; the run could not enter it.
  if (chosen.empty() || !IsFolder(chosen)) return {};
  return NarrowPath(chosen);
}

void SystemDialogs::ShowPreview(HWND owner, const behaviour::Preview& preview) {
  PreviewWindow window(owner, preview);
  window.RunModal();
}

}  // namespace tokiren::ui::win32
