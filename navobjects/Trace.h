// The track recorder: daily track files of the boat's positions. (Only what
// the main window needs at start so far; tracks come with their own work.)
#pragma once

class TWorldConvert;

class TTrace {
 public:
  explicit TTrace(TWorldConvert* converter) : converter_(converter) {}
  TTrace(const TTrace&) = delete;
  TTrace& operator=(const TTrace&) = delete;

  void Start() { active_ = true; }
  void Stop() { active_ = false; }
  bool Active() const { return active_; }
  TWorldConvert* Converter() const { return converter_; }

 private:
  TWorldConvert* converter_;
  bool active_ = false;
};
