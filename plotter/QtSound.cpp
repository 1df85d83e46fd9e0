#include "plotter/QtSound.h"

#include <QApplication>
#include <QSoundEffect>
#include <QUrl>

TQtSoundSink::TQtSoundSink() = default;
TQtSoundSink::~TQtSoundSink() = default;

bool TQtSoundSink::PlayFile(const std::string& path) {
  auto it = effects_.find(path);
  if (it == effects_.end()) {
    // A handful of alarm files at most: each stays loaded.
    auto effect = std::make_unique<QSoundEffect>();
    effect->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    it = effects_.emplace(path, std::move(effect)).first;
  }
  QSoundEffect& e = *it->second;
  if (e.status() == QSoundEffect::Error) return false;
  // A sound still playing is cut and started again, never queued: alarms
  // come every few seconds and must not pile up.
  e.stop();
  e.play();
  return true;
}

void TQtSoundSink::Beep() { QApplication::beep(); }
