// The helper's answers, on every system; the exchange itself is helper_protocol_posix.cpp (a
// socket) or helper_protocol_win32.cpp (pipes).
#include "media/helper_protocol.h"

#include <cstdint>
#include <cstring>

#include "media/capture_time_text.h"

namespace tokiren::media {
namespace {

constexpr char kWallClock = 'W';
constexpr char kUtc = 'U';
constexpr char kFraction = '.';
static_assert(1 + kStampDigitCount + 1 + kFractionDigits <= kMaxAnswerMessage);

}  // namespace

std::string FramedMessage(std::string_view message) {
  std::string framed(kLengthBytes, '\0');
  const auto length = static_cast<std::uint32_t>(message.size());
  std::memcpy(framed.data(), &length, kLengthBytes);
  framed.append(message);
  return framed;
}

std::optional<std::string> TakeMessage(std::string* buffer, size_t limit, bool* malformed) {
  *malformed = false;
  if (buffer->size() < kLengthBytes) return std::nullopt;
  std::uint32_t length = 0;
  std::memcpy(&length, buffer->data(), kLengthBytes);
  if (length > limit) {
    *malformed = true;
    return std::nullopt;
  }
  if (buffer->size() < kLengthBytes + length) return std::nullopt;
  std::string message = buffer->substr(kLengthBytes, length);
  buffer->erase(0, kLengthBytes + length);
  return message;
}

std::string AnswerText(const std::optional<CapturedMoment>& moment) {
  if (!moment) return {};
  std::string text = (moment->utc ? kUtc : kWallClock) + StampDigits(moment->time);
  if (moment->nanosecond && *moment->nanosecond < kNanosecondsPerSecond) {
    text += kFraction + FractionDigits(*moment->nanosecond);
  }
  return text;
}

std::optional<CapturedMoment> FromAnswerText(std::string_view text) {
  if (text.empty() || (text[0] != kWallClock && text[0] != kUtc)) return std::nullopt;
  const std::optional<LocalTime> time = FromStampDigits(text.substr(1, kStampDigitCount));
  if (!time) return std::nullopt;
  const std::string_view rest = text.substr(1 + kStampDigitCount);
  std::optional<std::uint32_t> nanosecond;
  if (!rest.empty()) {
    if (rest[0] != kFraction) return std::nullopt;
    nanosecond = FromFractionDigits(rest.substr(1));
    if (!nanosecond) return std::nullopt;
  }
  return CapturedMoment{*time, text[0] == kUtc, nanosecond};
}

}  // namespace tokiren::media
