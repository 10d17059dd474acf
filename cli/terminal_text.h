// File names made safe to show on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace tokiren {

// `text` as it can be shown on a terminal without acting on it: a name such as "\e]0;title\a" or
// "\e[2J" would otherwise set the window title or clear the screen of whoever runs the program.
//
// Valid UTF-8 whose characters are printable comes back unchanged, non-ASCII text included.
// Everything else is written the way GNU ls writes names with --quoting-style=escape (ls -b),
// byte by byte:
//   - the seven C0 controls that C names: \a \b \t \n \v \f \r;
//   - the other C0 controls, DEL, and the two bytes of each C1 control (U+0080..U+009F) as a
//     backslash and three octal digits: ESC is \033, DEL \177, U+009B is \302\233;
//   - every byte of a sequence that is not valid UTF-8 (a stray continuation byte, a truncated
//     sequence, an overlong form, a surrogate, a code point above U+10FFFF) in octal the same way;
//   - a backslash as \\, so that an escape in the output always stands for one byte of the name
//     and a name cannot pass itself off as another.
// Unlike ls -b, a space is left as it is: a log line separates its paths with " as ", and spaces
// cannot act on a terminal.
std::string EscapeForTerminal(std::string_view text);

// `text` as a Windows console shows it, written the way Windows users write paths: a backslash,
// their path separator, stays as it is. What the console would act on or cannot show is written
// byte by byte as "<" two upper-case hex digits ">": the C0 controls, DEL, the C1 controls and
// every byte of a sequence that is not valid UTF-8, as above (ESC is <1B>, U+009B is <C2><9B>);
// and "<" itself, as <3C>, so that an escape always stands for one byte of the text. No Windows
// name holds "<" or a control, so a path is shown exactly as typed.
std::string EscapeForWindowsConsole(std::string_view text);

// `text` as it is shown on this system's terminal: POSIX, EscapeForTerminal; Windows,
// EscapeForWindowsConsole, which leaves the path separator as it is. CMake picks the system.
std::string ShownOnTerminal(std::string_view text);

}  // namespace tokiren
