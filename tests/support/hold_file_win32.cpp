// tokiren-hold-file PATH SECONDS: holds PATH open, sharing only reading, for SECONDS, the way a
// running program keeps its executable from being replaced; prints "held" once it holds it. For
// the installer's check in scripts/build-windows.sh. Win32 only.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: tokiren-hold-file PATH SECONDS\n", stderr);
    return 2;
  }
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "tokiren-hold-file: cannot open the file (error %lu)\n", GetLastError());
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
  CloseHandle(file);
  return 0;
}
