// Names shown on a terminal.
#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tokiren {
namespace {

// Reads escaped text back into bytes; the escapes are the ones EscapeForTerminal writes.
std::string Unescape(std::string_view shown) {
  static const std::string kNamed = "a\ab\bt\tn\nv\vf\fr\r\\\\";
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != '\\') {
      text += shown[i];
    } else if (const std::size_t at = kNamed.find(shown[i + 1]);
               at != std::string::npos && at % 2 == 0) {
      text += kNamed[at + 1];
      i += 1;
    } else {
      text += static_cast<char>((shown[i + 1] - '0') * 64 + (shown[i + 2] - '0') * 8 +
                                (shown[i + 3] - '0'));
      i += 3;
    }
  }
  return text;
}

struct Case {
  std::string text;
  std::string shown;
};

void ExpectShown(const Case& c) {
  EXPECT_EQ(EscapeForTerminal(c.text), c.shown) << "bytes: " << ::testing::PrintToString(c.text);
}

TEST(EscapeForTerminalTest, LeavesPrintableTextAlone) {
  const Case cases[] = {
      {"", ""},
      {"/p/photo.jpg as /p/20160830124842.JPG", "/p/photo.jpg as /p/20160830124842.JPG"},
      {"~!@#$%^&*()_+{}|:\"<>?`-=[];',./ ", "~!@#$%^&*()_+{}|:\"<>?`-=[];',./ "},
      {"/写真/日本語のファイル.jpg", "/写真/日本語のファイル.jpg"},
      {"\xc2\xa0\xc3\xa9", "\xc2\xa0\xc3\xa9"},             // U+00A0, the first after C1; é
      {"\xed\x9f\xbf\xee\x80\x80", "\xed\x9f\xbf\xee\x80\x80"},  // U+D7FF, U+E000: around surrogates
      {"\xf0\x9f\x93\xb7", "\xf0\x9f\x93\xb7"},             // U+1F4F7, four bytes
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},             // U+10FFFF, the last code point
  };
  for (const Case& c : cases) ExpectShown(c);
}

TEST(EscapeForTerminalTest, EscapesTheAttacksOnTheTerminal) {
  const Case cases[] = {
      {"\x1b]0;title\a", R"(\033]0;title\a)"},  // sets the window title
      {"\x1b[2J", R"(\033[2J)"},                // clears the screen
      {"/p/\x1b[2J.jpg as /p/1.JPG", R"(/p/\033[2J.jpg as /p/1.JPG)"},
  };
  for (const Case& c : cases) ExpectShown(c);
}

TEST(EscapeForTerminalTest, WritesControlsAsLsDoes) {
  const Case cases[] = {
      {"\a\b\t\n\v\f\r", R"(\a\b\t\n\v\f\r)"},
      {std::string("a\0b", 3), R"(a\000b)"},
      {"\x01\x1f", R"(\001\037)"},
      {"\x7f", R"(\177)"},                                         // DEL
      {"\xc2\x80\xc2\x9b\xc2\x9f", R"(\302\200\302\233\302\237)"},  // C1: U+0080, CSI, U+009F
  };
  for (const Case& c : cases) ExpectShown(c);
}

TEST(EscapeForTerminalTest, EscapesEveryByteOfInvalidUtf8) {
  const Case cases[] = {
      {"\x80", R"(\200)"},                                    // a stray continuation byte
      {"a\xbf" "b", R"(a\277b)"},
      {"\xc0\xaf", R"(\300\257)"},                            // "/" overlong in two bytes
      {"\xc1\xbf", R"(\301\277)"},
      {"\xe0\x80\xaf", R"(\340\200\257)"},                    // "/" overlong in three bytes
      {"\xe0\x9f\xbf", R"(\340\237\277)"},                    // U+07FF overlong
      {"\xf0\x80\x80\xaf", R"(\360\200\200\257)"},            // "/" overlong in four bytes
      {"\xf0\x8f\xbf\xbf", R"(\360\217\277\277)"},            // U+FFFF overlong
      {"\xed\xa0\x80", R"(\355\240\200)"},                    // U+D800, a surrogate
      {"\xed\xbf\xbf", R"(\355\277\277)"},                    // U+DFFF
      {"\xed\xa0\xbd\xed\xb2\xa9", R"(\355\240\275\355\262\251)"},  // a surrogate pair (CESU-8)
      {"\xf4\x90\x80\x80", R"(\364\220\200\200)"},            // U+110000, beyond Unicode
      {"\xf5\x80\x80\x80", R"(\365\200\200\200)"},
      {"\xfe\xff", R"(\376\377)"},
      {"\xe3\x81", R"(\343\201)"},                            // truncated at the end
      {"\xe3\x81" "a", R"(\343\201a)"},                       // truncated by ASCII
      {"\xe3\xe3\x81\x82", R"(\343)" "\xe3\x81\x82"},         // truncated by a good sequence
      {"\xf0\x9f\x93", R"(\360\237\223)"},
      {"\xc3", R"(\303)"},
  };
  for (const Case& c : cases) ExpectShown(c);
}

