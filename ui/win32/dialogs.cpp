// The system's dialogs.
#include "ui/win32/dialogs.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

#include "ui/behaviour/captions.h"
#include "ui/behaviour/wide_path.h"
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

}  // namespace

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SystemDialogs::ShowMessage(HWND owner, behaviour::MessageIcon icon, const std::string& title,
                                const std::string& text) {
  // A lone CR is no line end to a message box.
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    lines += text[i];
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) lines += '\n';
  }
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

}  // namespace tokiren::ui::win32
