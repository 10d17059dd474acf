// libFuzzer target: a settings file of any bytes reads as values without crashing, and no value
// holds a line end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/settings_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view contents(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& value : tokiren::ReadDelimitedValues(contents)) {
    total += value.size();
    if (value.find_first_of("\r\n") != std::string::npos) std::abort();
  }
  if (total > size) std::abort();
  return 0;
}
