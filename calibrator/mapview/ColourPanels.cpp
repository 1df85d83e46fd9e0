#include "calibrator/mapview/ColourPanels.h"

#include <QPushButton>

#include <utility>

#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/mapview/MapView.h"

namespace {

QColor ToQColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

void PaintPanel(QPushButton& panel, TColor colour) {
  panel.setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black").arg(ToQColor(colour).name()));
}

}  // namespace

TColourPanels::TColourPanels(const TColourPanelControls& c, TMapView& map, TFormDialogs& dialogs)
    : map_(map), dialogs_(dialogs) {
  TCalColours& colours = map_.Colours;
  const std::pair<QPushButton*, TColor*> panels[] = {
      {&c.BCLR, &colours.Grid},       {&c.RefCN, &colours.RefNormal},   {&c.RefCH, &colours.RefSelected},
      {&c.ECLR, &colours.BorderLine}, {&c.NeatCN, &colours.NeatNormal}, {&c.NeatCH, &colours.NeatSelected}};
  for (const auto& [panel, colour] : panels) {
    PaintPanel(*panel, *colour);
    QPushButton* p = panel;
    TColor* chosen = colour;
    connect(p, &QPushButton::clicked, this, [this, p, chosen] { Pick(*p, *chosen); });
  }
}

void TColourPanels::Pick(QPushButton& panel, TColor& colour) {
  const std::optional<QColor> chosen = dialogs_.ChooseColour(ToQColor(colour));
  if (!chosen) return;
  colour = MakeColor(static_cast<uint8_t>(chosen->red()), static_cast<uint8_t>(chosen->green()),
                     static_cast<uint8_t>(chosen->blue()));
  PaintPanel(panel, colour);
  map_.ApplyMarkerStyles();
  map_.Update();
}
