// Text in the system's code page on POSIX, which has none apart from the locale's. Generic POSIX.
#include "platform/text.h"

namespace tokiren {

std::string TextFromSystemCodePage(std::string_view bytes) { return std::string(bytes); }

}  // namespace tokiren
