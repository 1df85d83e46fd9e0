// Alarm sounds through Qt Multimedia: each sound file is loaded once into a
// sound effect and played from memory, so a sound starts at once and the
// update tick never waits for the audio device. Without a device (or with a
// file it cannot read) a play is refused and the speaker falls back.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "navobjects/LogBook.h"

class QSoundEffect;

class TQtSoundSink final : public ISoundSink {
 public:
  TQtSoundSink();
  ~TQtSoundSink() override;
  bool PlayFile(const std::string& path) override;
  void Beep() override;

 private:
  std::map<std::string, std::unique_ptr<QSoundEffect>> effects_;
};
