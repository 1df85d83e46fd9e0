// Common ground of the plotter's secondary windows: each is made once at
// start by the program body and shown when a command needs it. The object
// name is the window's name in language files.
#pragma once

#include <QDialog>

class TPlotterDialog : public QDialog {
  Q_OBJECT
 public:
  // `className` is recorded in the start-up record (Lifecycle.h).
  TPlotterDialog(const char* className, const char* objectName, const char* caption, QWidget* parent = nullptr);
};
