// The smaller windows of the plotter, made once at start (the about box is
// made when asked for). Each holds its controls and what they show; what
// the window puts in and does with the result is in DialogCommands.h (and
// the positions' and the route exchange files' features for the position
// editor and the route selection).
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plotter/PlotterDialog.h"
#include "plotter/core/DialogLogic.h"
// Chart information, available charts and the datum alias dialog are shared
// with the calibration tool.
#include "sharedui/ChartAvail.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/DatumAlias.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class QWidget;
class TChartList;
class TPosEdit;
struct RSysInfo;

// A list of names with tick marks (the group lists).
void FillTickList(QListWidget* list, const std::vector<std::string>& names, const std::vector<bool>& ticked);
std::vector<bool> TickedItems(const QListWidget* list);

// "Edit Position": the name, comment and position of one stored position.
class TWptEdFrm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TWptEdFrm(QWidget* parent = nullptr);
  TPosEdit* WPLat = nullptr;
  TPosEdit* WPLong = nullptr;
  QLineEdit* WPText = nullptr;
  QPlainTextEdit* WPComment = nullptr;
  QPushButton* btnUpdate = nullptr;
  QPushButton* btnCancel = nullptr;
  static constexpr int kMaxName = 40;
  static constexpr int kMaxComment = 99;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
};

// "Browser": the route as a grid of cells, one row per point and a row of
// sums; the name, position, speed and limit of the points can be edited.
class TBrowser : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TBrowser(QWidget* parent = nullptr);
  QTableWidget* Grid = nullptr;
  QPushButton* UpdateButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // Titles and widths of the columns, the masks of the masked ones ("" for
  // plain text), the rows (stored text: digits and letters without the
  // mask's characters), and the cells that can be chosen: columns
  // 1..lastColumn of rows 0..lastRow.
  void SetGrid(const std::vector<std::string>& titles, const std::vector<int>& widths,
               const std::vector<std::string>& masks, const std::vector<TRouteGridRow>& rows, int lastColumn,
               int lastRow);
  // The stored text of every row.
  std::vector<TRouteGridRow> Rows() const;
  // The stored text of a cell (what the mask holds), and setting it.
  std::string Cell(int row, int column) const;
  void SetCell(int row, int column, const std::string& stored);
};

// A cell's stored characters shown through a mask ("000°00.000 >L;0;_":
// "05930500N" shows "059°30.500 N"), and back.
std::string MaskedDisplay(const std::string& mask, const std::string& stored);
std::string MaskedStored(const std::string& mask, const std::string& shown);

// "Preferred Charts": the groups the charts are chosen from and the
// preferred scale.
class TPSForm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TPSForm(QWidget* parent = nullptr);
  QWidget* GroupPanel = nullptr;
  QListWidget* BGL = nullptr;
  QRadioButton* PSSetB = nullptr;
  QRadioButton* PSMaxB = nullptr;
  QSpinBox* PSVal = nullptr;
  QPushButton* SpeedButton2 = nullptr;  // Ok
  QPushButton* SpeedButton1 = nullptr;  // Cancel
  void PSSetBClick();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  // Escape, Pause, Cancel and "M" close the window, Enter confirms; true
  // when the key was one of them.
  bool FormKey(int key);
};

// "Manage Chart Groups": members of the groups, the groups chosen
// automatically and for browsing, and the group table.
class TGRP_Org : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TGRP_Org(QWidget* parent = nullptr);
  // The catalog whose groups the dialog edits (given at the first show of
  // the main window), and the settings of the "Autoload Groups" page.
  TChartList* Catalog = nullptr;
  RSysInfo* Settings = nullptr;
  // Asks for a text (title, prompt, offered text); nothing when cancelled.
  std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> InputQuery;
  // Asks a Yes/No question.
  std::function<bool(const std::string&)> AskYes;
  // Message texts 77, 78, 79 and 32.
  std::string NewGroupTitle = "New Group", GroupNamePrompt = "Group Name", ChangeGroupTitle = "Change Group",
              DeleteQuestion = " will be deleted. Ok?";

  QTabWidget* PC1 = nullptr;
  QWidget* OTab = nullptr;
  QWidget* ATab = nullptr;
  QWidget* GTab = nullptr;
  QComboBox* GrpLst = nullptr;
  QComboBox* FltLst = nullptr;
  QListWidget* LB1 = nullptr;
  QListWidget* LB2 = nullptr;
  QPushButton* SpeedButton1 = nullptr;  // add
  QPushButton* SpeedButton2 = nullptr;  // remove
  QLabel* C_Det = nullptr;
  QLabel* C_Det2 = nullptr;
  QListWidget* AGL = nullptr;
  QListWidget* AGL2 = nullptr;
  QListWidget* MGrpLst = nullptr;
  QPushButton* BtnNewGrp = nullptr;
  QPushButton* BtnRenGrp = nullptr;
  QPushButton* BtnDelGrp = nullptr;
  QPushButton* BtnOk = nullptr;
  QPushButton* BtnCancel = nullptr;
  // The bit of the group chosen on the first page.
  int32_t ChosenBit = 0;

  void SetDirectories(const std::vector<std::string>& directories);
  void PageSetUp(int page);
  void StoreAutoload();
  void GrpLstChange();
  void AddClick();
  void RemoveClick();
  void BtnNewGrpClick();
  void BtnRenGrpClick();
  void BtnDelGrpClick();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void Move(QListWidget* from, QListWidget* to, bool join);
  void ShowDetails(QListWidget* list, QListWidget* other);
  void RefillGroupLists();
  int autoloadPage_ = -1;
  int shownPage_ = 0;
};

// "Chart Search": charts by group, by name and by position.
class TS_Frm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TS_Frm(QWidget* parent = nullptr);
  QCheckBox* CB_SG = nullptr;
  QListWidget* BGL = nullptr;
  QCheckBox* CB_SC = nullptr;
  QLineEdit* S_Txt = nullptr;
  QCheckBox* CB_SP = nullptr;
  TPosEdit* S_Lat = nullptr;
  TPosEdit* S_Long = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
  // Fills the position fields without ticking "Search on Position".
  void SetPosition(const TFPoint& pos);
};

// "Select Route": a click on a name closes the window with it chosen.
class TRLForm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TRLForm(QWidget* parent = nullptr);
  QListWidget* RList = nullptr;
  // The chosen entry's row, -1 when none.
  int Chosen() const;
};

// The about box: the program's name and version; a click anywhere closes
// it.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QPushButton* OKButton = nullptr;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
};
