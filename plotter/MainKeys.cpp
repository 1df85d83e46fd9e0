// The main window's keyboard: it sees every key of its controls before they
// do, and the key map (plotter/core/KeyMap.h) decides which keys are
// commands.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "geodesy/CTrans.h"
#include "plotter/MainForm.h"
#include "plotter/chartview/ChartDisplay.h"
#include "plotter/dashboard/DashboardColumn.h"

TKeyInput KeyInputFromQt(int key, Qt::KeyboardModifiers modifiers) {
  TKeyInput in;
  in.ctrl = modifiers.testFlag(Qt::ControlModifier);
  const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
  if (key == Qt::Key_Plus && keypad) {
    in.kind = TKeyInput::KeypadPlus;
  } else if (key == Qt::Key_Minus && keypad) {
    in.kind = TKeyInput::KeypadMinus;
  } else if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
    in.kind = TKeyInput::Function;
    in.number = key - Qt::Key_F1 + 1;
  } else if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    in.kind = TKeyInput::Letter;
    in.ch = static_cast<char>('A' + (key - Qt::Key_A));
  } else if (key >= Qt::Key_0 && key <= Qt::Key_9 && !keypad) {
    in.kind = TKeyInput::Digit;
    in.ch = static_cast<char>('0' + (key - Qt::Key_0));
  } else if (key == Qt::Key_Space) {
    in.kind = TKeyInput::Space;
  } else if (key == Qt::Key_Control) {
    in.kind = TKeyInput::ControlKey;
  } else if (key == Qt::Key_Alt || key == Qt::Key_AltGr) {
    in.kind = TKeyInput::AltKey;
  }
  return in;
}

bool T_Form::eventFilter(QObject* watched, QEvent* e) {
  if (!destroyed_) {
    if (e->type() == QEvent::KeyPress) {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->window() == this) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (FormKeyDown(KeyInputFromQt(ke->key(), ke->modifiers()), ke->timestamp(), ke->isAutoRepeat())) {
          ke->accept();
          return true;
        }
      }
    } else if (e->type() == QEvent::Enter && DB && DB->width() < DashboardDesignWidth &&
               (watched == DB || watched == DB_MARKER ||
                watched->objectName() == QLatin1String("DB_MAINMENU_X"))) {
      // The mouse over the collapsed column brings it back.
      if (dashboard_) dashboard_->ShowDashboard(true);
    } else if (e->type() == QEvent::Resize && watched == DB) {
      LayoutDashboard();
    } else if (e->type() == QEvent::Resize && MsgP && watched == MsgP->parentWidget()) {
      // The chart area changed its size: the message panel stays across its
      // middle.
      PlaceMessagePanel();
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

bool T_Form::TextFieldFocused() const {
  QWidget* f = QApplication::focusWidget();
  if (!f || f->window() != this) return false;
  if (qobject_cast<QLineEdit*>(f) || qobject_cast<QAbstractSpinBox*>(f)) return true;
  if (auto* c = qobject_cast<QComboBox*>(f)) return c->isEditable();
  if (auto* p = qobject_cast<QPlainTextEdit*>(f)) return !p->isReadOnly();
  if (auto* t = qobject_cast<QTextEdit*>(f)) return !t->isReadOnly();
  return false;
}

bool T_Form::FormKeyDown(const TKeyInput& key, uint64_t timestamp, bool autoRepeat) {
  const TKeyDecision d = DecideKey(key, {PlotterFlags.Has(pfChartLoaded), TextFieldFocused()});
  if (!d.handled) return false;
  // Repeats that queued up while the last command ran are swallowed.
  if (keyGate_.ShouldDrop(timestamp, autoRepeat)) return true;
  if (chart_) chart_->StoreMenuPosition();
  QElapsedTimer clock;
  clock.start();
  try {
    DoKeyAction(d);
  } catch (...) {
    // A failing command must not take the window with it.
  }
  keyGate_.Handled(timestamp, static_cast<uint64_t>(clock.elapsed()));
  return true;
}

void T_Form::DoKeyAction(const TKeyDecision& d) {
  if (KeyObserver) KeyObserver(d);
  switch (d.action) {
    case TKeyAction::ShadeLevel:
      SetShadeLevel(d.shadeLevel);
      break;
    case TKeyAction::ToggleAutomatic:
      DBI_AUTOClick();
      break;
    case TKeyAction::ToggleTrack:
      DBI_TRACEClick();
      break;
    case TKeyAction::TogglePilot:
      DBI_PILOTClick();
      break;
    case TKeyAction::ToggleDashboard:
      if (dashboard_) dashboard_->ShowDashboard(!dashboard_->DashboardExpanded());
      break;
    case TKeyAction::LogBookEntry:
      if (dashboard_) dashboard_->LogBookEntryClick();
      break;
    case TKeyAction::ToggleDoubleClickAction:
      if (chart_) chart_->ToggleDoubleClickAction();
      break;
    case TKeyAction::ManOverboard:
      MANOVERBOARD1Click();
      break;
    case TKeyAction::ClearMarker:
      if (chart_) chart_->ClearMarker();
      break;
    case TKeyAction::AcknowledgeWaypoint:
      DBRteHINTDblClick();
      break;
    case TKeyAction::PreferredCharts:
      PrefScale1Click();
      break;
    default:
      // The chart commands.
      if (chart_) chart_->DoChartKeyAction(d);
      break;
  }
}
