#include "calibrator/longrun/MessagePanel.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "calibrator/longrun/core/LongCommand.h"
#include "charts/ChartList.h"
#include "platform/Clock.h"

TMessagePanel::TMessagePanel(const TMessagePanelControls& controls, QWidget& area, TLongCommand& command)
    : c_(controls), area_(area), command_(command) {
  connect(&c_.BT, &QPushButton::clicked, this, [this] { command_.RequestCancel(); });
  area_.installEventFilter(this);
  SetProgressCallback([this](const std::string& text, int position, int max) {
    // A long run reports every chart; the panel is painted at most every
    // 50 ms in between (its first and last steps always).
    const TMonoTime now = Clock().MonoNow();
    const bool between = !text.empty() && position > 0 && position < max - 1;
    if (between && now - lastProgress_ < std::chrono::milliseconds(50)) return true;
    lastProgress_ = now;
    Show(text, position, max);
    return true;
  });
}

TMessagePanel::~TMessagePanel() { SetProgressCallback({}); }

void TMessagePanel::Show(const std::string& text, int position, int max) {
  const TProgressPanel panel = ProgressPanelFor(text, position, max, command_);
  if (!panel.Shown) {
    c_.MsgP.hide();
    return;
  }
  c_.MsgT.setText(QString::fromStdString(text));
  c_.MsgB.setRange(0, panel.Max);
  c_.MsgB.setValue(panel.Position);
  c_.MsgB.setVisible(panel.Bar);
  c_.BT.setVisible(panel.Cancel);
  Centre();
  c_.MsgP.show();
  c_.MsgP.raise();
  c_.MsgP.repaint();
}

bool TMessagePanel::Step(const std::string& text, int position, int max) {
  Show(text, position, max);
  QApplication::processEvents();
  return !command_.CancelRequested();
}

void TMessagePanel::Centre() {
  c_.MsgP.move((area_.width() - c_.MsgP.width()) / 2, (area_.height() - c_.MsgP.height()) / 2);
}

bool TMessagePanel::eventFilter(QObject* watched, QEvent* e) {
  if (watched == &area_ && e->type() == QEvent::Resize && c_.MsgP.isVisible()) Centre();
  return QObject::eventFilter(watched, e);
}
