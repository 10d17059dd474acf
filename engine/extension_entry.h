// What may stand in the extension list: an extension as the user types it in the window's box or
// after tokiren-cli's --ext, read into an entry, or refused with the reason.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/extensions.h"

namespace tokiren {

// The longest entry, dot included: a file name holds at most 255 bytes on the systems we run on.
inline constexpr std::size_t kLongestExtensionEntry = 255;

enum class ExtensionFault {
  kNone,
  kEmpty,               // nothing after the dot
  kForbiddenCharacter,  // one of \ / : * ? " < > | or a control character
  kTooLong,             // more than kLongestExtensionEntry bytes with the dot
};

struct TypedExtension {
  std::string entry;  // the entry when fault is kNone, "" otherwise
  ExtensionFault fault = ExtensionFault::kNone;
};

// Reads what was typed: leading and trailing blanks (space, tab, the ideographic space U+3000)
// are dropped, a leading "*" before "." too, then the entry is made as NormalizeExtension makes it:
// "jpg", ".jpg", "*.jpg" and " .Jpg " all give ".JPG". "*" and "*.*" give the every-file entry
// ".*". Refused: an entry without a character after its dot ("", ".", "*."), one holding a
// character that no file name may hold on Windows or POSIX (\ / : * ? " < > |, bytes below 0x20
// and 0x7F), and one longer than kLongestExtensionEntry bytes.
TypedExtension ExtensionFromTyped(std::string_view typed);

}  // namespace tokiren
