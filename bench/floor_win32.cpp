// The floor on Windows: the least a rename run or an undo must do, as plain Win32 calls, to
// measure the program against under Wine (or on Windows). It lists each folder once, takes each
// matching file's last-write time from the listing, formats the local stamp, decides the new name
// against the listing (no existence test), writes the log and flushes it before each group of
// 4,096 renames, and renames without replacing (MoveFileExW) by full paths.
//
//   tokiren-floor run ROOT LOG    rename every *.jpg below ROOT (not hidden), logging to LOG
//   tokiren-floor undo LOG        rename back from LOG, last line first
//
// The log holds one "old\tnew" line a rename, in UTF-8.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::size_t kGroup = 4096;

std::string Utf8(const std::wstring& wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

std::wstring Wide(const std::string& text) {
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

bool IsJpg(const std::wstring& name) {
  return name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".jpg") == 0;
}

std::wstring StampOf(const FILETIME& written) {
  SYSTEMTIME utc, local;
  FileTimeToSystemTime(&written, &utc);
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"%04u%02u%02u%02u%02u%02u", local.wYear, local.wMonth, local.wDay,
                local.wHour, local.wMinute, local.wSecond);
  return stamp;
}

struct Rename {
  std::wstring from, to;
};

// Lists `folder` and below, deciding each *.jpg's new name against its folder's listing.
void Plan(const std::wstring& folder, std::vector<Rename>* renames) {
  std::vector<std::wstring> folders;
  std::vector<std::pair<std::wstring, FILETIME>> files;
  std::unordered_set<std::wstring> taken;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
    std::wstring upper = name;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    taken.insert(upper);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      folders.push_back(name);
    } else if (IsJpg(name)) {
      files.emplace_back(name, data.ftLastWriteTime);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const auto& [name, written] : files) {
    const std::wstring stamp = StampOf(written);
    std::wstring to = stamp + L".JPG";
    for (int n = 1; taken.count(to) != 0; ++n) to = stamp + L"_" + std::to_wstring(n) + L".JPG";
    taken.insert(to);
    renames->push_back({folder + L"\\" + name, folder + L"\\" + to});
  }
  for (const std::wstring& name : folders) Plan(folder + L"\\" + name, renames);
}

int RunFloor(const std::wstring& root, const std::wstring& logPath) {
  std::vector<Rename> renames;
  Plan(root, &renames);
  HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  std::size_t renamed = 0;
  for (std::size_t begin = 0; begin < renames.size(); begin += kGroup) {
    const std::size_t end = std::min(renames.size(), begin + kGroup);
    std::string lines;
    for (std::size_t k = begin; k < end; ++k) {
      lines += Utf8(renames[k].from) + "\t" + Utf8(renames[k].to) + "\n";
    }
    DWORD written = 0;
    if (!WriteFile(log, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) ||
        !FlushFileBuffers(log)) {
      return 1;
    }
    for (std::size_t k = begin; k < end; ++k) {
      renamed += MoveFileExW(renames[k].from.c_str(), renames[k].to.c_str(), 0) ? 1 : 0;
    }
  }
  CloseHandle(log);
  std::printf("%zu renamed\n", renamed);
  return renamed == renames.size() ? 0 : 1;
}

int UndoFloor(const std::wstring& logPath) {
  HANDLE log = CreateFileW(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  std::string text;
  char buffer[65536];
  for (DWORD got = 0; ReadFile(log, buffer, sizeof buffer, &got, nullptr) && got > 0;) {
    text.append(buffer, got);
  }
  CloseHandle(log);
  std::vector<Rename> renames;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::size_t tab = text.find('\t', start);
    renames.push_back({Wide(text.substr(start, tab - start)),
                       Wide(text.substr(tab + 1, end - tab - 1))});
  }
  std::size_t restored = 0;
  for (auto line = renames.rbegin(); line != renames.rend(); ++line) {
    restored += MoveFileExW(line->to.c_str(), line->from.c_str(), 0) ? 1 : 0;
  }
  std::printf("%zu restored\n", restored);
  return restored == renames.size() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"run") == 0) return RunFloor(argv[2], argv[3]);
  if (argc == 3 && std::wcscmp(argv[1], L"undo") == 0) return UndoFloor(argv[2]);
  std::fprintf(stderr, "usage: tokiren-floor run ROOT LOG | undo LOG\n");
  return 2;
}
