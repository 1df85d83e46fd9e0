// The program body of the plotter: the application title, the twelve
// windows made in their fixed order (the main window first), and their
// teardown.
#pragma once

#include <memory>
#include <vector>

#include "plotter/MainForm.h"

class QWidget;

inline constexpr const char* kApplicationTitle = "Brismare II";

class TPlotterProgram {
 public:
  // Sets the application title and creates the windows: T_Form (which runs
  // FormCreate), then the chart information, available charts, position
  // editor, browser, setup, preferred charts, print, datum alias, chart
  // groups, chart search and route selection windows.
  TPlotterProgram();
  // Frees the other windows in reverse order, then the main window (whose
  // FormDestroy saves the program state).
  ~TPlotterProgram();
  TPlotterProgram(const TPlotterProgram&) = delete;
  TPlotterProgram& operator=(const TPlotterProgram&) = delete;

  T_Form& MainForm() const { return *form_; }
  const TFormSet& Forms() const { return form_->Forms(); }
  // All twelve windows in creation order.
  std::vector<QWidget*> Windows() const;

 private:
  std::unique_ptr<T_Form> form_;
  std::vector<std::unique_ptr<QWidget>> others_;
};
