// The colour panels of the calibration tool's side panel: the grid (BCLR),
// the reference markers normal (RefCN) and selected (RefCH), the border line
// (ECLR) and the border markers normal (NeatCN) and selected (NeatCH).
// Clicking one opens the colour dialog; the choice applies to the map at
// once and is not stored.
#pragma once

#include <QObject>

#include "foundation/Colors.h"

class QPushButton;
class TFormDialogs;
class TMapView;

struct TColourPanelControls {
  QPushButton& BCLR;
  QPushButton& RefCN;
  QPushButton& RefCH;
  QPushButton& ECLR;
  QPushButton& NeatCN;
  QPushButton& NeatCH;
};

class TColourPanels : public QObject {
 public:
  // The colours are the map's (TMapView::Colours).
  TColourPanels(const TColourPanelControls& controls, TMapView& map, TFormDialogs& dialogs);

 private:
  void Pick(QPushButton& panel, TColor& colour);

  TMapView& map_;
  TFormDialogs& dialogs_;
};
