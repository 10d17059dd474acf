// The command line's arguments and its two output streams, the same on every system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tokiren {

enum class Stream { kOut, kErr };

// The program's arguments after its name, as UTF-8. Windows: from the wide command line
// (GetCommandLineW), so names in any script arrive whole; `argv` goes unused there.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Writes UTF-8 `text` to the stream, bytes unchanged (no line-end translation). Windows: to a
// console as UTF-16 (WriteConsoleW), so Japanese shows in any console code page; redirected, the
// UTF-8 bytes as they are.
void Write(Stream stream, std::string_view text);

}  // namespace tokiren
