// The text of the program's own files: UTF-8, and what older programs wrote instead.
#pragma once

#include <string>
#include <string_view>

namespace tokiren {

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Text written by an older program in the system's own code page, as UTF-8. The program writes
// UTF-8 only; callers use this for bytes that are not valid UTF-8. Windows: the ANSI code page
// (CP_ACP, e.g. 932 on a Japanese system). POSIX: no such code page; the bytes come back unchanged.
std::string TextFromSystemCodePage(std::string_view bytes);

}  // namespace tokiren
