// The chart canvas's cursors: for each cursor mode (measure, route add,
// route insert, aim, pan) a normal and a fat variant.
#pragma once

#include <QCursor>
#include <QWidget>

#include <algorithm>

#include "plotter/Artwork.h"

struct TChartCursors {
  QCursor ChartCursors[kChartCursorCount];
  QCursor FatChartCursors[kChartCursorCount];
  bool FatCursors = false;
  TChartCursor CursorMode = ccAim;

  // Makes the cursors from the artwork.
  void Load() {
    for (int i = 0; i < kChartCursorCount; ++i) {
      ChartCursors[i] = ChartCursor(static_cast<TChartCursor>(i), false);
      FatChartCursors[i] = ChartCursor(static_cast<TChartCursor>(i), true);
    }
  }
  // The cursor of a mode, fat or not as the settings say.
  const QCursor& Of(int mode) const { return FatCursors ? FatChartCursors[mode] : ChartCursors[mode]; }
  // The canvas shows the cursor of the current mode.
  void Show(QWidget& canvas) const {
    canvas.setCursor(Of(std::clamp(static_cast<int>(CursorMode), 0, kChartCursorCount - 1)));
  }
};
