// The program's console: its arguments, its output streams, and whether they go to a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tokiren {

// Sets the standard streams up for UTF-8 text and returns the program's arguments after its name,
// as UTF-8. POSIX: `argv` as it is. Windows: the arguments come from the wide command line
// (GetCommandLineW), so names in any script arrive whole, and `argv` goes unused; stdout and
// stderr are put in binary mode, so line ends pass unchanged, as on POSIX.
std::vector<std::string> StartConsole(int argc, char** argv);

// Writes UTF-8 `text` to `stream` (stdout or stderr), bytes unchanged. Windows: to a console as
// UTF-16 (WriteConsoleW), so Japanese shows whatever the console's code page; redirected to a file
// or a pipe, the UTF-8 bytes as they are.
void WriteText(std::FILE* stream, std::string_view text);

// Whether `stream` (open) writes to a terminal, where a name must be escaped before it is shown
// (see EscapeForTerminal). False for a file, a pipe or a socket, which keep the exact bytes.
// POSIX: isatty on the stream's descriptor. Windows: a console (GetConsoleMode on the stream's
// handle). Costs a system call: ask once per stream, not per line.
bool IsTerminal(std::FILE* stream);

}  // namespace tokiren
