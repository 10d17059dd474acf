// Test helpers on Windows: local times by the process's zone, the way the platform layer reads
// them.
#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_tree.h"

namespace tokiren::testing {
namespace {

// 100-nanosecond intervals between 1601-01-01 (FILETIME) and 1970-01-01 (time_t).
constexpr long long kEpochDifference = 116444736000000000LL;
constexpr long long kIntervalsPerSecond = 10000000LL;

}  // namespace

// The "\\?\" form: a test may build folders past MAX_PATH inside the tree.
std::filesystem::path WholeTreePath(const std::string& utf8) {
  return std::filesystem::path(u8"\\\\?\\" + std::u8string(utf8.begin(), utf8.end()));
}

std::time_t LocalTimestamp(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = static_cast<WORD>(month);
  local.wDay = static_cast<WORD>(day);
  local.wHour = static_cast<WORD>(hour);
  local.wMinute = static_cast<WORD>(minute);
  local.wSecond = static_cast<WORD>(second);
  TIME_ZONE_INFORMATION zone{};
  SYSTEMTIME utc{};
  FILETIME time{};
  if (!GetTimeZoneInformationForYear(local.wYear, nullptr, &zone) ||
      !TzSpecificLocalTimeToSystemTime(&zone, &local, &utc) || !SystemTimeToFileTime(&utc, &time)) {
    return -1;
  }
  const long long intervals =
      (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::time_t>((intervals - kEpochDifference) / kIntervalsPerSecond);
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  wchar_t old[256];
  const DWORD length = GetEnvironmentVariableW(L"TZ", old, 256);
  hadZone_ = length > 0 && length < 256;
  if (hadZone_) oldZone_.assign(old, old + length);  // zone names are ASCII
  SetEnvironmentVariableW(L"TZ", std::wstring(zone, zone + std::char_traits<char>::length(zone)).c_str());
}

ScopedTimeZone::~ScopedTimeZone() {
  SetEnvironmentVariableW(
      L"TZ", hadZone_ ? std::wstring(oldZone_.begin(), oldZone_.end()).c_str() : nullptr);
}

}  // namespace tokiren::testing
