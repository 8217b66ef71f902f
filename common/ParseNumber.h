#pragma once
// The one way a number is read from text anywhere in the system.

#include <charconv>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>

namespace zel {

// The whole text as an integer in `base`, within [low, high]; nothing for anything else: an empty
// text, a sign on an unsigned type, a "+", blanks, trailing characters, or a value out of range.
// Digits above 9 are accepted in either case, as std::from_chars does.
template <typename T>
std::optional<T> ParseNumber(std::string_view text, T low = std::numeric_limits<T>::min(),
                             T high = std::numeric_limits<T>::max(), int base = 10) {
  static_assert(std::is_integral_v<T>);
  T value{};
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

}  // namespace zel
