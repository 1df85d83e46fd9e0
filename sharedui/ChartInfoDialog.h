// "Chart Information", T_CHInfo: the chart information record of a chart
// (name, number, file, scale, priority, projection and its parameters,
// datum and datum shift, depth units, comments). The calibration tool edits
// the record of the image it calibrates with it; the plotter shows the
// chart on screen, read-only (ReadOnlyInfo: the fields cannot be changed
// and there is no "Ok").
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "charts/ChartInfo.h"
#include "sharedui/DialogSupport.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QWidget;
class TDatum;
class TPosEdit;

// The projection names of codes 0 to 7.
extern const char* const kProjectionNames[8];

class T_CHInfo : public QDialog {
  Q_OBJECT
 public:
  explicit T_CHInfo(QWidget* parent = nullptr);

  // ---- set by the caller before showing ----
  // The fields cannot be changed and there is no "Ok".
  bool ReadOnlyInfo = false;
  // The datum table whose "Datums" fill the datum list and whose
  // "Projections" follow the eight projections (may be null).
  TDatum* Datums = nullptr;
  // The input boxes of the Lambert and perspective parameters.
  TInputQuery InputQuery;

  // Puts the record's values and the chart file into the fields.
  void Fill(const RChartInfo& info, const std::string& file);
  // Takes the fields back into the record after "Ok" (name, number,
  // comments, projection and its parameters, depth units, scale, priority,
  // datum, origin and datum shift).
  void ReadBack(RChartInfo& info) const;

  // ---- held besides the fields ----
  uint8_t ProjectionCode = 0;
  std::string CommentText;
  double LatS = 0;    // radians
  double LatN = 0;    // radians
  double Height = 0;  // metres (projection 7)

  // A choice from the projection list (index into its entries).
  void ProjChange(int index);
  void OkButtonClick();

  // ---- controls ----
  QWidget* EDPanel = nullptr;
  QLineEdit* CHName = nullptr;
  QLineEdit* CHNum = nullptr;
  QLineEdit* CHFile = nullptr;
  TPosEdit* LatZero = nullptr;
  TPosEdit* LonZero = nullptr;
  QComboBox* Proj = nullptr;
  QComboBox* Datum = nullptr;
  TPosEdit* LatShift = nullptr;
  TPosEdit* LonShift = nullptr;
  QLineEdit* CScale = nullptr;
  QSpinBox* Priority = nullptr;
  QComboBox* DepthU = nullptr;
  QLineEdit* SDatum = nullptr;
  QPlainTextEdit* CopyInfo = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* Button2 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void ApplyEnabling(int code);
  void SelectCode(int code);
  // Asks for a number in an input box; false when the answer is not one
  // (the value is then left alone).
  bool AskNumber(const std::string& title, const std::string& prompt, double& value);
  std::optional<std::string> Ask(const std::string& title, const std::string& prompt, const std::string& offered);

  // The texts the position fields were filled with (origin, shift).
  std::array<std::string, 4> shown_;
};

// The priority stored with a scale: lowered so that scale x priority stays
// within 2 147 483 647.
int32_t PriorityForScale(int64_t scale, int32_t priority);
