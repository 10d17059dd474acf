// Whether output goes to a terminal.
#pragma once

#include <cstdio>

namespace tokiren {

// Whether `stream` (open) writes to a terminal, where a name must be escaped before it is shown
// (see EscapeForTerminal). False for a file, a pipe or a socket, which keep the exact bytes.
// POSIX: isatty on the stream's descriptor. Windows: a console (GetConsoleMode on the stream's
// handle). Costs a system call: ask once per stream, not per line.
bool IsTerminal(std::FILE* stream);

}  // namespace tokiren
