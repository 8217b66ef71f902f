// The client's entry check: address numbers, their hex form, the composed FrameText and the dump
// text, each as a table of typed entries and what must come of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "client/EntryCheck.h"

namespace zel {

namespace {

constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr std::nullopt_t No = std::nullopt;

// clang-format off
TEST(EntryCheck, AddressFieldIsOneIntegerDecimalOrDollarHexWithinThirtyTwoBits) {
  const struct { const char* text; std::optional<int32_t> number; } rows[] = {
      {"5", 5}, {"   5", 5}, {"+5", 5}, {"-1", -1}, {"-0", 0}, {"007", 7},
      {"2147483647", Int32Max}, {"-2147483648", Int32Min}, {"000000000002147483647", Int32Max},
      {"$ff", 255}, {" $1F", 31}, {"$FFFFFFFF", -1}, {"$80000000", Int32Min}, {"$0000000100", 256},
      {"", No}, {"   ", No}, {"-", No}, {"+", No}, {"$", No}, {"-$5", No}, {"$-5", No}, {"$ 5", No},
      {"5 ", No}, {"1.0", No}, {"\t5", No}, {"5a", No}, {"$1G", No}, {"2147483648", No},
      {"-2147483649", No}, {"99999999999999999999", No}, {"$100000000", No}};
  for (const auto& row : rows) {
    EXPECT_EQ(ReadAddressNumber(row.text), row.number) << '"' << row.text << '"';
  }
}

TEST(EntryCheck, AddressHexIsUppercaseAtLeastTwoDigitsNegativesInEight) {
  const struct { int32_t value; const char* hex; } rows[] = {
      {0, "00"}, {5, "05"}, {255, "FF"}, {256, "100"}, {300, "12C"}, {-1, "FFFFFFFF"},
      {-256, "FFFFFF00"}, {Int32Min, "80000000"}, {Int32Max, "7FFFFFFF"}};
  for (const auto& row : rows) EXPECT_EQ(AddressHex(row.value), row.hex) << row.value;
}

TEST(EntryCheck, ComposesFrameTextOrReportsTheFirstFailingControl) {
  using Lines = std::vector<std::string>;
  const Lines twelve = {"1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "zz"};
  const Lines badEleventh = {"", "", "", "", "", "", "", "", "", "", "1x"};
  const struct {
    const char* legend;
    const char *hiTo, *loTo, *hiFrom, *loFrom;
    Lines memo;
    EntryFault fault;
    const char* frameText;  // nullptr: FrameText must stay as it was
  } rows[] = {
      {"initial entry", "1", "1", "0", "0", {}, EntryFault::None, "0101 0000 "},
      {"digits across lines", "2", "5", "0", "1", {"12 34", "AB"}, EntryFault::None,
       "0205 0001 1234AB"},
      {"blanks anywhere", "1", "1", "0", "0", {" \t1 2\r", "\n3\t", "", " 4  "}, EntryFault::None,
       "0101 0000 1234"},
      {"blank memo", "1", "1", "0", "0", {"  ", "\t"}, EntryFault::None, "0101 0000 "},
      {"odd digit count", "1", "1", "0", "0", {"123"}, EntryFault::None, "0101 0000 123"},
      {"numbers beyond a byte", "300", "$1f", "-1", " +5", {}, EntryFault::None,
       "12C1F FFFFFFFF05 "},
      {"twelfth line ignored", "1", "1", "0", "0", twelve, EntryFault::None,
       "0101 0000 11111111111"},
      {"eleventh line read", "1", "1", "0", "0", badEleventh, EntryFault::Memo, "0101 0000 1"},
      {"lowercase digit", "1", "1", "0", "0", {"0a"}, EntryFault::Memo, "0101 0000 0"},
      {"minus in data", "1", "1", "0", "0", {"12", "-34"}, EntryFault::Memo, "0101 0000 12"},
      {"non-ASCII in data", "1", "1", "0", "0", {"1\xC3\xA9"}, EntryFault::Memo, "0101 0000 1"},
      {"emptied addressee", "1", "", "0", "0", {"12"}, EntryFault::LoToEdit, nullptr},
      {"first bad field wins", "x", "1", "", "0", {}, EntryFault::HiToEdit, nullptr},
      {"space after sender", "1", "1", "0", "5 ", {}, EntryFault::LoFromEdit, nullptr},
      {"decimal overflow", "1", "1", "2147483648", "0", {}, EntryFault::HiFromEdit, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    const auto result = CheckEntry(row.hiTo, row.loTo, row.hiFrom, row.loFrom, row.memo);
    EXPECT_EQ(result.Fault, row.fault);
    EXPECT_EQ(result.Valid, row.fault == EntryFault::None);
    EXPECT_EQ(result.ShowError(), row.fault != EntryFault::None);
    EXPECT_EQ(result.FrameTextReplaced, row.frameText != nullptr);
    if (row.frameText) {
      EXPECT_EQ(result.FrameText, row.frameText);
    }
  }
}

TEST(EntryCheck, DumpTextDropsBothAddressFieldsWhateverTheirLength) {
  const struct { const char* frameText; const char* dump; } rows[] = {
      {"0101 0000 1234AB", "1234AB"}, {"0101 0000 ", ""}, {"12C01 0000 12", "12"},
      {"FFFFFFFF05 0000 AB", "AB"}};
  for (const auto& row : rows) EXPECT_EQ(DumpText(row.frameText), row.dump) << row.frameText;

  const EntryCheckResult checked = CheckEntry("2", "5", "0", "1", {"12 34", "AB"});
  ASSERT_TRUE(checked.Valid);
  EXPECT_EQ(DumpText(checked.FrameText), "1234AB");
}
// clang-format on

}  // namespace

}  // namespace zel
