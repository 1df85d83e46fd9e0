// "Set Directories", T_SetDir: the chart directories (one per line) and the
// route, waypoint, track and temporary directories of the settings file
// shared with the plotter. The texts are shown and stored as they stand in
// the file: a relative ".\ROUTES" stays relative.
#pragma once

#include <QDialog>

#include <string>

#include "calibrator/maintenance/core/CatalogMaintenance.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class T_SetDir : public QDialog {
  Q_OBJECT
 public:
  // The settings file and the directory relative paths count from (for the
  // folder dialogs' start only).
  T_SetDir(const std::string& iniFile, const std::string& dataDir, QWidget* parent = nullptr);

  // What the fields were filled with (the stored texts).
  const TDirectorySettings& Shown() const { return shown_; }
  // The fields as they would be stored: a field left as shown keeps its
  // stored text.
  TDirectorySettings Edited() const;

  QPlainTextEdit* DIR_Cht = nullptr;
  QLineEdit* DIR_Rt = nullptr;
  QLineEdit* DIR_Wp = nullptr;
  QLineEdit* DIR_Tr = nullptr;
  QLineEdit* DIR_Tmp = nullptr;
  QPushButton* ChtBrowse = nullptr;
  QPushButton* RtBrowse = nullptr;
  QPushButton* WpBrowse = nullptr;
  QPushButton* TrBrowse = nullptr;
  QPushButton* TmpBrowse = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

 private:
  void Load();
  void BrowseEdit(QLineEdit* edit, const char* caption);
  void BrowseChartDir();
  // Stores the fields; a write error is shown and the dialog stays open.
  void OkClick();
  // The folder dialog's start for a stored directory text.
  std::string StartDir(const std::string& text) const;

  std::string iniFile_;
  std::string dataDir_;
  TDirectorySettings shown_;
  std::string shownLines_;
};
