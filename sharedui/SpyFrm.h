// The text window TSpyFrm ("Spy Window"): lines of text with buttons to
// print them, save them as a text file and close the window. It serves as
// the print preview of the plotter's lists, as its NMEA monitors (with the
// run/pause buttons: lines offered while paused are dropped) and AIS target
// window, and as the calibration tool's "Problem Charts" list.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QPlainTextEdit;
class QPrinter;
class QToolButton;
class QWidget;

class TSpyFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TSpyFrm(QWidget* parent = nullptr);

  // Caption and print title := title; preview mode (the run/pause buttons
  // hidden, printing or saving closes the window).
  void SetPreview(const std::string& title);
  // Monitor lines, only while running: the window keeps the last 101.
  void AddInputLine(const std::string& text);
  // The same for sent text (its line end is not shown).
  void AddOutputLine(const std::string& text);
  // label padded to 10 characters, a tab and the value; nothing for an
  // empty value or one beginning with "?".
  void AddInfoLine(const std::string& label, const std::string& value);
  // Appends a line whatever the state (list prints, problem lists).
  void AddLine(const std::string& text);
  void Clear();
  std::vector<std::string> Lines() const;
  int LineCount() const;

  const std::string& PrintTitle() const { return printTitle_; }
  bool Preview() const { return preview_; }
  bool Running() const { return running_; }
  void SetRunning(bool running);

  // The buttons: print (after the print dialog), save (after the save
  // dialog), close.
  void SpeedButton4Click();
  void SpeedButton3Click();
  void SpeedButton5Click();

  // Chooses the printer (the print dialog); false when cancelled. Tests
  // replace it.
  std::function<bool(QPrinter& printer)> ChoosePrinter;

  QPlainTextEdit* SpyTxt = nullptr;
  QToolButton* SpeedButton4 = nullptr;  // print
  QToolButton* SpeedButton3 = nullptr;  // save
  QToolButton* SpeedButton5 = nullptr;  // close
  QWidget* Control = nullptr;
  QToolButton* SpeedButton1 = nullptr;  // ">" run
  QToolButton* SpeedButton2 = nullptr;  // "||" pause

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void AddLimited(const std::string& text);

  std::string printTitle_;
  bool preview_ = false;
  bool running_ = false;
};
