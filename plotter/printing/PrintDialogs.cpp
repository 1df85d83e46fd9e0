#include "plotter/printing/PrintDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

TPrintNames NamesOf(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked:
      return TPrintNames::WithNames;
    case Qt::PartiallyChecked:
      return TPrintNames::SymbolsOnly;
    default:
      return TPrintNames::None;
  }
}

QCheckBox* Box(QWidget* parent, const char* name, const char* caption, bool checked, bool tristate = false) {
  auto* b = new QCheckBox(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setTristate(tristate);
  b->setChecked(checked);
  return b;
}

}  // namespace

TPRInit::TPRInit(QWidget* parent) : TPlotterDialog("TPRInit", "PRInit", "Print Chart", parent) {
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  auto* outer = new QVBoxLayout(this);

  auto* areaRow = new QHBoxLayout;
  PRS_AreaT = new QLabel(QStringLiteral("Area to print"), this);
  PRS_AreaT->setObjectName(QStringLiteral("PRS_AreaT"));
  PRS_Area = new QComboBox(this);
  PRS_Area->setObjectName(QStringLiteral("PRS_Area"));
  PRS_Area->addItems({QStringLiteral("Screen View"), QStringLiteral("Full Chart")});
  PRS_Area->setCurrentIndex(0);
  areaRow->addWidget(PRS_AreaT);
  areaRow->addWidget(PRS_Area, 1);
  outer->addLayout(areaRow);

  auto* what = new QGroupBox(QStringLiteral("Items to print"), this);
  what->setObjectName(QStringLiteral("PRS_What"));
  auto* grid = new QGridLayout(what);
  PRS_Image = Box(what, "PRS_Image", "Chart", true);
  PRS_Route = Box(what, "PRS_Route", "Route", true, true);
  PRS_Pos = Box(what, "PRS_Pos", "Positions", true, true);
  PRS_Track = Box(what, "PRS_Track", "Track", true);
  PRS_Outline = Box(what, "PRS_Outline", "Outline", false);
  grid->addWidget(PRS_Image, 0, 0);
  grid->addWidget(PRS_Route, 1, 0);
  grid->addWidget(PRS_Pos, 2, 0);
  grid->addWidget(PRS_Track, 0, 1);
  grid->addWidget(PRS_Outline, 1, 1);
  outer->addWidget(what);

  auto* buttons = new QHBoxLayout;
  PRS_Ok = new QPushButton(QStringLiteral("Print"), this);
  PRS_Ok->setObjectName(QStringLiteral("PRS_Ok"));
  PRS_Ok->setDefault(true);
  PRS_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
  PRS_Cancel->setObjectName(QStringLiteral("PRS_Cancel"));
  PRS_PRSU = new QPushButton(QStringLiteral("Printer Setup"), this);
  PRS_PRSU->setObjectName(QStringLiteral("PRS_PRSU"));
  buttons->addWidget(PRS_Ok);
  buttons->addWidget(PRS_Cancel);
  buttons->addWidget(PRS_PRSU);
  outer->addLayout(buttons);

  connect(PRS_Ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(PRS_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(PRS_PRSU, &QPushButton::clicked, this, [this] {
    if (OnPrinterSetup) OnPrinterSetup();
  });
}

void TPRInit::showEvent(QShowEvent* e) {
  if (PRS_Area->currentIndex() < 0) PRS_Area->setCurrentIndex(0);
  if (parentWidget()) {
    adjustSize();
    move(parentWidget()->geometry().center() - rect().center());
  }
  QDialog::showEvent(e);
}

bool TPRInit::FullChart() const { return PRS_Area->currentIndex() == 1; }

TPrintItems TPRInit::Items() const {
  TPrintItems items;
  items.chart = PRS_Image->isChecked();
  items.route = NamesOf(PRS_Route);
  items.positions = NamesOf(PRS_Pos);
  items.track = PRS_Track->isChecked();
  items.outlines = PRS_Outline->isChecked();
  return items;
}
