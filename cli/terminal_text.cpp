// File names made safe to show on a terminal.
#include "cli/terminal_text.h"

#include <cstddef>

namespace tokiren {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: shortest form only,
// no surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
std::size_t ValidSequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // below: an overlong form
    if (lead == 0xED) high = 0x9F;  // above: a surrogate, U+D800..U+DFFF
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // below: an overlong form
    if (lead == 0xF4) high = 0x8F;  // above: beyond U+10FFFF
  } else {
    return 0;  // a continuation byte, an overlong lead (C0, C1) or a lead beyond U+10FFFF
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

// Whether the byte or sequence at the start of `text`, `length` bytes long, can be shown as it is
// in either form: printable, and not a control.
bool IsPrintable(std::string_view text, std::size_t length) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (length == 1) return lead >= 0x20 && lead != 0x7F;
  // C1 controls, U+0080..U+009F, are C2 80..C2 9F.
  return !(lead == 0xC2 && static_cast<unsigned char>(text[1]) <= 0x9F);
}

void AppendLsEscape(unsigned char byte, std::string* out) {
  static constexpr char kNamed[][2] = {{'\a', 'a'}, {'\b', 'b'}, {'\t', 't'}, {'\n', 'n'},
                                       {'\v', 'v'}, {'\f', 'f'}, {'\r', 'r'}, {'\\', '\\'}};
  out->push_back('\\');
  for (const auto& named : kNamed) {
    if (byte == static_cast<unsigned char>(named[0])) {
      out->push_back(named[1]);
      return;
    }
  }
  out->push_back(static_cast<char>('0' + (byte >> 6)));
  out->push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
  out->push_back(static_cast<char>('0' + (byte & 7)));
}

void AppendHexEscape(unsigned char byte, std::string* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out->push_back('<');
  out->push_back(kHex[byte >> 4]);
  out->push_back(kHex[byte & 15]);
  out->push_back('>');
}

// `text` with every printable character but `escapeChar` as it is, and everything else passed
// byte by byte to `appendEscape`.
std::string Escape(std::string_view text, char escapeChar,
                   void (*appendEscape)(unsigned char, std::string*)) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = ValidSequenceLength(text);
    if (length != 0 && IsPrintable(text, length) && text[0] != escapeChar) {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
      continue;
    }
    // An invalid sequence is escaped one byte at a time: the bytes after its first are read
    // again, each on its own, and a stray continuation byte is never valid.
    const std::size_t escaped = length == 0 ? 1 : length;
    for (std::size_t i = 0; i < escaped; ++i) {
      appendEscape(static_cast<unsigned char>(text[i]), &out);
    }
    text.remove_prefix(escaped);
  }
  return out;
}

}  // namespace

std::string EscapeForTerminal(std::string_view text) {
  return Escape(text, '\\', AppendLsEscape);
}

std::string EscapeForWindowsConsole(std::string_view text) {
  return Escape(text, '<', AppendHexEscape);
}

}  // namespace tokiren
