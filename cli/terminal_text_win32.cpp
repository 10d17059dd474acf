// Text on a Windows console. Win32 only.
#include "cli/terminal_text.h"

namespace tokiren {

std::string ShownOnTerminal(std::string_view text) { return EscapeForWindowsConsole(text); }

}  // namespace tokiren
