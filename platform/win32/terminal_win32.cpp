// Terminal detection on Windows: a console. Win32 only.
#include <windows.h>
#include <io.h>

#include "platform/terminal.h"

namespace tokiren {

bool IsTerminal(std::FILE* stream) {
  const int fd = _fileno(stream);
  if (fd < 0) return false;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  DWORD mode;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace tokiren
