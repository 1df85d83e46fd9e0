#include "instruments/qt/SerialRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

bool SetArbitraryBaudRate(int fd, int rate) {
  if (rate <= 0) return false;
  struct termios2 t {};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(rate);
  t.c_ospeed = static_cast<speed_t>(rate);
  int r;
  do {
    r = ::ioctl(fd, TCSETS2, &t);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

int ReadArbitraryBaudRate(int fd) {
  struct termios2 t {};
  if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed > 0x7fffffffu ? 0 : static_cast<int>(t.c_ospeed);
}
