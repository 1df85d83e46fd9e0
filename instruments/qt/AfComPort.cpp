#include "instruments/qt/AfComPort.h"

#include <QSerialPort>

#include <array>

namespace {
constexpr std::array<int, 13> kRates = {110,  300,   600,   1200,  2400,  4800,  9600,
                                        14400, 19200, 38400, 56000, 57600, 115200};
}

TAfComPort::TAfComPort(QObject* parent) : QObject(parent), port_(new QSerialPort(this)) {
  connect(port_, &QSerialPort::readyRead, this,
          [this] { emit DataRecived(static_cast<int>(port_->bytesAvailable())); });
}

TAfComPort::~TAfComPort() { Close(); }

void TAfComPort::SetComNumber(int number) {
  if (number == comNumber_) return;
  const bool wasOpen = Active();
  if (wasOpen) Close();
  comNumber_ = number;
  if (wasOpen) Open();
}

void TAfComPort::SetBaudRate(int index) {
  if (index < 0 || index >= static_cast<int>(kRates.size())) return;
  baudRate_ = index;
  if (Active()) port_->setBaudRate(kRates[static_cast<size_t>(index)]);
}

std::string TAfComPort::Device() const {
  if (!DeviceName.empty()) return DeviceName;
  return "/dev/ttyS" + std::to_string(comNumber_ - 1);
}

void TAfComPort::Open() {
  const std::string com = "COM" + std::to_string(comNumber_);
  if (comNumber_ <= 0) throw EAfComPortCoreError("Invalid port number (" + com + ")");
  if (Active()) return;
  port_->setPortName(QString::fromStdString(Device()));
  port_->setReadBufferSize(InBufSize);
  if (!port_->open(QIODevice::ReadWrite)) {
    const bool missing = port_->error() == QSerialPort::DeviceNotFoundError;
    port_->clearError();
    throw EAfComPortCoreError(missing ? "Invalid port number (" + com + ")" : "Can't open device " + com);
  }
  const bool ok = port_->setBaudRate(kRates[static_cast<size_t>(baudRate_)]) &&
                  port_->setDataBits(QSerialPort::Data8) && port_->setParity(QSerialPort::NoParity) &&
                  port_->setStopBits(QSerialPort::OneStop) && port_->setFlowControl(QSerialPort::NoFlowControl);
  if (!ok) {
    port_->close();
    throw EAfComPortCoreError("Error setting parameters from DCB");
  }
}

void TAfComPort::Close() {
  if (port_->isOpen()) port_->close();
}

bool TAfComPort::Active() const { return port_->isOpen(); }

void TAfComPort::PurgeRx() {
  if (Active()) port_->clear(QSerialPort::Input);
}

void TAfComPort::PurgeTx() {
  if (Active()) port_->clear(QSerialPort::Output);
}

std::string TAfComPort::ReadString() {
  if (!Active()) return {};
  return port_->readAll().toStdString();
}

bool TAfComPort::WriteString(const std::string& text) {
  if (!Active()) return false;
  if (text.empty()) return true;
  return port_->write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}
