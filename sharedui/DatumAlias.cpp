#include "sharedui/DatumAlias.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "geodesy/Datum.h"
#include "platform/Questions.h"
#include "sharedui/DialogSupport.h"

TDatFrm::TDatFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DatFrm"));
  setWindowTitle(QStringLiteral("Add Chart Datum Alias"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  auto* g = new QGridLayout(this);
  auto* notice = new QLabel(QStringLiteral("Chart Datum is not in datum list"), this);
  notice->setObjectName(QStringLiteral("Notice"));
  g->addWidget(notice, 0, 0, 1, 2);
  auto* orgLabel = new QLabel(QStringLiteral("Chart Datum:"), this);
  orgLabel->setObjectName(QStringLiteral("OrgDatLabel"));
  g->addWidget(orgLabel, 1, 0);
  OrgDat = new QLineEdit(this);
  OrgDat->setObjectName(QStringLiteral("OrgDat"));
  OrgDat->setEnabled(false);
  g->addWidget(OrgDat, 1, 1);
  auto* listLabel = new QLabel(QStringLiteral("Brismare Datum to use:"), this);
  listLabel->setObjectName(QStringLiteral("SCDatLabel"));
  g->addWidget(listLabel, 2, 0, 1, 2);
  SCDat = new QListWidget(this);
  SCDat->setObjectName(QStringLiteral("SCDat"));
  g->addWidget(SCDat, 3, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  IgnoreButton = new QPushButton(QStringLiteral("Ignore"), this);
  IgnoreButton->setObjectName(QStringLiteral("IgnoreButton"));
  buttons->addWidget(OkButton);
  buttons->addWidget(IgnoreButton);
  g->addLayout(buttons, 4, 0, 1, 2);
  g->setColumnStretch(1, 1);
  resize(360, 320);
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(IgnoreButton, &QPushButton::clicked, this, [this] { reject(); });
  connect(SCDat, &QListWidget::itemDoubleClicked, this, [this] { OkButtonClick(); });
}

bool TDatFrm::Ask(TDatum& datums, const std::string& chartDatum, const std::function<int(QDialog&)>& run) {
  datums_ = &datums;
  OrgDat->setText(QString::fromStdString(chartDatum));
  SCDat->clearSelection();
  const bool ok = (run ? run(*this) : exec()) == QDialog::Accepted;
  datums_ = nullptr;
  return ok;
}

void TDatFrm::showEvent(QShowEvent* e) {
  // Filled once: the list stays for later questions.
  if (SCDat->count() == 0 && datums_)
    for (const std::string& n : datums_->DatumNames()) SCDat->addItem(QString::fromStdString(n));
  QDialog::showEvent(e);
}

void TDatFrm::OkButtonClick() {
  chosen_.clear();
  const QListWidgetItem* item = SCDat->currentItem();
  if (item && item->isSelected() && datums_) {
    chosen_ = item->text().toStdString();
    std::string error;
    if (!datums_->AddAlias(OrgDat->text().toStdString(), chosen_, &error))
      ProgramMessage("The datum alias could not be stored: " + error, mfOk | mfIconError);
  }
  accept();
}
