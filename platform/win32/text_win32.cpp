// Text in the system's ANSI code page. Win32 only.
#include <windows.h>

#include "platform/text.h"
#include "platform/wide_path.h"

namespace tokiren {

std::string TextFromSystemCodePage(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::string(bytes);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
  return Narrow(wide);
}

}  // namespace tokiren
