// The setup dialog "Brismare Setup": six pages of controls, one for each
// setting a user may change (plotter/core/SetupKeys.h says which control
// edits which setting). The dialog works on the settings record only:
// "Save" takes the controls into the record and closes with OK, "Cancel"
// closes and changes nothing. Writing the file and applying the settings is
// the caller's (the main window's "&Properties").
#pragma once

#include <QString>

#include <map>
#include <string>
#include <vector>

#include "plotter/PlotterDialog.h"

class QComboBox;
class QPushButton;
class QTabWidget;
struct RSysInfo;

class TSetupFrm : public TPlotterDialog {
  Q_OBJECT
 public:
  explicit TSetupFrm(QWidget* parent = nullptr);

  // The datum names offered for "GPS Datum" (the datum table's list).
  void SetDatumNames(const std::vector<std::string>& names);
  // The serial devices offered for the three ports; a device can also be
  // typed.
  void SetSerialDevices(const std::vector<std::string>& devices);

  // Every control shows its setting; the page control turns to "Display".
  void LoadControls(const RSysInfo& sys);
  // Every control's value goes into the record. A number the user did not
  // change stays exactly as it was; "GPS Datum" with no entry chosen keeps
  // its value; bits of a bit set that no control shows stay as they are.
  void StoreControls(RSysInfo& sys) const;

  // LoadControls, the dialog modal, StoreControls on "Save". True on Save.
  bool Execute(RSysInfo& sys);

  // A control by object name (nullptr when there is none of that type).
  template <class T>
  T* Control(const char* name) const {
    return findChild<T*>(QString::fromLatin1(name));
  }

  QTabWidget* PageControl = nullptr;
  QPushButton* btSave = nullptr;
  QPushButton* btCancel = nullptr;

 private:
  void Build();
  QWidget* NetworkPage(QWidget* parent);
  void ChooseLanguageFile();
  void ChooseLogFile();

  // What each float control showed after loading.
  std::map<std::string, double> shownAtLoad_;
};
