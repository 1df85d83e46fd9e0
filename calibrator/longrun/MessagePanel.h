// The message panel of the calibration tool's window: MsgP with its text
// MsgT, its bar MsgB and "Cancel" BT, shown in the middle of the window
// while a long operation runs. Every feature reports progress through it:
// the charts code through the program's progress callback (at most one
// paint every 50 ms between a run's first and last step), a command that
// serves events while it runs through Step.
#pragma once

#include <QObject>

#include <chrono>
#include <string>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class TLongCommand;

struct TMessagePanelControls {
  QFrame& MsgP;
  QLabel& MsgT;
  QProgressBar& MsgB;
  QPushButton& BT;
};

class TMessagePanel : public QObject {
 public:
  // Centred over `area` (the window's central widget), also when that
  // changes size; "Cancel" asks the running command to stop.
  TMessagePanel(const TMessagePanelControls& controls, QWidget& area, TLongCommand& command);
  ~TMessagePanel() override;

  // The text, the bar (with a maximum of 1 or more) and "Cancel" (while the
  // running command can stop); hidden with neither text nor maximum.
  void Show(const std::string& text, int position, int max);
  void Hide() { Show(std::string(), 0, 0); }
  // A step of a command that serves events while it runs: shown, then the
  // events served; false when "Cancel" has been pressed.
  bool Step(const std::string& text, int position, int max);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Centre();

  TMessagePanelControls c_;
  QWidget& area_;
  TLongCommand& command_;
  // When the panel last showed a step of a long run.
  std::chrono::nanoseconds lastProgress_{};
};
