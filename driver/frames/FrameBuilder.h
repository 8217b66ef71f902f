#pragma once

#include <cstdint>
#include <string_view>

#include "driver/frames/FrameLayout.h"

namespace zel {

// Builds the addressed send frame for a poked line: addressee (four digits), optional blanks,
// sender (four digits), optional blanks, data as unbroken digit pairs. A line with fewer than eight
// characters other than the space goes out as data alone, between stations 0000. Never fails:
// every pair becomes a byte, a trailing odd character is dropped, pairs beyond 247 data bytes are
// ignored. Writes frame[0 .. length-1] only; length is 7 (no data) or data count + 9.
// Does not allocate.
void BuildSendFrame(std::string_view text, FrameBuffer& frame, int32_t& length);

// Writes the raw bytes that the line spells out in digit pairs, with any blanks allowed between
// pairs (not before the first, not inside one); nothing is added. Stops when the line runs out or
// after 256 bytes. Positions from length on keep their old content. Does not allocate.
void BuildDumpFrame(std::string_view text, FrameBuffer& frame, int32_t& length);

}  // namespace zel
