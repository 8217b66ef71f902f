// The test client's entry check over any typed texts. Input: the four address fields, then the
// memo's lines, separated by LF. What it accepts is what the driver then sends: with addresses
// of one byte each, the frame built from the accepted text decodes back to that text (its data
// cut to whole pairs, at most 247), and the dump built from its data holds the same pairs.
#include <algorithm>
#include <string>
#include <vector>

#include "client/EntryCheck.h"
#include "driver/frames/FrameBuilder.h"
#include "driver/frames/HexText.h"
#include "driver/frames/ReplyDecoder.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace zel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (const char c : FuzzText(data, size)) c == '\n' ? pieces.emplace_back() : pieces.back() += c;
  pieces.resize(std::max<size_t>(pieces.size(), 4));
  const std::vector<std::string> memo(pieces.begin() + 4, pieces.end());
  const EntryCheckResult result = CheckEntry(pieces[0], pieces[1], pieces[2], pieces[3], memo);
  ZEL_FUZZ_CHECK(!result.Valid || result.FrameText);
  if (!result.FrameText) return 0;
  const std::string& text = *result.FrameText;
  const size_t gap = text.find(' ');  // each address part: two numbers of two digits or more
  ZEL_FUZZ_CHECK(std::count(text.begin(), text.end(), ' ') == 2 && gap >= 4 &&
                 text.find(' ', gap + 1) >= gap + 5);
  ZEL_FUZZ_CHECK(std::all_of(text.begin(), text.end(),
                             [](char c) { return c == ' ' || HexDigitValue(c) >= 0; }));
  // The data: what the memo's first lines hold, blanks dropped, up to the first non-digit.
  std::string digits;
  for (size_t line = 0; line < std::min<size_t>(memo.size(), MemoLinesRead); ++line) {
    std::copy_if(memo[line].begin(), memo[line].end(), std::back_inserter(digits),
                 [](char c) { return !IsBlank(c); });
  }
  const auto bad =
      std::find_if(digits.begin(), digits.end(), [](char c) { return HexDigitValue(c) < 0; });
  ZEL_FUZZ_CHECK(result.Valid == (bad == digits.end()));
  digits.erase(bad, digits.end());
  ZEL_FUZZ_CHECK(DumpText(text) == digits);
  if (!result.Valid) return 0;

  const size_t pairs = std::min<size_t>(digits.size() / 2, FrameCapacity);
  FrameBuffer frame{};
  int32_t length = 0;
  std::string shown;
  BuildDumpFrame(DumpText(text), frame, length);
  DecodeDump(frame, shown, length);
  shown.erase(std::remove(shown.begin(), shown.end(), ' '), shown.end());
  ZEL_FUZZ_CHECK(size_t(length) == pairs && (pairs == 0 || shown == digits.substr(0, 2 * pairs)));

  if (gap != 4 || text.find(' ', 5) != 9) return 0;  // addresses of one byte each
  BuildSendFrame(text, frame, length);
  DecodeReply(frame, shown, length);
  ZEL_FUZZ_CHECK(shown == text.substr(0, 10 + 2 * std::min<size_t>(pairs, MaxDataCount)));
  return 0;
}
