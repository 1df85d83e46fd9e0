#include "instruments/qt/AfComPort.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "instruments/qt/SerialRate.h"

namespace {

constexpr std::array<int, 15> kRates = {110,   300,   600,   1200,   2400,   4800,   9600,  14400,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};

// The fixed terminal rates; others go through the arbitrary-rate call.
speed_t StandardSpeed(int rate) {
  switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

// Sizes a caller may choose; the upper bound only keeps a typing error in a
// setting from reserving absurd amounts of memory.
constexpr int kMaxBufSize = 1 << 24;

std::string Com(int number) { return "COM" + std::to_string(number); }

std::string SystemText(int error) { return std::strerror(error); }

// The device is gone (as opposed to "try again later").
bool DeviceGone(int error) {
  return error != EAGAIN && error != EWOULDBLOCK && error != EINTR;
}

// Read notifications in a row that find nothing to read before the device
// counts as broken: a descriptor that keeps reporting readiness without
// data would otherwise keep the loop busy for ever.
constexpr int kMaxIdleWakeups = 64;

// What ReadString takes from the driver at most in one call (the driver
// holds a few kilobytes; this only bounds a pathological device).
constexpr size_t kMaxDrain = 1 << 20;

}  // namespace

int AfBaudRateValue(int ordinal, int userRate) {
  if (ordinal == brUser) return userRate;
  if (ordinal < 0 || ordinal >= static_cast<int>(kRates.size())) return 0;
  return kRates[static_cast<size_t>(ordinal)];
}

EAfComPortCoreError::EAfComPortCoreError(const std::string& message, std::string detail)
    : std::runtime_error(message), detail_(std::move(detail)) {}

EAfComPortError::EAfComPortError(const std::string& portName, const std::string& text)
    : std::runtime_error(portName + " - " + text + " ") {}

TAfComPort::TAfComPort(QObject* parent) : QObject(parent), retryTimer_(new QTimer(this)) {
  retryTimer_->setSingleShot(true);
  connect(retryTimer_, &QTimer::timeout, this, &TAfComPort::TryReopen);
}

TAfComPort::~TAfComPort() {
  StopReopening();
  // No signals from a port that is going away: its receivers may be half
  // destroyed already.
  blockSignals(true);
  CloseDevice();
}

// ---------------------------------------------------------------------------
// Settings

void TAfComPort::SetComNumber(int number) {
  if (number == comNumber_) return;
  if (!Active()) {
    comNumber_ = number;
    return;
  }
  Close();
  comNumber_ = number;
  Open();
}

void TAfComPort::SetBaudRate(int ordinal) {
  if (ordinal < 0 || ordinal >= kAfBaudrateCount || ordinal == baudRate_) return;
  if (!Active()) {
    baudRate_ = ordinal;
    return;
  }
  try {
    ApplyLine(fd_, ordinal);
  } catch (const EAfComPortCoreError&) {
    // The previous settings stay in force.
    try {
      ApplyLine(fd_, baudRate_);
    } catch (const EAfComPortCoreError&) {
    }
    throw;
  }
  baudRate_ = ordinal;
}

void TAfComPort::SetUserBaudRate(int rate) {
  if (rate == userBaudRate_) return;
  const int previous = userBaudRate_;
  userBaudRate_ = rate;
  if (!Active() || baudRate_ != brUser) return;
  try {
    ApplyLine(fd_, brUser);
  } catch (const EAfComPortCoreError&) {
    userBaudRate_ = previous;
    try {
      ApplyLine(fd_, brUser);
    } catch (const EAfComPortCoreError&) {
    }
    throw;
  }
}

std::string TAfComPort::Device() const {
  if (!DeviceName.empty()) return DeviceName;
  return "/dev/ttyS" + std::to_string(comNumber_ - 1);
}

void TAfComPort::SetInBufSize(int size) {
  if (Active()) Fail("Port is not closed");
  inBufSize_ = std::clamp(size, 1, kMaxBufSize);
}

void TAfComPort::SetOutBufSize(int size) {
  if (Active()) Fail("Port is not closed");
  outBufSize_ = std::clamp(size, 1, kMaxBufSize);
}

void TAfComPort::SetDTR(bool on) {
  dtr_ = on;
  if (Active()) SetModemLine(TIOCM_DTR, on);
}

void TAfComPort::SetRTS(bool on) {
  rts_ = on;
  if (Active()) SetModemLine(TIOCM_RTS, on);
}

void TAfComPort::SetModemLine(int bit, bool on) const {
  // Pseudo-terminals and some adapters have no modem lines; that is fine.
  ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void TAfComPort::Fail(const std::string& text) const {
  throw EAfComPortError(objectName().toStdString(), text);
}

// ---------------------------------------------------------------------------
// Open and close

void TAfComPort::Open() {
  StopReopening();
  if (Active()) return;
  OpenDevice();
  emit PortOpen();
}

void TAfComPort::Close() {
  const bool waited = reopening_;
  StopReopening();
  if (!Active() && !waited) return;
  CloseDevice();
  emit PortClose();
}

void TAfComPort::OpenDevice() {
  const std::string com = Com(comNumber_);
  if (comNumber_ <= 0) throw EAfComPortCoreError("Invalid port number (" + com + ")");
  const std::string device = Device();
  int fd;
  do {
    fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int e = errno;
    const bool missing = e == ENOENT || e == ENODEV || e == ENXIO || e == ENOTDIR;
    throw EAfComPortCoreError(missing ? "Invalid port number (" + com + ")" : "Can't open device " + com,
                              device + ": " + SystemText(e) +
                                  (e == EACCES ? " (is the user in the group dialout?)" : ""));
  }
  auto giveUp = [&](const std::string& message, const std::string& detail) {
    ::close(fd);
    throw EAfComPortCoreError(message, detail);
  };
  if (!::isatty(fd)) giveUp("Invalid port number (" + com + ")", device + ": not a serial device");
  // Another instance of this program (or anything else that locks the
  // device) has it; the terminal-exclusive flag below keeps out programs
  // that do not lock, except those running as root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) giveUp("Can't open device " + com, device + ": in use by another program");
  ::ioctl(fd, TIOCEXCL);
  try {
    ApplyLine(fd, baudRate_);
  } catch (const EAfComPortCoreError& e) {
    ::ioctl(fd, TIOCNXCL);
    giveUp(e.what(), e.Detail());
  }

  fd_ = fd;
  ++session_;
  SetModemLine(TIOCM_DTR, dtr_);
  SetModemLine(TIOCM_RTS, rts_);
  rx_.clear();
  tx_.clear();
  txHead_ = 0;
  midSentence_ = false;
  idleWakeups_ = 0;
  readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(readNotifier_, &QSocketNotifier::activated, this, &TAfComPort::OnReadable);
  writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
  writeNotifier_->setEnabled(false);
  connect(writeNotifier_, &QSocketNotifier::activated, this, &TAfComPort::OnWritable);
}

void TAfComPort::CloseDevice() {
  if (fd_ < 0) return;
  // Notifiers may be the ones whose notification is running right now:
  // switch them off now and let the event loop free them.
  for (QSocketNotifier* n : {readNotifier_, writeNotifier_}) {
    if (!n) continue;
    n->setEnabled(false);
    n->disconnect(this);
    n->deleteLater();
  }
  readNotifier_ = nullptr;
  writeNotifier_ = nullptr;
  // A pseudo-terminal keeps the exclusive flag after our close; clear it so
  // that the device is free for whoever comes next.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  ++session_;
  rx_.clear();
  tx_.clear();
  txHead_ = 0;
  midSentence_ = false;
}

void TAfComPort::ApplyLine(int fd, int ordinal) const {
  const std::string dcb = "Error setting parameters from DCB";
  const int rate = AfBaudRateValue(ordinal, userBaudRate_);
  if (rate <= 0) throw EAfComPortCoreError(dcb, Device() + ": no baud rate");
  termios t{};
  if (::tcgetattr(fd, &t) != 0) throw EAfComPortCoreError(dcb, Device() + ": " + SystemText(errno));
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  t.c_iflag |= IGNBRK;
  // One byte satisfies a read, so a non-blocking read without data reports
  // "try again" and a read of 0 bytes means the device hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  const speed_t standard = StandardSpeed(rate);
  if (standard != 0) {
    ::cfsetispeed(&t, standard);
    ::cfsetospeed(&t, standard);
  }
  if (::tcsetattr(fd, TCSANOW, &t) != 0) throw EAfComPortCoreError(dcb, Device() + ": " + SystemText(errno));
  if (standard == 0 && !SetArbitraryBaudRate(fd, rate))
    throw EAfComPortCoreError(dcb, Device() + ": rate " + std::to_string(rate) + " refused");
}

int TAfComPort::ActualBaudRate() const { return Active() ? ReadArbitraryBaudRate(fd_) : 0; }

// ---------------------------------------------------------------------------
// A vanished device

void TAfComPort::Lose(const std::string& why) {
  CloseDevice();
  lostReason_ = Device() + ": " + why;
  reopening_ = true;
  reopenAttempts_ = 0;
  retryDelay_ = std::max(1, RetryInterval);
  retryTimer_->start(retryDelay_);
  emit PortLost(QString::fromStdString(lostReason_));
}

void TAfComPort::TryReopen() {
  if (!reopening_ || Active()) return;
  ++reopenAttempts_;
  try {
    OpenDevice();
  } catch (const EAfComPortCoreError&) {
    retryDelay_ = std::min(std::max(retryDelay_, 1) * 2, std::max(RetryIntervalMax, 1));
    retryTimer_->start(retryDelay_);
    return;
  }
  reopening_ = false;
  lostReason_.clear();
  emit PortRestored();
}

void TAfComPort::StopReopening() {
  retryTimer_->stop();
  reopening_ = false;
  lostReason_.clear();
}

// ---------------------------------------------------------------------------
// Receiving

void TAfComPort::OnReadable() {
  if (fd_ < 0) return;
  const size_t cap = static_cast<size_t>(inBufSize_);
  if (rx_.size() >= cap) {
    // A full buffer waits for its reader; the driver holds what comes next.
    readNotifier_->setEnabled(false);
    return;
  }
  const size_t before = rx_.size();
  std::string gone;
  char chunk[4096];
  while (rx_.size() < cap) {
    const size_t want = std::min(sizeof chunk, cap - rx_.size());
    const ssize_t n = ::read(fd_, chunk, want);
    if (n > 0) {
      rx_.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) {
      gone = "hang-up";
      break;
    }
    if (errno == EINTR) continue;
    if (DeviceGone(errno)) gone = SystemText(errno);
    break;
  }
  if (rx_.size() > before)
    idleWakeups_ = 0;
  else if (gone.empty() && ++idleWakeups_ >= kMaxIdleWakeups)
    gone = "device reports data but gives none";
  if (gone.empty() && rx_.size() >= cap) readNotifier_->setEnabled(false);

  const uint64_t session = session_;
  // What arrived before a loss is still good: hand it over first.
  if (rx_.size() > before) emit DataRecived(InBufUsed());
  if (!gone.empty() && session == session_ && Active()) Lose(gone);
}

void TAfComPort::DrainDriver(std::string& into, size_t limit) {
  char chunk[4096];
  while (into.size() < limit) {
    const ssize_t n = ::read(fd_, chunk, std::min(sizeof chunk, limit - into.size()));
    if (n > 0) {
      into.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Nothing more now, or the device is gone: the read notification sees
    // the latter and handles it.
    break;
  }
}

int TAfComPort::InBufUsed() const {
  if (fd_ < 0) return 0;
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
  const int64_t total = static_cast<int64_t>(rx_.size()) + waiting;
  return static_cast<int>(std::min<int64_t>(total, 0x7fffffff));
}

std::string TAfComPort::ReadString() {
  if (fd_ < 0) return {};
  std::string out;
  out.swap(rx_);
  DrainDriver(out, out.size() + kMaxDrain);
  if (readNotifier_) readNotifier_->setEnabled(true);
  return out;
}

void TAfComPort::Read(void* buffer, int count) {
  if (count <= 0) return;
  const size_t want = static_cast<size_t>(count);
  if (fd_ >= 0 && rx_.size() < want) DrainDriver(rx_, want);
  if (fd_ < 0 || rx_.size() < want) Fail("Read data error");
  std::memcpy(buffer, rx_.data(), want);
  rx_.erase(0, want);
  if (readNotifier_ && rx_.size() < static_cast<size_t>(inBufSize_)) readNotifier_->setEnabled(true);
}

void TAfComPort::PurgeRx() {
  if (fd_ < 0) return;
  rx_.clear();
  ::tcflush(fd_, TCIFLUSH);
  if (readNotifier_) readNotifier_->setEnabled(true);
}

// ---------------------------------------------------------------------------
// Sending

int TAfComPort::OutBufFree() const {
  if (fd_ < 0) return 0;
  return outBufSize_ - static_cast<int>(tx_.size() - txHead_);
}

void TAfComPort::WriteString(std::string_view text) {
  if (text.empty()) return;
  if (text.size() > static_cast<size_t>(kMaxBufSize)) {
    if (Active())
      Fail("Write data error [requested: " + std::to_string(text.size()) +
           ", free: " + std::to_string(OutBufFree()) + "]");
    return;
  }
  Write(text.data(), static_cast<int>(text.size()));
}

void TAfComPort::Write(const void* data, int count) {
  if (fd_ < 0 || count <= 0) return;
  const int free = OutBufFree();
  if (count > free)
    Fail("Write data error [requested: " + std::to_string(count) + ", free: " + std::to_string(free) + "]");
  if (txHead_ > 0) {
    tx_.erase(0, txHead_);
    txHead_ = 0;
  }
  tx_.append(static_cast<const char*>(data), static_cast<size_t>(count));
  ArmWrite();
}

int TAfComPort::WriteSentences(std::string_view text) {
  if (fd_ < 0 || text.empty()) return 0;
  const std::string_view queued(tx_.data() + txHead_, tx_.size() - txHead_);
  const size_t cap = static_cast<size_t>(outBufSize_);
  int dropped = 0;
  std::string next;
  if (queued.size() + text.size() <= cap) {
    next.reserve(queued.size() + text.size());
    next.append(queued).append(text);
  } else {
    // The rest of a sentence the device has partly received must follow it
    // whole; everything after it may go, oldest first, one sentence at a
    // time.
    size_t keep = 0;
    if (midSentence_) {
      const size_t nl = queued.find('\n');
      keep = nl == std::string_view::npos ? queued.size() : nl + 1;
    }
    std::string rest;
    rest.reserve(queued.size() - keep + text.size());
    rest.append(queued.substr(keep)).append(text);
    const size_t excess = keep + rest.size() - cap;
    size_t cut = 0;
    while (cut < excess) {
      const size_t nl = rest.find('\n', cut);
      cut = nl == std::string::npos ? rest.size() : nl + 1;
      ++dropped;
    }
    next.reserve(cap);
    next.append(queued.substr(0, keep)).append(std::string_view(rest).substr(cut));
  }
  tx_ = std::move(next);
  txHead_ = 0;
  droppedSentences_ += dropped;
  if (!tx_.empty()) ArmWrite();
  return dropped;
}

void TAfComPort::ArmWrite() {
  // The bytes go out when the device can take them; a caller never waits.
  if (writeNotifier_ && txHead_ < tx_.size()) writeNotifier_->setEnabled(true);
}

void TAfComPort::OnWritable() {
  if (fd_ < 0) return;
  while (txHead_ < tx_.size()) {
    const ssize_t n = ::write(fd_, tx_.data() + txHead_, tx_.size() - txHead_);
    if (n > 0) {
      txHead_ += static_cast<size_t>(n);
      bytesSent_ += n;
      midSentence_ = tx_[txHead_ - 1] != '\n';
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && !DeviceGone(errno)) return;  // the device is busy: wait for the next notification
    Lose(n == 0 ? "device takes no data" : SystemText(errno));
    return;
  }
  tx_.clear();
  txHead_ = 0;
  writeNotifier_->setEnabled(false);
  emit OutBufEmptied();
}

bool TAfComPort::PurgeTx() {
  if (fd_ < 0) return true;
  tx_.clear();
  txHead_ = 0;
  midSentence_ = false;
  if (writeNotifier_) writeNotifier_->setEnabled(false);
  ::tcflush(fd_, TCOFLUSH);
  return true;
}
