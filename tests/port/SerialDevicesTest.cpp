// The serial adapters offered in the setup dialog: which device entries count, in which order,
// and that an unreadable device directory gives none.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/port/SerialDevices.h"
#include "tests/port/PortTestSupport.h"

namespace zel::test {
namespace {

TEST(SerialDevices, AdaptersByKindAndNumberThenStableNamesSorted) {
  ScratchDirectory dev;
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSB0", "ttyS0", "ttyS1", "tty0",
                           "ttyUSB", "ttyUSBx1", "ttyACM1a", "console", "xttyUSB1"}) {
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
}

TEST(SerialDevices, NoneWithoutAdaptersOrDirectory) {
  ScratchDirectory dev;
  dev.Write("ttyS0", "");
  const std::string root = dev.Path().substr(0, dev.Path().size() - 1);

  EXPECT_TRUE(SerialDeviceNamesIn(root).empty());
  EXPECT_TRUE(SerialDeviceNamesIn(root + "/absent").empty());
}

}  // namespace
}  // namespace zel::test
