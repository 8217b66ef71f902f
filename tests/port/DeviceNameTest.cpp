#include <gtest/gtest.h>

#include "driver/port/DeviceName.h"

namespace zel {
namespace {

TEST(DeviceName, ComNamesMapToSerialDevicesAndEverythingElseStandsAsTyped) {
  struct Row {
    const char* typed;
    const char* opened;
  };
  const Row rows[] = {
      {"COM1", "/dev/ttyS0"},
      {"COM2", "/dev/ttyS1"},
      {"COM4", "/dev/ttyS3"},
      {"COM10", "/dev/ttyS9"},
      {"COM256", "/dev/ttyS255"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/pts/7", "/dev/pts/7"},
      {"/COM1", "/COM1"},
      {"COM0", "COM0"},
      {"COM", "COM"},
      {"com1", "com1"},
      {"Com1", "Com1"},
      {"COM1x", "COM1x"},
      {"COM01", "COM01"},
      {"COM-1", "COM-1"},
      {"COM+1", "COM+1"},
      {"COM2 ", "COM2 "},
      {" COM2", " COM2"},
      {"COM1234567890", "COM1234567890"},
      {"ttyS0", "ttyS0"},
      {"", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PlatformDeviceName(row.typed), row.opened) << '"' << row.typed << '"';
  }
}

TEST(DeviceName, LargestComNumberWithoutOverflow) {
  EXPECT_EQ(PlatformDeviceName("COM999999999"), "/dev/ttyS999999998");
}

}  // namespace
}  // namespace zel
