// How a port setting names a device: the rows of tests/data/port/device-names.txt, and names with
// blanks, which a row cannot show.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/port/DeviceName.h"

namespace zel {
namespace {

TEST(DeviceName, ComNamesMapToSerialDevicesAndEverythingElseStandsAsTyped) {
  std::ifstream file(ZEL_TEST_DATA "/port/device-names.txt");
  int rows = 0;
  for (std::string row, typed, opened; std::getline(file, row);) {
    if (row.empty() || row[0] == '#' || !(std::istringstream(row) >> typed >> opened)) continue;
    ++rows;
    EXPECT_EQ(PlatformDeviceName(typed), opened) << typed;
  }
  EXPECT_EQ(rows, 12) << "tests/data/port/device-names.txt not read";
  for (const char* typed : {"COM2 ", " COM2", ""}) EXPECT_EQ(PlatformDeviceName(typed), typed);
}

}  // namespace
}  // namespace zel
