// The lock of the calibration tool's long commands (a conversion, a
// directory run, a catalog command, an import, a save). While one runs the
// window goes on serving events, so whatever could start another command or
// change what the running one reads is switched off, and on again when it
// ends, however it ends; the message panel is hidden then.
#pragma once

#include <functional>
#include <vector>

class QMenu;
class QWidget;
class TLongCommand;
class TMessagePanel;

// What a long command switches off.
struct TLockedControls {
  // The window: its own keys (the shortcuts that are its direct children).
  QWidget& Window;
  // The tool bar (its buttons and their keys), the mouse on the map, the
  // side panel's pages and the zoom buttons. The view itself still scrolls.
  std::vector<QWidget*> Widgets;
  // Every item of these menus and of their submenus.
  std::vector<QMenu*> Menus;
};

class TCommandLock {
 public:
  TCommandLock(TLongCommand& command, TMessagePanel& panel, TLockedControls controls);

  // Starts a command; false (and nothing changes) while one runs.
  bool Begin(bool cancellable);
  void End();
  bool Running() const;
  // "Cancel" has been pressed during the running command.
  bool CancelRequested() const;

 private:
  TLongCommand& command_;
  TMessagePanel& panel_;
  TLockedControls controls_;
  // What the running command switched off, to switch on again.
  std::vector<std::function<void()>> resume_;
};

// A long command, for the life of the object. Started() is false (and
// nothing changes) while another one runs.
class TLongRun {
 public:
  TLongRun(TCommandLock& lock, bool cancellable) : lock_(lock), started_(lock.Begin(cancellable)) {}
  ~TLongRun() {
    if (started_) lock_.End();
  }
  TLongRun(const TLongRun&) = delete;
  TLongRun& operator=(const TLongRun&) = delete;
  bool Started() const { return started_; }

 private:
  TCommandLock& lock_;
  bool started_;
};

class TFormDialogs;

// What a command of the window works with besides its own objects: the
// messages and questions, the lock of long commands and the message panel.
struct TCommandServices {
  TFormDialogs& Dialogs;
  TCommandLock& Lock;
  TMessagePanel& Panel;
};
