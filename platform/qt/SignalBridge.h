// Termination requests from outside the program: SIGTERM (system shutdown,
// "kill"), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went away)
// become a Qt signal on the main thread, so the window can close in the
// orderly way and save what it must. The signal handler itself only writes
// one byte to a pipe (the only safe thing a handler may do); a socket
// notifier on the other end delivers it to the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

class TSignalBridge : public QObject {
  Q_OBJECT
 public:
  explicit TSignalBridge(QObject* parent = nullptr);
  ~TSignalBridge() override;

  // Installs the handlers for SIGTERM, SIGINT and SIGHUP. False when the
  // pipe cannot be made (the default handling then stays).
  bool Install();

 signals:
  void TerminationRequested(int signalNumber);

 private:
  void Drain();
  QSocketNotifier* notifier_ = nullptr;
  bool installed_ = false;
};
