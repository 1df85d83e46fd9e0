#include "calibrator/longrun/CommandLock.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

#include "calibrator/longrun/MessagePanel.h"
#include "calibrator/longrun/core/LongCommand.h"

TCommandLock::TCommandLock(TLongCommand& command, TMessagePanel& panel, TLockedControls controls)
    : command_(command), panel_(panel), controls_(std::move(controls)) {}

bool TCommandLock::Begin(bool cancellable) {
  if (!command_.Begin(cancellable)) return false;
  auto pause = [this](auto* o) {
    if (!o || !o->isEnabled()) return;
    o->setEnabled(false);
    resume_.push_back([p = QPointer(o)] {
      if (p) p->setEnabled(true);
    });
  };
  for (QWidget* w : controls_.Widgets) pause(w);
  for (QMenu* menu : controls_.Menus)
    for (QAction* a : menu->findChildren<QAction*>()) pause(a);
  for (QShortcut* key : controls_.Window.findChildren<QShortcut*>(Qt::FindDirectChildrenOnly)) pause(key);
  return true;
}

void TCommandLock::End() {
  command_.End();
  for (const std::function<void()>& resume : resume_) resume();
  resume_.clear();
  panel_.Hide();
}

bool TCommandLock::Running() const { return command_.Running(); }

bool TCommandLock::CancelRequested() const { return command_.CancelRequested(); }
