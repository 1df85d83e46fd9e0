#include "instruments/qt/SerialDevices.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

TEST(SerialDevices, StableNamesFirstThenPresentNodesInNumericOrder) {
  TTempDir root;
  const std::string dev = root / "dev", sys = root / "sys";
  for (const std::string& d : {dev, dev + "/serial", dev + "/serial/by-id", sys, sys + "/ttyS0", sys + "/ttyS1"})
    ASSERT_EQ(::mkdir(d.c_str(), 0755), 0);
  // Nodes (plain files stand in for devices here).
  for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyAMA0", "ttyS0", "ttyS1", "ttyS2", "ttyS", "ttyUSBx", "tty0",
                        "console"})
    WriteTestFile(dev + "/" + n, "");
  // ttyS0 has a UART, ttyS1 is a placeholder, ttyS2 cannot tell (no sysfs
  // entry, and a plain file answers no serial query).
  WriteTestFile(sys + "/ttyS0/type", "4\n");
  WriteTestFile(sys + "/ttyS1/type", "0\n");
  ASSERT_EQ(::symlink("../../ttyUSB2", (dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0").c_str()), 0);
  ASSERT_EQ(::symlink("../../ttyACM0", (dev + "/serial/by-id/usb-u-blox_GNSS-if00").c_str()), 0);
  // A link left behind by an adapter that is gone.
  ASSERT_EQ(::symlink("../../ttyUSB7", (dev + "/serial/by-id/usb-Prolific-if00-port0").c_str()), 0);

  std::vector<std::string> paths, targets;
  for (const TSerialDevice& d : ListSerialDevicesIn(dev, sys)) {
    paths.push_back(d.Path.substr(dev.size()));
    targets.push_back(d.Target.substr(d.Target.rfind('/') + 1));
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"/serial/by-id/usb-FTDI_FT232R-if00-port0",
                                             "/serial/by-id/usb-u-blox_GNSS-if00", "/ttyUSB2", "/ttyUSB10", "/ttyACM0",
                                             "/ttyAMA0", "/ttyS0"}));
  EXPECT_EQ(targets, (std::vector<std::string>{"ttyUSB2", "ttyACM0", "ttyUSB2", "ttyUSB10", "ttyACM0", "ttyAMA0", "ttyS0"}));
}

TEST(SerialDevices, AMissingTreeGivesNoDevices) {
  TTempDir root;
  EXPECT_TRUE(ListSerialDevicesIn(root / "none", root / "none").empty());
}

}  // namespace
