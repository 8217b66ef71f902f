#pragma once

namespace zel {

// The texts that reply reception puts into the data item and the status indicator. Each is
// produced from here only.

// Status indicator.
inline constexpr char ReceivedOkWord[] = "received OK";
inline constexpr char CheckSumErrorWord[] = "CRC error";
inline constexpr char NoAnswerWord[] = "no answer";
// A dump of n bytes shows "received <n>b".
inline constexpr char DumpCountPrefix[] = "received ";
inline constexpr char DumpCountSuffix[] = "b";

// Reply text.
inline constexpr char CheckSumErrorText[] = "0000";
inline constexpr char NoAnswerText[] = "00";
inline constexpr char EmptyDumpText[] = "--";

}  // namespace zel