TEST(EscapeForTerminalTest, EscapesTheBackslashSoEscapesCannotBeForged) {
  // A name spelling out an escape must not look like the byte it names.
  const Case cases[] = {
      {R"(\033[2J)", R"(\\033[2J)"},
      {"\\", R"(\\)"},
  };
  for (const Case& c : cases) ExpectShown(c);
  EXPECT_NE(EscapeForTerminal(R"(\033)"), EscapeForTerminal("\x1b"));
  EXPECT_NE(EscapeForTerminal(R"(\n)"), EscapeForTerminal("\n"));
}

TEST(EscapeForWindowsConsoleTest, ShowsPathsAsWindowsUsersWriteThem) {
  const Case cases[] = {
      {"", ""},
      {R"(C:\Users\花子\写真\IMG_0001.jpg)", R"(C:\Users\花子\写真\IMG_0001.jpg)"},
      {R"(\\server\share\a.jpg as \\server\share\20160830124842.JPG)",
       R"(\\server\share\a.jpg as \\server\share\20160830124842.JPG)"},
      {R"(C:\033\n.jpg)", R"(C:\033\n.jpg)"},  // folders named 033 and n, not escapes
      {"~!@#$%^&*()_+{}|:\">?`-=[];',./ ", "~!@#$%^&*()_+{}|:\">?`-=[];',./ "},
      {"\xf0\x9f\x93\xb7\xc2\xa0", "\xf0\x9f\x93\xb7\xc2\xa0"},
      {"C:\\p\\\x1b[2J.jpg", R"(C:\p\<1B>[2J.jpg)"},
      {"\x1b]0;title\a", "<1B>]0;title<07>"},
      {std::string("\0\t\n\r\x1f", 5), "<00><09><0A><0D><1F>"},
      {"\x7f\xc2\x80\xc2\x9b\xc2\x9f", "<7F><C2><80><C2><9B><C2><9F>"},  // DEL, C1
      {"\xed\xa0\x80", "<ED><A0><80>"},                                  // a surrogate
      {"\xc0\xaf", "<C0><AF>"},                                          // an overlong "/"
      {"\xe3\x81" "a", "<E3><81>a"},                                     // truncated
      {"a<b", "a<3C>b"},
      {"<1B>", "<3C>1B>"},  // cannot pass itself off as ESC
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeForWindowsConsole(c.text), c.shown)
        << "bytes: " << ::testing::PrintToString(c.text);
  }
}

// Reads text escaped for a Windows console back into bytes.
std::string UnescapeHex(std::string_view shown) {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != '<') {
      text += shown[i];
      continue;
    }
    text += static_cast<char>(std::stoi(std::string(shown.substr(i + 1, 2)), nullptr, 16));
    i += 3;
  }
  return text;
}

TEST(EscapeForTerminalTest, ShowsNothingATerminalActsOnAndLosesNothing) {
  const struct {
    std::string (*escape)(std::string_view);
    std::string (*unescape)(std::string_view);
  } forms[] = {{EscapeForTerminal, Unescape}, {EscapeForWindowsConsole, UnescapeHex}};
  // Every pair of bytes, in either form: no control comes through, and the bytes can be read back.
  for (const auto& form : forms) {
    for (int first = 0; first < 256; ++first) {
      for (int second = 0; second < 256; ++second) {
        const std::string text{static_cast<char>(first), static_cast<char>(second)};
        const std::string shown = form.escape(text);
        for (std::size_t i = 0; i < shown.size(); ++i) {
          const unsigned char byte = static_cast<unsigned char>(shown[i]);
          ASSERT_TRUE(byte >= 0x20 && byte != 0x7f) << "from " << first << ", " << second;
          const bool c1 = byte == 0xc2 && i + 1 < shown.size() &&
                          static_cast<unsigned char>(shown[i + 1]) < 0xa0;
          ASSERT_FALSE(c1) << "from " << first << ", " << second;
        }
        ASSERT_EQ(form.unescape(shown), text) << shown;
      }
    }
  }
}

}  // namespace
}  // namespace tokiren
