// Text on a POSIX terminal. Generic POSIX.
#include "cli/terminal_text.h"

namespace tokiren {

std::string ShownOnTerminal(std::string_view text) { return EscapeForTerminal(text); }

}  // namespace tokiren
