#include "sharedui/ChartInfoDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

#include "foundation/NumText.h"
#include "foundation/Types.h"
#include "geodesy/Datum.h"
#include "platform/Questions.h"
#include "sharedui/PosEdit.h"

const char* const kProjectionNames[8] = {"Unknown",   "Mercator",   "Transverse Mercator", "Lambert Conformal Conic",
                                         "Polyconic", "Sinusoidal", "Orthographic",        "Vertical Near-Side Perspective"};

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* Caption(QWidget* parent, const char* name, const char* text) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

template <class T>
T* Named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

int32_t PriorityForScale(int64_t scale, int32_t priority) {
  if (scale > 0 && scale * priority > INT32_MAX) return static_cast<int32_t>(INT32_MAX / scale);
  return priority;
}

T_CHInfo::T_CHInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("_CHInfo"));
  setWindowTitle(QStringLiteral("Chart Information"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* outer = new QVBoxLayout(this);

  EDPanel = Named(new QWidget(this), "EDPanel");
  auto* g = new QGridLayout(EDPanel);
  g->setContentsMargins(0, 0, 0, 0);
  CHName = Named(new QLineEdit(EDPanel), "CHName");
  CHName->setMaxLength(254);
  CHNum = Named(new QLineEdit(EDPanel), "CHNum");
  CHNum->setMaxLength(254);
  CHFile = Named(new QLineEdit(EDPanel), "CHFile");
  CHFile->setReadOnly(true);
  CScale = Named(new QLineEdit(EDPanel), "CScale");
  CScale->setValidator(new QIntValidator(0, INT_MAX, CScale));
  Priority = Named(new QSpinBox(EDPanel), "Priority");
  Priority->setRange(1, 9999);
  Proj = Named(new QComboBox(EDPanel), "Proj");
  DepthU = Named(new QComboBox(EDPanel), "DepthU");
  DepthU->addItems({QStringLiteral("Unknown"), QStringLiteral("Meters"), QStringLiteral("Feet"), QStringLiteral("Fathoms")});
  LatZero = Named(new TPosEdit(false, EDPanel), "LatZero");
  LonZero = Named(new TPosEdit(true, EDPanel), "LonZero");
  Datum = Named(new QComboBox(EDPanel), "Datum");
  Datum->setEditable(true);
  Datum->setInsertPolicy(QComboBox::NoInsert);
  SDatum = Named(new QLineEdit(EDPanel), "SDatum");
  SDatum->setMaxLength(254);
  // The sounding datum is shown as the chart states it.
  SDatum->setReadOnly(true);
  LatShift = Named(new TPosEdit(false, EDPanel), "LatShift");
  LonShift = Named(new TPosEdit(true, EDPanel), "LonShift");

  int row = 0;
  g->addWidget(Caption(EDPanel, "CHNameLabel", "Chart Name:"), row, 0);
  g->addWidget(CHName, row, 1, 1, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "CHNumLabel", "#"), row, 0);
  g->addWidget(CHNum, row, 1);
  g->addWidget(Caption(EDPanel, "CScaleLabel", "Scale: 1/"), row, 2);
  g->addWidget(CScale, row, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "CHFileLabel", "Image File:"), row, 0);
  g->addWidget(CHFile, row, 1, 1, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "ProjLabel", "Projection:"), row, 0);
  g->addWidget(Proj, row, 1);
  g->addWidget(Caption(EDPanel, "PriorityLabel", "Priority:"), row, 2);
  g->addWidget(Priority, row, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "LatZeroLabel", "Latitude 0:"), row, 0);
  g->addWidget(LatZero, row, 1);
  g->addWidget(Caption(EDPanel, "LonZeroLabel", "Longitude 0:"), row, 2);
  g->addWidget(LonZero, row, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "DatumLabel", "Datum:"), row, 0);
  g->addWidget(Datum, row, 1);
  g->addWidget(Caption(EDPanel, "DepthULabel", "Depth Units:"), row, 2);
  g->addWidget(DepthU, row, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "LatShiftLabel", "Lat. Shift:"), row, 0);
  g->addWidget(LatShift, row, 1);
  g->addWidget(Caption(EDPanel, "LonShiftLabel", "Long. Shift:"), row, 2);
  g->addWidget(LonShift, row, 3);
  ++row;
  g->addWidget(Caption(EDPanel, "SDatumLabel", "Sounding Datum:"), row, 0);
  g->addWidget(SDatum, row, 1, 1, 3);
  g->setColumnStretch(1, 1);
  g->setColumnStretch(3, 1);
  outer->addWidget(EDPanel);

  outer->addWidget(Caption(this, "CopyInfoLabel", "Other information:"));
  CopyInfo = Named(new QPlainTextEdit(this), "CopyInfo");
  CopyInfo->setMinimumHeight(90);
  outer->addWidget(CopyInfo, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = Named(new QPushButton(QStringLiteral("Ok"), this), "OkButton");
  OkButton->setDefault(true);
  Button2 = Named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
  buttons->addWidget(OkButton);
  buttons->addWidget(Button2);
  outer->addLayout(buttons);
  resize(600, 420);

  connect(Proj, &QComboBox::activated, this, [this](int index) { ProjChange(index); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
  connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void T_CHInfo::Fill(const RChartInfo& info, const std::string& file) {
  CHName->setText(Q(info.Layout.Name));
  CHNum->setText(Q(info.Number));
  CHFile->setText(Q(file));
  CopyInfo->setPlainText(Q(info.Comments).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  CommentText = info.Comments;
  DepthU->setCurrentIndex(info.DepthUnits < 4 ? info.DepthUnits : 0);
  CScale->setText(QString::number(info.Layout.Scale));
  Priority->setValue(info.Layout.Priority);
  Datum->setEditText(Q(info.DatumName));
  SDatum->setText(Q(info.SoundingDatum));
  LatZero->SetValue(info.Lat0);
  LonZero->SetValue(info.Lon0);
  LatShift->SetValue(info.DatumShift.Y);
  LonShift->SetValue(info.DatumShift.X);
  shown_ = {LatZero->MaskText(), LonZero->MaskText(), LatShift->MaskText(), LonShift->MaskText()};
  ProjectionCode = info.Projection;
  LatS = info.LatS;
  LatN = info.LatN;
  Height = info.P3;
}

void T_CHInfo::ReadBack(RChartInfo& info) const {
  info.Layout.Name = CHName->text().toStdString();
  info.Number = CHNum->text().toStdString();
  info.Comments = CommentText;
  info.Projection = ProjectionCode;
  info.LatS = LatS;
  info.LatN = LatN;
  info.P3 = Height;
  info.DepthUnits = static_cast<uint8_t>(std::max(0, DepthU->currentIndex()));
  if (const auto scale = TryStrToInt(CScale->text().toStdString())) info.Layout.Scale = *scale;
  info.Layout.Priority = static_cast<uint16_t>(Priority->value());
  info.DatumName = Datum->currentText().trimmed().toStdString();
  // A position field takes effect only when its text changed: the fields
  // show thousandths of a minute, the record may hold more.
  auto take = [](const TPosEdit* f, const std::string& shown, double& value) {
    if (f->MaskText() == shown) return;
    if (const auto v = f->Value()) value = *v;
  };
  take(LatZero, shown_[0], info.Lat0);
  take(LonZero, shown_[1], info.Lon0);
  take(LatShift, shown_[2], info.DatumShift.Y);
  take(LonShift, shown_[3], info.DatumShift.X);
}

void T_CHInfo::showEvent(QShowEvent* e) {
  Proj->clear();
  for (const char* name : kProjectionNames) Proj->addItem(QString::fromLatin1(name));
  if (Datums)
    for (const TProjectionPreset& p : Datums->ProjectionPresets()) Proj->addItem(Q(p.Name));
  SelectCode(ProjectionCode);
  const QString datumText = Datum->currentText();
  Datum->clear();
  if (Datums)
    for (const std::string& n : Datums->DatumNames()) Datum->addItem(Q(n));
  Datum->setEditText(datumText);
  EDPanel->setEnabled(!ReadOnlyInfo);
  CopyInfo->setReadOnly(ReadOnlyInfo);
  OkButton->setVisible(!ReadOnlyInfo);
  ApplyEnabling(ProjectionCode);
  QDialog::showEvent(e);
}

void T_CHInfo::SelectCode(int code) {
  const QSignalBlocker block(Proj);
  Proj->setCurrentIndex(code >= 0 && code < 8 ? code : 0);
}

void T_CHInfo::ApplyEnabling(int code) {
  LonZero->setEnabled(code >= 2 && code <= 7);
  LatZero->setEnabled(code >= 1 && code <= 7);
}

std::optional<std::string> T_CHInfo::Ask(const std::string& title, const std::string& prompt,
                                         const std::string& offered) {
  if (InputQuery) return InputQuery(title, prompt, offered);
  return AskText(this, title, prompt, offered);
}

bool T_CHInfo::AskNumber(const std::string& title, const std::string& prompt, double& value) {
  const std::optional<std::string> answer = Ask(title, prompt, FloatToStrDot(value));
  // Cancel keeps the value offered.
  if (!answer) return true;
  std::string text = *answer;
  for (char& c : text)
    if (c == ',') c = '.';
  const std::optional<double> v = TryStrToFloatDot(text);
  if (!v) return false;
  value = *v;
  return true;
}

void T_CHInfo::ProjChange(int index) {
  if (index >= 8) {
    // A named set-up of the datum table: its code, origin and parallels.
    if (!Datums) return;
    const std::vector<TProjectionPreset> presets = Datums->ProjectionPresets();
    const size_t i = static_cast<size_t>(index - 8);
    if (i >= presets.size() || presets[i].Code >= 8) return;
    const TProjectionPreset& p = presets[i];
    ProjectionCode = static_cast<uint8_t>(p.Code);
    SelectCode(p.Code);
    ApplyEnabling(p.Code);
    LatZero->SetValue(p.Lat0);
    LonZero->SetValue(p.Lon0);
    if (p.HasParallels) {
      LatS = p.LatS;
      LatN = p.LatN;
    }
    return;
  }
  if (index < 0) return;
  ProjectionCode = static_cast<uint8_t>(index);
  ApplyEnabling(index);
  if (index == 3) {
    // Both answers or neither: a non-number in the second box leaves the
    // first parallel as it was too.
    double s = LatS * kRadToDeg;
    if (!AskNumber("Lambert Parameters", "South Std. Parallel in Deg.", s)) return;
    double n = LatN * kRadToDeg;
    if (!AskNumber("Lambert Parameters", "North Std. Parallel in Deg.", n)) return;
    LatS = s * kDegToRad;
    LatN = n * kDegToRad;
  } else if (index == 7) {
    double h = Height;
    if (AskNumber("Vertical Near-Side Perspective Parameters", "Height in Meters.", h)) Height = h;
  }
}

void T_CHInfo::OkButtonClick() {
  // A position half typed or a scale that is not a number is refused, never
  // read as 0.
  for (TPosEdit* f : {LatZero, LonZero, LatShift, LonShift}) {
    if (!f->Value()) {
      const QLabel* label = findChild<QLabel*>(f->objectName() + QStringLiteral("Label"));
      QString what = label ? label->text() : f->objectName();
      if (what.endsWith(u':')) what.chop(1);
      ProgramMessage("Incomplete position: " + what.toStdString(), mfOk | mfIconWarning);
      f->setFocus();
      return;
    }
  }
  const std::optional<int32_t> scale = TryStrToInt(CScale->text().toStdString());
  if (!scale || *scale < 1) {
    ProgramMessage("The scale must be a whole number of 1 or more", mfOk | mfIconWarning);
    CScale->setFocus();
    return;
  }
  Priority->setValue(PriorityForScale(*scale, Priority->value()));
  CommentText = CopyInfo->toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
  if (Proj->currentIndex() >= 0 && Proj->currentIndex() < 8) ProjectionCode = static_cast<uint8_t>(Proj->currentIndex());
  accept();
}
