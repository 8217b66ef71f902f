#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// The test client's entry check: the four address fields and the data memo become FrameText, the
// line the client pokes ("AAAA SSSS DD..."). Pure functions over the controls' texts (UTF-8); the
// window passes its texts in and acts on the result.

// The message box a failed check shows, with an error symbol and one "OK" button.
inline constexpr std::string_view EntryErrorCaption = "Error";
inline constexpr std::string_view EntryErrorText = "Допустимы только цифры";

// Only this many memo lines, as displayed, are read; later lines are ignored whatever they hold.
constexpr int32_t MemoLinesRead = 11;

struct EntryCheckResult {
  // True when every field is an integer and the memo holds only data digits and blanks. Success
  // enables PokeButton; failure shows the error box and, once it is closed, disables PokeButton.
  bool Valid = false;
  // The new FrameText; nothing when an address field failed, as FrameText then stays as it was.
  // After a memo failure it holds the address part and the digits before the offending character,
  // and must not be poked.
  std::optional<std::string> FrameText;
};

// The whole entry check. Each address field is one integer: leading spaces (0x20 only), then an
// optional "+" or "-" and decimal digits within int32, or "$" and up to 32 bits of hex digits in
// either case ("$FFFFFFFF" is -1); nothing after the digits. It is written as uppercase hex of at
// least two digits, a negative value in eight (-1 -> "FFFFFFFF"). memoLines are the memo's lines
// exactly as the memo displays them (a wrapped line is several entries, none holds a line end);
// only the first MemoLinesRead are read. In them blanks (codes 0x20 and below) may stand anywhere
// and are dropped; any other character that is not one of "0123456789ABCDEF" fails the check,
// lowercase letters included. The number of data digits is not checked.
EntryCheckResult CheckEntry(std::string_view hiTo, std::string_view loTo, std::string_view hiFrom,
                            std::string_view loFrom, const std::vector<std::string>& memoLines);

// FrameText without its two address fields: everything up to and including the first space is
// removed, twice. The data digits of a valid FrameText remain ("" when there are none). A step that
// finds no space removes nothing.
std::string DumpText(std::string_view frameText);

}  // namespace zel
