// UTF-8 paths and text turned into UTF-16 for the wide (W) system calls, and back: the one
// conversion of the program, for every layer that calls Windows. Windows only (defined in
// platform/win32/).
#pragma once

#include <string>
#include <string_view>

namespace tokiren {

// UTF-16 of UTF-8 text; invalid bytes become U+FFFD.
std::wstring Widen(std::string_view text);

// UTF-8 of UTF-16 text; unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view text);

// The one place where a path becomes what a wide system call takes: UTF-16 with "/" turned into
// "\". A path too long for the plain form is made absolute (resolving "." and "..") and given the
// "\\?\" form ("\\?\UNC\" for a network path), so the system takes it up to its own limit.
std::wstring WidenPath(std::string_view path);

// A path from the system as the program holds it: UTF-8, without a "\\?\" prefix.
std::string NarrowPath(std::wstring_view path);

}  // namespace tokiren
