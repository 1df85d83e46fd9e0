// What the features of the calibration tool's window share about the open
// chart: its views, shown afresh after a command changes the chart or its
// calibration (RefreshAll) and asked before a command takes the typed
// positions (FieldsComplete); the side panel's pages; and the two pages of
// points (reference and border) as the map's mouse and menus see them.
#pragma once

#include <string>
#include <vector>

class QListWidget;
class QTabWidget;
class QWidget;
class TCalibration;
class TFormDialogs;
class TNavShapeCollection;
class TPosEdit;
struct TFPoint;

// A view of the open chart.
class ICalView {
 public:
  virtual ~ICalView() = default;
  // Shows the chart and its calibration as they are now.
  virtual void Refresh() = 0;
  // False, with a message and the field focused, while one of the view's
  // position fields is half typed.
  virtual bool FieldsComplete() { return true; }
};

class TCalViews {
 public:
  // The window's title follows the chart's.
  TCalViews(TCalibration& cal, QWidget& window);
  // The views are shown afresh and asked in the order they were added.
  void Add(ICalView& view);
  // The title and every view (a selection past the points' end dropped
  // first).
  void RefreshAll();
  void UpdateTitle();
  bool FieldsComplete();

 private:
  TCalibration& cal_;
  QWidget& window_;
  std::vector<ICalView*> views_;
};

// The side panel's pages: "Cal" (the reference points and the grid) and
// "Border" (the border points).
struct TSidePages {
  QTabWidget& Tabs;
  QWidget& Cal;
  QWidget& Border;
  bool OnCalPage() const;
};

// A page of points as the map's mouse and menus see it.
class IPointPage {
 public:
  virtual ~IPointPage() = default;
  virtual QWidget& Page() = 0;
  // The markers of the page's points on the map.
  virtual TNavShapeCollection& Markers() = 0;
  // Selects a point (-1: none): its marker, its fields and, with `centre`,
  // the view on it.
  virtual void Select(int index, bool centre) = 0;
  // The map's menu at a right click (an image pixel).
  virtual void AddAt(const TFPoint& pixel) = 0;
  virtual void SelectClosest(const TFPoint& pixel) = 0;
  virtual void DeleteSelected() = 0;
};

// ---- what both pages of points show ----

// "Point " + n, n from 1.
std::string PointName(int index);
// The list holds `count` points, `selected` chosen.
void FillPointList(QListWidget& list, int count, int selected);
// A position field after an edit: marked while what it shows is not a
// position (it is never taken then).
void MarkTyped(TPosEdit& field, bool complete);
// False, with "Incomplete position: " + what + the point's name and the
// field focused, while the field of the selected point is half typed.
bool PositionComplete(TPosEdit& field, int selected, const char* what, TFormDialogs& dialogs);
