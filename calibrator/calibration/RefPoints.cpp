#include "calibrator/calibration/RefPoints.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "calibrator/mapview/MapView.h"
#include "platform/Questions.h"
#include "sharedui/PosEdit.h"

TRefPoints::TRefPoints(const TRefPointControls& controls, const TSidePages& pages, TCalibration& cal, TMapView& map,
                       TCalViews& views, TFormDialogs& dialogs)
    : c_(controls), pages_(pages), cal_(cal), map_(map), views_(views), dialogs_(dialogs) {
  connect(&c_.CPList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updating_) Select(row, true);
  });
  connect(&c_.CalLat, &QLineEdit::textEdited, this, [this] { FieldEdited(); });
  connect(&c_.CalLong, &QLineEdit::textEdited, this, [this] { FieldEdited(); });
  connect(&c_.PV, &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
  connect(&c_.PH, &QScrollBar::valueChanged, this, [this] { ScrollBarMoved(); });
  connect(&c_.RefPosLock, &QCheckBox::toggled, this, [this](bool on) { cal_.LockPositions = on; });
  connect(&c_.BCalActivate, &QPushButton::clicked, this, [this] { BCalActivateClick(); });
  map_.RefMarkers.OnMouseUp = [this](TNavShape& s, const TShapeMouse&) { MarkerDropped(s); };
  map_.RefMarkers.OnClick = [this](TNavShape& s, const TShapeMouse&) { Select(s.Index, false); };
  views_.Add(*this);
}

TNavShapeCollection& TRefPoints::Markers() { return map_.RefMarkers; }

// ---------------------------------------------------------------------------
// Activation

void TRefPoints::BCalActivateClick() {
  if (!cal_.IsOpen() || !views_.FieldsComplete()) return;
  ShowActivation(cal_.Activate());
}

void TRefPoints::ActivateOnLeave() {
  if (cal_.IsOpen() && !cal_.ReadOnly() && cal_.RefCount() >= 2 && views_.FieldsComplete())
    ShowActivation(cal_.Activate());
}

void TRefPoints::ShowActivation(const TCalActivation& a) {
  views_.RefreshAll();
  if (!a.Ran) return;
  if (!a.FitOk)
    dialogs_.Say("Error in calibration parameters", mfIconError);
  else if (a.Mirrored)
    dialogs_.Say("Calibration appears to be mirrored. Make sure E/W and N/S is set correct", mfIconWarning);
}

// ---------------------------------------------------------------------------
// The points

void TRefPoints::Select(int index, bool centre) {
  if (index >= cal_.RefCount()) index = -1;
  cal_.SelectedRef = index;
  RefreshList();
  RefreshFields();
  map_.SyncMarkers();
  if (centre && index >= 0) map_.CentreOn({cal_.Ref(index).X, cal_.Ref(index).Y});
  map_.Update();
}

void TRefPoints::AddAt(const TFPoint& pixel) {
  const int i = cal_.AddRefPoint(pixel);
  if (i >= 0) Select(i, false);
}

void TRefPoints::SelectClosest(const TFPoint& pixel) { Select(cal_.ClosestRef(pixel), true); }

void TRefPoints::DeleteSelected() {
  if (cal_.DeleteRefPoint(cal_.SelectedRef)) Select(-1, false);
  views_.RefreshAll();
}

void TRefPoints::FieldEdited() {
  const int i = cal_.SelectedRef;
  if (i < 0 || updating_) return;
  for (TPosEdit* f : {&c_.CalLat, &c_.CalLong}) {
    const std::optional<double> v = f->Value();
    // A half-typed position is never taken (it would read as 0).
    MarkTyped(*f, v.has_value());
    if (!v) continue;
    if (f == &c_.CalLat)
      cal_.SetRefLatitude(i, *v);
    else
      cal_.SetRefLongitude(i, *v);
  }
}

void TRefPoints::ScrollBarMoved() {
  const int i = cal_.SelectedRef;
  if (updating_ || i < 0) return;
  cal_.MoveRefPoint(i, {double(c_.PH.value()), double(c_.PV.value())});
  RefreshFields();
  map_.SyncMarkers();
  map_.Update();
}

void TRefPoints::MarkerDropped(TNavShape& s) {
  const int i = s.Index;
  cal_.MoveRefPoint(i, map_.ImagePixelAt(QPoint(s.PosX(), s.PosY())));
  Select(i, false);
}

// ---------------------------------------------------------------------------
// The page

void TRefPoints::Refresh() {
  c_.RefPosLock.setChecked(cal_.LockPositions);
  const bool editable = cal_.IsOpen() && !cal_.ReadOnly();
  for (QWidget* w : {static_cast<QWidget*>(&c_.BCalActivate), static_cast<QWidget*>(&c_.CalLat),
                     static_cast<QWidget*>(&c_.CalLong), static_cast<QWidget*>(&c_.PV), static_cast<QWidget*>(&c_.PH)})
    w->setEnabled(editable);
  RefreshList();
  RefreshFields();
}

void TRefPoints::RefreshList() {
  updating_ = true;
  FillPointList(c_.CPList, cal_.RefCount(), cal_.SelectedRef);
  updating_ = false;
}

void TRefPoints::RefreshFields() {
  updating_ = true;
  const int i = cal_.SelectedRef;
  c_.PV.setRange(0, std::max(0, cal_.Height() - 1));
  c_.PH.setRange(0, std::max(0, cal_.Width() - 1));
  for (TPosEdit* f : {&c_.CalLat, &c_.CalLong}) MarkTyped(*f, true);
  if (i >= 0) {
    const TGridPoint& g = cal_.Ref(i);
    c_.CalLat.SetValue(g.Lat);
    c_.CalLong.SetValue(g.Lon);
    c_.CalX.setText(QString::number(std::lround(g.X)));
    c_.CalY.setText(QString::number(std::lround(g.Y)));
    c_.PV.setValue(static_cast<int>(std::lround(g.Y)));
    c_.PH.setValue(static_cast<int>(std::lround(g.X)));
  } else {
    c_.CalLat.SetValue(0);
    c_.CalLong.SetValue(0);
    c_.CalX.clear();
    c_.CalY.clear();
  }
  const bool editable = cal_.IsOpen() && !cal_.ReadOnly() && i >= 0;
  for (QWidget* w : {static_cast<QWidget*>(&c_.CalLat), static_cast<QWidget*>(&c_.CalLong),
                     static_cast<QWidget*>(&c_.PV), static_cast<QWidget*>(&c_.PH)})
    w->setEnabled(editable);
  updating_ = false;
}

bool TRefPoints::FieldsComplete() {
  return PositionComplete(c_.CalLat, cal_.SelectedRef, "Cal.", dialogs_) &&
         PositionComplete(c_.CalLong, cal_.SelectedRef, "Cal.", dialogs_);
}
