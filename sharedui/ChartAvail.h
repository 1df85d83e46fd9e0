// "Available Charts", TChartAvail: the list of charts to choose from, used
// by the plotter ("List All", "On Position", the chart search) and by the
// calibration tool ("Open From List"). One row per chart: its description
// (name), "1:" + its scale and its file; a click or Enter on a row chooses
// it, Escape closes the window without a choice. The columns sort by a
// click on their heading.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class TChartList;

// One row of the list.
struct TChartRow {
  std::string Name;
  std::string ScaleText;  // "1:" + scale
  std::string File;
};

// The sort key: 0 the descriptions A to Z (case ignored); 1 the scales,
// smallest first, -1 largest first; 2 the files A to Z, -2 Z to A. Rows
// whose scale is not a number come after all others, in either direction.
// A strict weak order: rows the key cannot tell apart stay in their order.
bool ChartRowBefore(const TChartRow& a, const TChartRow& b, int sortKey);
void SortChartRows(std::vector<TChartRow>& rows, int sortKey);
// The key after a click on a column heading (0 description, 1 scale,
// 2 file): another column sorts by it; the same column turns the order
// round (the descriptions always sort A to Z).
int NextSortKey(int sortKey, int column);

class TChartAvail : public QDialog {
  Q_OBJECT
 public:
  explicit TChartAvail(QWidget* parent = nullptr);

  // ---- the list ----
  // Empties the list; it counts as not filled.
  void ResetList();
  // Adds a row (the callback the catalog's list operations are given).
  void AddChartItem(const std::string& name, int32_t scale, const std::string& file = std::string());
  // Every catalog entry in catalog order, then sorted; reports "Generating
  // list" through the progress display. The list counts as filled.
  void FillFromCatalog(const TChartList& catalog);
  bool Filled() const { return filled_; }
  void SetFilled(bool filled) { filled_ = filled; }
  const std::vector<TChartRow>& Rows() const { return rows_; }
  // Sorts the rows by SortKey.
  void Sort();

  // The catalog listed when the window is shown unfilled (may be null).
  const TChartList* Catalog = nullptr;
  // 0, +-1, +-2 as ChartRowBefore; 1 at creation.
  int SortKey = 1;
  // The chart chosen (its name) when the result is OK.
  std::string SelectedName;

  // ---- looks (the plotter's, set before showing) ----
  // The column captions of the message table ("Description", "Scale").
  void SetColumnCaptions(const QString& description, const QString& scale);
  // The list's background and text colours (night shading).
  void SetListColours(const QColor& background, const QColor& text);

  // A click on a column heading.
  void ChartListColumnClick(int column);

  QTreeWidget* ChartList = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void ShowRows();
  void Choose();

  std::vector<TChartRow> rows_;
  bool filled_ = false;
  QLabel* descCaption_ = nullptr;
  QLabel* scaleCaption_ = nullptr;
  QLabel* fileCaption_ = nullptr;
  QString descOverride_;
  QString scaleOverride_;
};
