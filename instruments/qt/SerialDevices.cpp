#include "instruments/qt/SerialDevices.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace {

std::vector<std::string> DirNames(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view n(e->d_name);
    if (n != "." && n != "..") names.emplace_back(n);
  }
  ::closedir(d);
  return names;
}

// "ttyUSB12" with prefix "ttyUSB": true and number 12.
bool NumberedName(std::string_view name, std::string_view prefix, long* number) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.size() > 6) return false;
  long n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  *number = n;
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string Resolved(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf)) return buf;
  return path;
}

// A ttyS node answers when a UART stands behind it. The serial core tells
// its type in sysfs (0: none); without that, ask the device.
bool UartPresent(const std::string& node, const std::string& sysTtyDir, const std::string& name) {
  std::ifstream type(sysTtyDir + "/" + name + "/type");
  if (type) {
    long t = 0;
    type >> t;
    return type && t != 0;
  }
  const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return present;
}

}  // namespace

std::vector<TSerialDevice> ListSerialDevicesIn(const std::string& devDir, const std::string& sysTtyDir) {
  std::vector<TSerialDevice> out;

  const std::string byId = devDir + "/serial/by-id";
  std::vector<std::string> links = DirNames(byId);
  std::sort(links.begin(), links.end());
  for (const std::string& name : links) {
    const std::string path = byId + "/" + name;
    if (!Exists(path)) continue;  // a link left behind by a device that is gone
    out.push_back({path, Resolved(path)});
  }

  struct Node {
    int group;
    long number;
    std::string name;
  };
  static constexpr std::string_view kGroups[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyS"};
  std::vector<Node> nodes;
  for (const std::string& name : DirNames(devDir)) {
    for (int g = 0; g < 4; ++g) {
      long number = 0;
      if (NumberedName(name, kGroups[g], &number)) nodes.push_back({g, number, name});
    }
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const Node& a, const Node& b) { return a.group != b.group ? a.group < b.group : a.number < b.number; });
  for (const Node& n : nodes) {
    const std::string path = devDir + "/" + n.name;
    if (n.group == 3 ? !UartPresent(path, sysTtyDir, n.name) : !Exists(path)) continue;
    out.push_back({path, path});
  }
  return out;
}

std::vector<TSerialDevice> ListSerialDevices() { return ListSerialDevicesIn("/dev", "/sys/class/tty"); }
