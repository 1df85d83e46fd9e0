#include "plotter/QtTickTimer.h"

#include <QTimer>

TQtTickTimer::TQtTickTimer(QObject* owner, const char* objectName, int intervalMs) : timer_(new QTimer(owner)) {
  timer_->setObjectName(QString::fromLatin1(objectName));
  timer_->setInterval(intervalMs);
  timer_->setTimerType(Qt::CoarseTimer);
  QObject::connect(timer_, &QTimer::timeout, [this] { Fire(); });
}

TQtTickTimer::~TQtTickTimer() {
  // The QTimer belongs to the owner and may outlive this object by a moment.
  timer_->stop();
  QObject::disconnect(timer_, &QTimer::timeout, nullptr, nullptr);
}

void TQtTickTimer::SetEnabled(bool on) {
  if (on)
    timer_->start();
  else
    timer_->stop();
}

bool TQtTickTimer::Enabled() const { return timer_->isActive(); }
