// The command line's arguments and its output streams, the same on every system.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tokiren {

// Sets the standard streams up for UTF-8 text and returns the program's arguments after its name,
// as UTF-8. Windows: the arguments come from the wide command line (GetCommandLineW), so names in
// any script arrive whole, and `argv` goes unused; stdout and stderr are put in binary mode, so
// line ends pass unchanged, as on POSIX.
std::vector<std::string> StartConsole(int argc, char** argv);

// Writes UTF-8 `text` to `stream` (stdout or stderr), bytes unchanged. Windows: to a console as
// UTF-16 (WriteConsoleW), so Japanese shows whatever the console's code page; redirected to a file
// or a pipe, the UTF-8 bytes as they are.
void WriteText(std::FILE* stream, std::string_view text);

// `text` as it is shown on this system's terminal, nothing in it acting on the terminal (see
// cli/terminal_text.h): POSIX, EscapeForTerminal; Windows, EscapeForWindowsConsole, which leaves
// the path separator as it is.
std::string ShownOnTerminal(std::string_view text);

}  // namespace tokiren
