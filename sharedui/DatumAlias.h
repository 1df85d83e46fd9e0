// "Add Chart Datum Alias", TDatFrm: a chart names a datum the datum table
// does not know; the user picks the table's datum it means, and the name is
// stored as an alias of it ("DatumsAliases" of DATUMS2.INI), so the
// question is not asked again for that name. "Ignore" leaves the table
// alone.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;
class TDatum;

class TDatFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TDatFrm(QWidget* parent = nullptr);

  // Shows the dialog for the chart's datum name. True unless the user chose
  // "Ignore" (or closed the window); with a datum chosen, the alias is added
  // to the table first.
  // `run` shows the dialog modally and gives its result (tests answer it);
  // without one, the dialog's own event loop.
  bool Ask(TDatum& datums, const std::string& chartDatum, const std::function<int(QDialog&)>& run = {});
  // The datum chosen at the last "Ok" ("" when none).
  const std::string& Chosen() const { return chosen_; }

  QLineEdit* OrgDat = nullptr;
  QListWidget* SCDat = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* IgnoreButton = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void OkButtonClick();

  TDatum* datums_ = nullptr;
  std::string chosen_;
};
