#include "calibrator/border/CheckGrid.h"

#include <QComboBox>

#include <algorithm>

#include "calibrator/calibration/core/Calibration.h"
#include "platform/Canvas.h"

TCheckGrid::TCheckGrid(QComboBox& showGrid, const TCalibration& cal, TMapView& map, TCalViews& views)
    : showGrid_(showGrid), cal_(cal), map_(map) {
  connect(&showGrid_, &QComboBox::currentIndexChanged, this, [this] {
    Refresh();
    map_.Update();
  });
  map_.AddOverlay(TMapLayer::Grid, *this);
  views.Add(*this);
}

void TCheckGrid::Refresh() {
  grid_ = cal_.IsOpen() ? cal_.Grid(static_cast<TGridDensity>(std::clamp(showGrid_.currentIndex(), 0, 3))) : TCalGrid();
}

void TCheckGrid::PaintOverlay(ICanvas& canvas) {
  if (grid_.Lines.empty()) return;
  canvas.SetPen({ColorToRGB(map_.Colours.Grid), 1, TPenStyle::Dash});
  for (const TGridLine& line : grid_.Lines) map_.DrawPixelLine(canvas, line.Pixels);
}
