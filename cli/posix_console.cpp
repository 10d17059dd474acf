// Arguments and output on POSIX: argv and the standard streams as they are. Generic POSIX.
#include "cli/console.h"
#include "cli/terminal_text.h"

namespace tokiren {

std::vector<std::string> StartConsole(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void WriteText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::string ShownOnTerminal(std::string_view text) { return EscapeForTerminal(text); }

}  // namespace tokiren
