#include "calibrator/calibration/CalViews.h"

#include <QListWidget>
#include <QTabWidget>

#include "calibrator/calibration/core/Calibration.h"
#include "calibrator/dialogs/FormDialogs.h"
#include "platform/Questions.h"
#include "sharedui/PosEdit.h"

TCalViews::TCalViews(TCalibration& cal, QWidget& window) : cal_(cal), window_(window) {}

void TCalViews::Add(ICalView& view) { views_.push_back(&view); }

void TCalViews::RefreshAll() {
  if (cal_.SelectedRef >= cal_.RefCount()) cal_.SelectedRef = -1;
  if (cal_.SelectedBorder >= cal_.BorderCount()) cal_.SelectedBorder = -1;
  UpdateTitle();
  for (ICalView* view : views_) view->Refresh();
}

void TCalViews::UpdateTitle() { window_.setWindowTitle(QString::fromStdString(cal_.Title())); }

bool TCalViews::FieldsComplete() {
  for (ICalView* view : views_)
    if (!view->FieldsComplete()) return false;
  return true;
}

bool TSidePages::OnCalPage() const { return Tabs.currentWidget() == &Cal; }

std::string PointName(int index) { return "Point " + std::to_string(index + 1); }

void FillPointList(QListWidget& list, int count, int selected) {
  if (list.count() != count) {
    list.clear();
    for (int i = 0; i < count; ++i) list.addItem(QString::fromStdString(PointName(i)));
  }
  list.setCurrentRow(selected);
}

void MarkTyped(TPosEdit& field, bool complete) {
  field.setStyleSheet(complete ? QString() : QStringLiteral("background-color: #ffd0d0"));
}

bool PositionComplete(TPosEdit& field, int selected, const char* what, TFormDialogs& dialogs) {
  if (selected < 0 || field.Value()) return true;
  dialogs.Say(std::string("Incomplete position: ") + what + " " + PointName(selected), mfIconWarning);
  field.setFocus();
  return false;
}
