#pragma once
// Text as it crosses the link: 8-bit, ending at its first NUL, made of lines.

#include <string>
#include <string_view>
#include <vector>

namespace zel {

// The text up to (not including) its first NUL.
std::string_view UntilNul(std::string_view text);

// Splits at CR, LF or CR LF. A break at the very end adds no empty line, so "" and "\0..." give
// no line at all, "\r\n" gives one empty line, "a\r\n\r\nb" gives "a", "", "b".
std::vector<std::string> SplitLines(std::string_view text);

// Every line followed by CR LF; the empty text for no line.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace zel
