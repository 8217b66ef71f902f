// How a port setting names a device, and which adapters the setup dialog offers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/port/SerialDevices.h"
#include "driver/port/posix/DeviceName.h"
#include "tests/port/PortTestSupport.h"

namespace zel {
namespace {

TEST(DeviceName, ComNamesMapToSerialDevicesAndEverythingElseStandsAsTyped) {
  const std::pair<const char*, const char*> rows[] = {
      {"COM1", "/dev/ttyS0"},   {"COM4", "/dev/ttyS3"},       {"COM10", "/dev/ttyS9"},
      {"COM999999999", "/dev/ttyS999999998"},                 {"/dev/pts/7", "/dev/pts/7"},
      {"COM0", "COM0"},         {"COM", "COM"},               {"com1", "com1"},
      {"COM1x", "COM1x"},       {"COM01", "COM01"},           {"COM+1", "COM+1"},
      {"COM2 ", "COM2 "},       {" COM2", " COM2"},           {"COM1234567890", "COM1234567890"},
      {"", ""},
  };
  for (const auto& [typed, opened] : rows) {
    EXPECT_EQ(PlatformDeviceName(typed), opened) << '"' << typed << '"';
  }
}

TEST(SerialDevices, AdaptersByKindAndNumberThenStableNamesSorted) {
  test::ScratchDirectory dev;
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSB0", "ttyS0", "tty0", "ttyUSB",
                           "ttyUSBx1", "ttyACM1a", "console", "xttyUSB1"}) {
    dev.Write(name, "");
  }
  std::filesystem::create_directories(dev.Path() + "serial/by-id");
  dev.Write("serial/by-id/usb-Prolific-if00-port0", "");
  dev.Write("serial/by-id/usb-FTDI_FT232R_A1-if00-port0", "");
  const std::string root = dev.Path().substr(0, dev.Path().size() - 1);

  EXPECT_EQ(SerialDeviceNamesIn(root),
            (std::vector<std::string>{root + "/ttyACM0", root + "/ttyUSB0", root + "/ttyUSB2",
                                      root + "/ttyUSB10",
                                      root + "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0",
                                      root + "/serial/by-id/usb-Prolific-if00-port0"}));
  EXPECT_TRUE(SerialDeviceNamesIn(root + "/absent").empty());
}

}  // namespace
}  // namespace zel
