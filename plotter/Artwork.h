// The plotter's own pictures: the chart cursors and the window icons, drawn
// by code so that they scale with nothing and need no files.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QPoint>

// The five chart cursor modes.
enum TChartCursor : int { ccMeasure, ccRouteAdd, ccRouteIns, ccAim, ccPan };
inline constexpr int kChartCursorCount = 5;

inline constexpr int kCursorSize = 32;
inline constexpr QPoint kCursorHotSpot{15, 15};

// The 32 x 32 picture of a cursor; `fat` draws it with heavy strokes for
// small or bright screens.
QPixmap ChartCursorImage(TChartCursor cursor, bool fat);
// The cursor itself, hot spot at (15, 15).
QCursor ChartCursor(TChartCursor cursor, bool fat);

// The window icon by day ("BOATICON") and in the shaded night modes
// ("DARKICON"), 32 x 32 (with a 16 x 16 variant).
QIcon BoatIcon();
QIcon DarkIcon();
