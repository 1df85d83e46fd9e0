#include "instruments/qt/NetLink.h"

#include "instruments/qt/SignalKLink.h"
#include "instruments/qt/TelnetSend.h"

TNetLink::TNetLink(IClock& clock, QObject* parent) : QObject(parent), clock_(clock) {}

TNetLink::~TNetLink() = default;

void TNetLink::SetState(TState state) {
  if (state_ == state) return;
  state_ = state;
  emit StateChanged();
}

void TNetLink::Say(const std::string& text) { emit Notice(QString::fromStdString(text)); }

std::unique_ptr<TNetLink> MakeNetLink(const TNetSource& source, IClock& clock, QObject* parent) {
  std::unique_ptr<TNetLink> link;
  switch (source.Kind) {
    case TNetKind::None:
      return nullptr;
    case TNetKind::SignalK:
      link = std::make_unique<TSignalKLink>(clock, parent);
      break;
    default:
      link = std::make_unique<TTelnetSend>(clock, parent);
      break;
  }
  link->SetSource(source);
  return link;
}
