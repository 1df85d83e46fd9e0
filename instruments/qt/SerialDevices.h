// The serial devices present, for the setup dialog's device choice.
#pragma once

#include <string>
#include <vector>

struct TSerialDevice {
  // What to store in the settings ("/dev/serial/by-id/usb-...", "/dev/ttyUSB0").
  std::string Path;
  // The device node it leads to (Path itself for a plain node).
  std::string Target;
};

// Stable names first: the links of /dev/serial/by-id (they survive
// re-plugging and renumbering), by name; then the nodes /dev/ttyUSB*,
// /dev/ttyACM* and /dev/ttyAMA* that exist, then the /dev/ttyS* ports that
// have a UART behind them (most of ttyS0..31 are placeholders), each group
// in numeric order (ttyUSB2 before ttyUSB10).
std::vector<TSerialDevice> ListSerialDevices();

// The same with other places standing for "/dev" and "/sys/class/tty".
std::vector<TSerialDevice> ListSerialDevicesIn(const std::string& devDir, const std::string& sysTtyDir);
