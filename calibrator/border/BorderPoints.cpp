#include "calibrator/border/BorderPoints.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "platform/Canvas.h"
#include "platform/Questions.h"
#include "sharedui/PosEdit.h"

namespace {

constexpr const char* kNeedsFit = "Border points need an activated calibration (Activate Changes)";

}  // namespace

TBorderPoints::TBorderPoints(const TBorderPointControls& controls, const TSidePages& pages, TCalibration& cal,
                             TMapView& map, TCalViews& views, TFormDialogs& dialogs)
    : c_(controls), pages_(pages), cal_(cal), map_(map), views_(views), dialogs_(dialogs) {
  connect(&c_.BDList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updating_) Select(row, true);
  });
  connect(&c_.BorderLat, &QLineEdit::textEdited, this, [this] { FieldEdited(); });
  connect(&c_.BorderLong, &QLineEdit::textEdited, this, [this] { FieldEdited(); });
  connect(&c_.SetBorderButton, &QPushButton::clicked, this, [this] { SetBorderToImageClick(); });
  connect(&c_.BDLineShow, &QCheckBox::toggled, this, [this] { map_.Update(); });
  map_.BorderMarkers.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { MarkerDropped(s); };
  map_.BorderMarkers.OnClick = [this](TNavShape& s, const TShapeMouse&) { Select(s.Index, false); };
  map_.AddOverlay(TMapLayer::BorderLine, *this);
  views_.Add(*this);
}

void TBorderPoints::SetBorderToImageClick() {
  if (!cal_.IsOpen() || cal_.ReadOnly()) return;
  if (!cal_.SetBorderToImage()) {
    dialogs_.Say(kNeedsFit, mfIconWarning);
    return;
  }
  views_.RefreshAll();
}

// ---------------------------------------------------------------------------
// The points

void TBorderPoints::Select(int index, bool centre) {
  if (index >= cal_.BorderCount()) index = -1;
  cal_.SelectedBorder = index;
  RefreshList();
  RefreshFields();
  map_.SyncMarkers();
  TFPoint px;
  if (centre && index >= 0 && cal_.BorderPixel(index, px)) map_.CentreOn(px);
  map_.Update();
}

void TBorderPoints::AddAt(const TFPoint& pixel) {
  if (!cal_.FitValid()) {
    dialogs_.Say(kNeedsFit, mfIconWarning);
    return;
  }
  const int i = cal_.AddBorderPoint(pixel);
  if (i >= 0) Select(i, false);
}

void TBorderPoints::SelectClosest(const TFPoint& pixel) { Select(cal_.ClosestBorder(pixel), true); }

void TBorderPoints::DeleteSelected() {
  if (cal_.DeleteBorderPoint(cal_.SelectedBorder)) Select(-1, false);
  views_.RefreshAll();
}

void TBorderPoints::FieldEdited() {
  const int i = cal_.SelectedBorder;
  if (i < 0 || updating_) return;
  bool changed = false;
  for (TPosEdit* f : {&c_.BorderLat, &c_.BorderLong}) {
    const std::optional<double> v = f->Value();
    MarkTyped(*f, v.has_value());
    if (!v) continue;
    changed |= f == &c_.BorderLat ? cal_.SetBorderLatitude(i, *v) : cal_.SetBorderLongitude(i, *v);
  }
  if (changed) {
    map_.SyncMarkers();
    map_.Update();
  }
}

void TBorderPoints::MarkerDropped(TNavShape& s) {
  const int i = s.Index;
  TFPoint pos;
  if (cal_.PixelToGeo(map_.ImagePixelAt(QPoint(s.PosX(), s.PosY())), pos)) {
    cal_.SetBorderLatitude(i, pos.Y);
    cal_.SetBorderLongitude(i, pos.X);
  }
  Select(i, false);
}

// ---------------------------------------------------------------------------
// The page and the border line

void TBorderPoints::Refresh() {
  const bool editable = cal_.IsOpen() && !cal_.ReadOnly();
  for (QWidget* w : {static_cast<QWidget*>(&c_.SetBorderButton), static_cast<QWidget*>(&c_.BorderLat),
                     static_cast<QWidget*>(&c_.BorderLong)})
    w->setEnabled(editable);
  RefreshList();
  RefreshFields();
}

void TBorderPoints::RefreshList() {
  updating_ = true;
  FillPointList(c_.BDList, cal_.BorderCount(), cal_.SelectedBorder);
  updating_ = false;
}

void TBorderPoints::RefreshFields() {
  updating_ = true;
  const int i = cal_.SelectedBorder;
  for (TPosEdit* f : {&c_.BorderLat, &c_.BorderLong}) MarkTyped(*f, true);
  if (i >= 0) {
    c_.BorderLat.SetValue(cal_.Border(i).Y);
    c_.BorderLong.SetValue(cal_.Border(i).X);
  } else {
    c_.BorderLat.SetValue(0);
    c_.BorderLong.SetValue(0);
  }
  const bool editable = cal_.IsOpen() && !cal_.ReadOnly() && i >= 0;
  c_.BorderLat.setEnabled(editable);
  c_.BorderLong.setEnabled(editable);
  updating_ = false;
}

bool TBorderPoints::FieldsComplete() {
  return PositionComplete(c_.BorderLat, cal_.SelectedBorder, "Border", dialogs_) &&
         PositionComplete(c_.BorderLong, cal_.SelectedBorder, "Border", dialogs_);
}

void TBorderPoints::PaintOverlay(ICanvas& canvas) {
  if (!c_.BDLineShow.isChecked()) return;
  canvas.SetPen({ColorToRGB(map_.Colours.BorderLine), 2, TPenStyle::Solid});
  for (const std::vector<TFPoint>& edge : cal_.BorderLine()) map_.DrawPixelLine(canvas, edge);
}
