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

// Reads one address field: leading spaces (0x20 only), then an optional "+" or "-" and decimal
// digits, or "$" and hex digits of either case; nothing after the digits. Decimal must fit int32;
// "$" values may use all 32 bits ("$FFFFFFFF" is -1). Leading zeros are free.
// std::nullopt for anything else: empty, spaces only, a lone sign or "$", "-$5", "5 ", overflow.
std::optional<int32_t> ReadAddressNumber(std::string_view text);

// Uppercase hex, at least two digits: 5 -> "05", 256 -> "100"; a negative value as its 32-bit two's
// complement in eight digits: -1 -> "FFFFFFFF".
std::string AddressHex(int32_t value);

// Which control made the check fail.
enum class EntryFault { None, HiToEdit, LoToEdit, HiFromEdit, LoFromEdit, Memo };

struct EntryCheckResult {
  // True when every field is an integer and the memo holds only data digits and blanks.
  bool Valid = false;
  // Which control failed; None when Valid.
  EntryFault Fault = EntryFault::None;
  // False only when an address field failed: FrameText must then stay as it was.
  bool FrameTextReplaced = false;
  // The new FrameText when FrameTextReplaced. After a memo failure it holds the address part and
  // the data digits before the offending character; it must not be poked.
  std::string FrameText;
  // Every failure shows the error box (EntryErrorCaption / EntryErrorText) and, after the user has
  // closed it, disables PokeButton; success enables PokeButton.
  bool ShowError() const { return !Valid; }
};

// The whole entry check. memoLines are the memo's lines exactly as the memo displays them: a typed
// line that the memo wraps is several entries, and no entry holds a line end. Only the first
// MemoLinesRead entries are read. In the memo, blanks (codes 0x20 and below, tab, CR and LF
// included) may stand anywhere and are dropped; every other character that is not one of
// "0123456789ABCDEF" fails the check (lowercase letters and non-ASCII characters included). The
// number of data digits is not checked.
EntryCheckResult CheckEntry(std::string_view hiTo, std::string_view loTo, std::string_view hiFrom,
                            std::string_view loFrom, const std::vector<std::string>& memoLines);

// FrameText without its two address fields: everything up to and including the first space is
// removed, twice. The data digits of a valid FrameText remain ("" when there are none). A step that
// finds no space removes nothing.
std::string DumpText(std::string_view frameText);

}  // namespace zel
