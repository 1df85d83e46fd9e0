#include "calibrator/calibration/MeasuringSquare.h"

#include <QShortcut>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include "calibrator/calibration/CalViews.h"
#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/mapview/MapMouse.h"
#include "foundation/NumText.h"
#include "platform/Canvas.h"
#include "platform/Questions.h"

TMeasuringSquare::TMeasuringSquare(QWidget& window, TCalibration& cal, TMapView& map, const TMapMouse& mouse,
                                   TCalViews& views, TFormDialogs& dialogs)
    : cal_(cal), map_(map), mouse_(mouse), views_(views), dialogs_(dialogs) {
  // Ctrl with Page Up / keypad 9 (larger), Page Down / keypad 3 (smaller),
  // the arrows / keypad 4 8 6 2 (move). The keys are the window's own, so
  // that a long command switches them off with the window's.
  struct TStickKey {
    QKeyCombination key;
    int dx, dy, grow;
  };
  const TStickKey keys[] = {
      {Qt::ControlModifier | Qt::Key_PageUp, 0, 0, 1},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_9, 0, 0, 1},
      {Qt::ControlModifier | Qt::Key_PageDown, 0, 0, -1},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_3, 0, 0, -1},
      {Qt::ControlModifier | Qt::Key_Left, -1, 0, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_4, -1, 0, 0},
      {Qt::ControlModifier | Qt::Key_Right, 1, 0, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_6, 1, 0, 0},
      {Qt::ControlModifier | Qt::Key_Up, 0, -1, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_8, 0, -1, 0},
      {Qt::ControlModifier | Qt::Key_Down, 0, 1, 0},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_2, 0, 1, 0},
  };
  for (const TStickKey& k : keys) {
    auto* s = new QShortcut(QKeySequence(k.key), &window);
    const int dx = k.dx, dy = k.dy, grow = k.grow;
    connect(s, &QShortcut::activated, this, [this, dx, dy, grow] { Move(dx, dy, grow); });
  }
  map_.AddOverlay(TMapLayer::Square, *this);
}

void TMeasuringSquare::StickShowClick() {
  shown_ = !shown_ && cal_.IsOpen();
  if (shown_) centre_ = mouse_.LastRightClick();
  map_.Update();
}

void TMeasuringSquare::Move(int dx, int dy, int grow) {
  if (!shown_) return;
  centre_.X += dx;
  centre_.Y += dy;
  size_ = std::clamp(size_ + grow, 2, 10000);
  map_.Update();
}

void TMeasuringSquare::StickCalibrateClick() {
  if (!shown_ || cal_.RefCount() != 1 || cal_.ReadOnly()) return;
  const std::optional<std::string> answer = dialogs_.Ask("Box Size", "Size in Meters", "100");
  if (!answer) return;
  const std::optional<double> metres = TryStrToFloatDot(*answer);
  if (!metres || !(*metres > 0)) {
    dialogs_.Say("Not a size in metres: " + *answer, mfIconWarning);
    return;
  }
  cal_.StickCalibrate(*metres, size_, size_);
  views_.RefreshAll();
}

void TMeasuringSquare::PaintOverlay(ICanvas& canvas) {
  if (!shown_) return;
  const QPoint c = map_.MapPointOf(centre_);
  const int half = static_cast<int>(std::lround(size_ * map_.Zoom() / 2));
  canvas.SetPen({ColorToRGB(map_.Colours.RefSelected), 1, TPenStyle::Solid});
  canvas.SetBrush({0, TBrushStyle::None});
  canvas.DrawRect({c.x() - half, c.y() - half, c.x() + half + 1, c.y() + half + 1});
}
