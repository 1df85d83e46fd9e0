#include "plotter/settings/Setup1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string_view>

#include "foundation/Colors.h"
#include "foundation/qt/Language.h"
#include "instruments/NetSource.h"
#include "platform/FileDialogs.h"
#include "plotter/QtColour.h"
#include "plotter/core/GpsTransfer.h"
#include "plotter/core/SetupKeys.h"
#include "plotter/core/SysInfo.h"

namespace {

// Only what gpsbabel can be handed as one format name can be typed.
class TGpsProtocolValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    return IsPlainGpsProtocol(input.toStdString()) ? Acceptable : Invalid;
  }
};

// One line of a group: the control, its caption and its unit.
struct TRow {
  const char* control;
  const char* caption;
  const char* unit = "";
};

struct TGroup {
  const char* name;
  const char* title;
  std::vector<TRow> rows;
  // Check boxes that follow one another share a line, this many to a line.
  int checksPerLine = 1;
};

struct TPage {
  const char* name;
  const char* title;
  std::vector<TGroup> left;
  std::vector<TGroup> right;
};

const std::vector<TPage>& Pages() {
  static const std::vector<TPage> pages = {
      {"TabDisplay",
       "Display",
       {{"GBBoat",
         "Boat",
         {{"UpdInrvl", "Update Interval", "s"},
          {"FColorBoat", "Color"},
          {"SUBSizeBox", "Size"},
          {"SUShowRings", "Radar Rings"},
          {"SURingStep", "Ring Step"},
          {"SUSpeedmark", "Speed Marker", "s"},
          {"SUBShape", "Shape"}}},
        {"GBLanguage", "Language", {{"SULangFile", "Language File"}}}},
       {{"GBDisplay",
         "Display",
         {{"SUDashPos", "Dashboard"},
          {"WheelZoom", "Zoom With Wheel"},
          {"SUAheadOn", "Look Ahead"},
          {"SUPanUpdate", "Update While Panning"},
          {"SUFatCursor", "Fat Cursors"},
          {"SUHQZoom", "HQ Zoom"}}},
        {"GBChart",
         "Chart",
         {{"SUPreFetch", "Chart Prefetch", "s"}, {"SUScrlEdge", "Scroll Edge"}, {"SUNZoom", "New Chart Zoom"}}}}},
      {"TabRoute",
       "Route",
       {{"GBNextWP",
         "Next Waypoint",
         {{"RtePreTime", "Pre-Load", "s"}, {"RteForce", "Wrong Way Max", "m"}, {"RteAck", "Acknowledge New WP"}}},
        {"GBRouteDefaults", "Route Defaults", {{"DSPD", "Speed", "kt"}, {"DXTE", "XTE-max", "nm"}}}},
       {{"GBRouteDisplay",
         "Route Display",
         {{"FColorRtN", "Normal Color"},
          {"FColorRtS", "Selected Color"},
          {"SURSizeBox", "Size"},
          {"RteLWidth", "Line Width"},
          {"RteHintBox", "Show Waypoint Info"}}}}},
      {"TabLogTrack",
       "Log + Track",
       {{"GBTrackInterval",
         "Tracking Interval",
         {{"TraceT", "Min. Time", "s"}, {"TraceD", "Min. Distance", "m"}, {"TraceC", "Compass Chg.", "°"}}},
        {"GBTrackDisplay", "Track Display", {{"FColorTrk", "Track Color"}, {"FWidthTrk", "Track Width"}}}},
       {{"GBLogBook",
         "Log Book",
         {{"LogFileC", "Log Book File"},
          {"LabAutoEntries", "Automatic Entries:"},
          {"ALOE_SSS", "Brismare Start/Stop"},
          {"ALOE_RSS", "Route Start/Stop"},
          {"ALOE_LC", "Load Chart"},
          {"ALOE_NRW", "New Route WayPoint"},
          {"ALOE_NMEAErr", "NMEA Error"},
          {"ALOE_XTEErr", "XTE Error"}}}}},
      {"TabInstruments",
       "Instruments",
       {{"GBWind", "Wind Display", {{"FColorWind", "Arrow Color"}, {"SWD_Cb", "Show Wind Data"}}},
        {"GBCompass", "Compass Display", {{"SCD_C", "Show Compass Data"}}},
        {"GBDepth",
         "Depth Display",
         {{"DPAlarm", "Depth Alarm", "m"}, {"DPTransDpt", "Trans. Depth", "m"}, {"SDD_Cb", "Show Depth"}}},
        {"GBLog", "Log", {{"SLT", "Show Log and Trip"}, {"LogCutOffT", "Log Cut Off", "Kt"}}}},
       {{"GBAIS",
         "AIS",
         {{"FColorAIS", "Target Color"},
          {"FSizeAIS", "Target Size"},
          {"FDecodeAIS", "Show AIS Targets"},
          {"FLabelsAIS", "Show Labels"},
          {"FPanelAIS", "Show AIS Panel"},
          {"DBCPAMax", "CPA Max", "NM"},
          {"DBTCPAMax", "TCPA Max", "Min"}}}}},
      {"TabComm",
       "Comm",
       {{"GBDatum", "GPS Datum Setting", {{"CDatum", ""}}},
        {"GBNMEAOut",
         "NMEA Output",
         {{"NMEA_ID", "NMEA Id"},
          {"AP_XTEAMP", "XTE Ampl. factor", "%"},
          {"AP_INTER", "Update Interval", "s"},
          {"AP_CAP", "Target Capability"},
          {"NMEAPassBox", "NMEA Passthrough"},
          {"APOE_APA", "APA"},
          {"APOE_APB", "APB"},
          {"APOE_RMB", "RMB"},
          {"APOE_BOD", "BOD"},
          {"APOE_BWC", "BWC"},
          {"APOE_RTE", "WPL + RTE"},
          {"APO_FakeId", "Keep WP Id"}},
         3}},
       {{"GBConnection", "NMEA Connection", {{"PortPages", ""}}},
        {"GBDRUpdate", "DR Update", {{"NMEA_DRUpd", "NMEA DR Update"}}},
        {"GBGpsTransfer", "GPS Transfer", {{"GpsProtocol", "Protocol"}}}}},
      {"TabOther",
       "Other",
       {{"GBSound", "Sound Warning", {{"Sound", "Sound On"}}},
        {"GBNight",
         "Night Mode",
         {{"ShdTwi", "Shade (2)"}, {"ShdDusk", "Dusk (3)"}, {"ShdNight", "Night (4)"}, {"ShdTop", "Shade Desktop"}}},
        {"GBOutline", "Chart Outline", {{"FColorOut", "Color"}, {"FOutFact", "Max Scale Factor"}}}},
       {{"GBStartup",
         "Startup",
         {{"UseGPS", "Set System Time from GPS"}, {"ALWP", "Load Last Waypoints"}, {"ALRT", "Load Last Route"}}},
        {"GBPositions",
         "Positions",
         {{"FColorWpN", "Normal Color"},
          {"FColorWpS", "Selected Color"},
          {"SUWSizeBox", "Size"},
          {"WPHintBox", "Show Position Info"}}}}},
  };
  return pages;
}

template <class Key>
const Key* FindKey(std::span<const Key> keys, std::string_view control) {
  for (const Key& k : keys)
    if (control == k.control) return &k;
  return nullptr;
}

QString Utf8(const char* s) { return QString::fromUtf8(s); }
QString Latin(const char* s) { return QString::fromLatin1(s); }

QIcon ColourSwatch(TColor c) {
  QPixmap pm(14, 14);
  pm.fill(ToQColor(c));
  QPainter p(&pm);
  p.setPen(Qt::gray);
  p.drawRect(0, 0, 13, 13);
  return QIcon(pm);
}

QComboBox* MakeList(QWidget* parent, TSetupList list) {
  auto* c = new QComboBox(parent);
  for (int i = 0; i < SetupListSize(list); ++i) {
    const QString text = QString::fromStdString(SetupListItem(list, i));
    if (list == TSetupList::Colour)
      c->addItem(ColourSwatch(kPalette16[static_cast<size_t>(i)]), text);
    else
      c->addItem(text);
  }
  return c;
}

// A line edit with a "..." button beside it.
QWidget* FileField(QWidget* parent, const char* edit, const char* button, QLineEdit** editOut,
                   QToolButton** buttonOut) {
  auto* w = new QWidget(parent);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(2);
  auto* e = new QLineEdit(w);
  e->setObjectName(Latin(edit));
  auto* b = new QToolButton(w);
  b->setObjectName(Latin(button));
  b->setText(QStringLiteral("..."));
  h->addWidget(e, 1);
  h->addWidget(b);
  *editOut = e;
  *buttonOut = b;
  return w;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TSetupFrm::TSetupFrm(QWidget* parent) : TPlotterDialog("TSetupFrm", "SetupFrm", "Brismare Setup", parent) {
  Build();
}

void TSetupFrm::Build() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  PageControl = new QTabWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  outer->addWidget(PageControl, 1);

  // The control of one row, made after the table that names it.
  const auto makeControl = [this](QWidget* parent, const TRow& row, bool& isCheck) -> QWidget* {
    isCheck = false;
    const std::string_view name = row.control;
    if (const auto* k = FindKey(SetupIntKeys(), name)) {
      auto* s = new QSpinBox(parent);
      s->setRange(k->low, k->high);
      s->setSingleStep(k->step);
      return s;
    }
    if (const auto* k = FindKey(SetupFloatKeys(), name)) {
      auto* s = new QDoubleSpinBox(parent);
      s->setDecimals(k->decimals);
      s->setRange(k->low, k->high);
      s->setSingleStep(k->decimals == 0 ? 1.0 : k->decimals == 1 ? 0.1 : 0.01);
      return s;
    }
    if (const auto* k = FindKey(SetupChoiceKeys(), name)) return MakeList(parent, k->list);
    if (FindKey(SetupCheckKeys(), name) || FindKey(SetupBitKeys(), name) || FindKey(SetupTriStateKeys(), name)) {
      auto* c = new QCheckBox(Utf8(row.caption), parent);
      c->setTristate(FindKey(SetupTriStateKeys(), name) != nullptr);
      isCheck = true;
      return c;
    }
    if (const auto* k = FindKey(SetupTextKeys(), name)) {
      QLineEdit* e = nullptr;
      QToolButton* b = nullptr;
      if (name == "SULangFile" || name == "LogFileC") {
        const bool lang = name == "SULangFile";
        QWidget* w = FileField(parent, row.control, lang ? "SULangBtn" : "LogFileBtn", &e, &b);
        connect(b, &QToolButton::clicked, this, [this, lang] { lang ? ChooseLanguageFile() : ChooseLogFile(); });
        if (k->maxLength > 0) e->setMaxLength(k->maxLength);
        return w;
      }
      e = new QLineEdit(parent);
      if (k->maxLength > 0) e->setMaxLength(k->maxLength);
      if (name == "GpsProtocol") {
        e->setValidator(new TGpsProtocolValidator(e));
        e->setToolTip(QStringLiteral("gpsbabel's name of the receiver's protocol: garmin, magellan, nmea, ..."));
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("magellan,x=1")));
      }
      if (k->maxLength > 0 && k->maxLength <= 4) e->setMaximumWidth(48);
      return e;
    }
    if (name == "CDatum") return new QComboBox(parent);
    if (name == "PortPages") {
      auto* tabs = new QTabWidget(parent);
      tabs->setObjectName(QStringLiteral("PortPages"));
      const char* titles[3] = {"Tx/Rx 1", "Rx 2", "Rx 3"};
      for (int i = 0; i < 3; ++i) {
        auto* page = new QWidget(tabs);
        page->setObjectName(QStringLiteral("PortPage%1").arg(i + 1));
        auto* g = new QGridLayout(page);
        g->setContentsMargins(4, 4, 4, 4);
        auto* port = new QSpinBox(page);
        port->setObjectName(Latin(kSetupPortKeys[i].port));
        port->setRange(0, 255);
        QComboBox* baud = MakeList(page, TSetupList::BaudRate);
        baud->setObjectName(Latin(kSetupPortKeys[i].baudRate));
        auto* device = new QComboBox(page);
        device->setObjectName(Latin(kSetupPortKeys[i].device));
        device->setEditable(true);
        device->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* labPort = new QLabel(QStringLiteral("PC Port"), page);
        labPort->setObjectName(QStringLiteral("LabCPort%1").arg(i + 1));
        auto* labCom = new QLabel(QStringLiteral("Com"), page);
        labCom->setObjectName(QStringLiteral("LabCom%1").arg(i + 1));
        auto* labBaud = new QLabel(QStringLiteral("BPS"), page);
        labBaud->setObjectName(QStringLiteral("LabBPS%1").arg(i + 1));
        auto* labDevice = new QLabel(QStringLiteral("Device"), page);
        labDevice->setObjectName(QStringLiteral("LabDevice%1").arg(i + 1));
        g->addWidget(labPort, 0, 0);
        g->addWidget(port, 0, 1);
        g->addWidget(labCom, 0, 2);
        g->addWidget(labBaud, 1, 0);
        g->addWidget(baud, 1, 1, 1, 2);
        g->addWidget(labDevice, 2, 0);
        g->addWidget(device, 2, 1, 1, 2);
        g->setColumnStretch(1, 1);
        tabs->addTab(page, Utf8(titles[i]));
      }
      tabs->addTab(NetworkPage(tabs), QStringLiteral("Network"));
      return tabs;
    }
    // A caption without a control of its own.
    auto* l = new QLabel(Utf8(row.caption), parent);
    isCheck = true;  // spans the line like a check box
    return l;
  };

  for (const TPage& page : Pages()) {
    auto* w = new QWidget(PageControl);
    w->setObjectName(Latin(page.name));
    auto* columns = new QHBoxLayout(w);
    columns->setContentsMargins(6, 6, 6, 6);
    columns->setSpacing(8);
    for (const std::vector<TGroup>* side : {&page.left, &page.right}) {
      auto* column = new QVBoxLayout();
      column->setSpacing(6);
      for (const TGroup& group : *side) {
        auto* box = new QGroupBox(Utf8(group.title), w);
        box->setObjectName(Latin(group.name));
        auto* g = new QGridLayout(box);
        g->setContentsMargins(6, 4, 6, 4);
        g->setVerticalSpacing(3);
        g->setColumnStretch(1, 1);
        int line = 0;
        int checksOnLine = 0;
        for (const TRow& row : group.rows) {
          bool isCheck = false;
          QWidget* control = makeControl(box, row, isCheck);
          if (control->objectName().isEmpty()) control->setObjectName(Latin(row.control));
          if (isCheck && group.checksPerLine > 1) {
            // Several to a line, each in a column of its own.
            auto* lineBox = qobject_cast<QHBoxLayout*>(
                checksOnLine > 0 ? g->itemAtPosition(line - 1, 0)->layout() : nullptr);
            if (!lineBox) {
              lineBox = new QHBoxLayout();
              g->addLayout(lineBox, line++, 0, 1, 3);
            }
            lineBox->addWidget(control);
            if (++checksOnLine == group.checksPerLine) checksOnLine = 0;
            continue;
          }
          checksOnLine = 0;
          if (isCheck || *row.caption == '\0') {
            g->addWidget(control, line++, 0, 1, 3);
            continue;
          }
          auto* caption = new QLabel(Utf8(row.caption), box);
          caption->setObjectName(QStringLiteral("Lab") + Latin(row.control));
          caption->setBuddy(control);
          g->addWidget(caption, line, 0);
          g->addWidget(control, line, 1);
          if (*row.unit) {
            auto* unit = new QLabel(Utf8(row.unit), box);
            unit->setObjectName(QStringLiteral("Unit") + Latin(row.control));
            g->addWidget(unit, line, 2);
          }
          ++line;
        }
        column->addWidget(box);
      }
      column->addStretch(1);
      columns->addLayout(column, 1);
    }
    PageControl->addTab(w, Utf8(page.title));
  }

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  btSave = new QPushButton(QStringLiteral("Save"), this);
  btSave->setObjectName(QStringLiteral("btSave"));
  btSave->setDefault(true);
  btCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btCancel->setObjectName(QStringLiteral("btCancel"));
  buttons->addWidget(btSave);
  buttons->addWidget(btCancel);
  outer->addLayout(buttons);
  connect(btSave, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TSetupFrm::NetworkPage(QWidget* parent) {
  // The network source of "NMEA_SIMUL": what kind, the host (or, for UDP,
  // the multicast group) and the port, with a line that checks them.
  auto* page = new QWidget(parent);
  page->setObjectName(QStringLiteral("PortPage4"));
  auto* g = new QGridLayout(page);
  g->setContentsMargins(4, 4, 4, 4);
  auto* kind = new QComboBox(page);
  kind->setObjectName(QStringLiteral("NetKind"));
  // In the order of TNetKind.
  for (const char* item : {"Off", "TCP (IP:)", "UDP", "gpsd"}) kind->addItem(Utf8(item));
  auto* host = new QLineEdit(page);
  host->setObjectName(QStringLiteral("NetHost"));
  auto* port = new QLineEdit(page);
  port->setObjectName(QStringLiteral("NetPort"));
  port->setMaxLength(6);
  auto* check = new QLabel(page);
  check->setObjectName(QStringLiteral("NetCheck"));
  check->setWordWrap(true);
  auto* labKind = new QLabel(QStringLiteral("Source"), page);
  labKind->setObjectName(QStringLiteral("LabNetKind"));
  auto* labHost = new QLabel(QStringLiteral("Host"), page);
  labHost->setObjectName(QStringLiteral("LabNetHost"));
  auto* labPort = new QLabel(QStringLiteral("Port"), page);
  labPort->setObjectName(QStringLiteral("LabNetPort"));
  g->addWidget(labKind, 0, 0);
  g->addWidget(kind, 0, 1);
  g->addWidget(labHost, 1, 0);
  g->addWidget(host, 1, 1);
  g->addWidget(labPort, 2, 0);
  g->addWidget(port, 2, 1);
  g->addWidget(check, 3, 0, 1, 2);
  g->setColumnStretch(1, 1);
  g->setRowStretch(4, 1);
  const auto update = [kind, host, port, check, labHost] {
    const auto k = static_cast<TNetKind>(std::max(kind->currentIndex(), 0));
    host->setEnabled(k != TNetKind::None);
    port->setEnabled(k != TNetKind::None);
    labHost->setText(k == TNetKind::Udp ? QStringLiteral("Group") : QStringLiteral("Host"));
    if (k == TNetKind::None) {
      check->setText(QStringLiteral("No network input"));
      return;
    }
    const TNetSource s = ParseNetworkSource(
        NetworkSourceText(k, host->text().toStdString(), port->text().toStdString()));
    check->setText(QString::fromStdString(s.Error.empty() ? DescribeNetworkSource(s) : s.Error));
  };
  connect(kind, &QComboBox::currentIndexChanged, page, update);
  connect(host, &QLineEdit::textChanged, page, update);
  connect(port, &QLineEdit::textChanged, page, update);
  update();
  return page;
}

void TSetupFrm::SetDatumNames(const std::vector<std::string>& names) {
  auto* c = Control<QComboBox>("CDatum");
  c->clear();
  // The empty entry: positions arrive in WGS 84.
  c->addItem(QString());
  for (const std::string& n : names) c->addItem(QString::fromStdString(n));
  c->setCurrentIndex(-1);
}

void TSetupFrm::SetSerialDevices(const std::vector<std::string>& devices) {
  for (const TSetupPortKey& k : kSetupPortKeys) {
    auto* c = Control<QComboBox>(k.device);
    const QString current = c->currentText();
    c->clear();
    for (const std::string& d : devices) c->addItem(QString::fromStdString(d));
    c->setEditText(current);
  }
}

void TSetupFrm::LoadControls(const RSysInfo& sys) {
  shownAtLoad_.clear();
  for (const TSetupIntKey& k : SetupIntKeys()) Control<QSpinBox>(k.control)->setValue(sys.*k.field);
  for (const TSetupFloatKey& k : SetupFloatKeys()) {
    auto* s = Control<QDoubleSpinBox>(k.control);
    s->setValue(SettingToDialog(k.unit, sys.*k.field));
    shownAtLoad_[k.control] = s->value();
  }
  for (const TSetupChoiceKey& k : SetupChoiceKeys()) Control<QComboBox>(k.control)->setCurrentIndex(sys.*k.field);
  for (const TSetupCheckKey& k : SetupCheckKeys()) Control<QCheckBox>(k.control)->setChecked(sys.*k.field);
  for (const TSetupBitKey& k : SetupBitKeys())
    Control<QCheckBox>(k.control)->setChecked((sys.*k.field & k.bit) != 0);
  for (const TSetupTriStateKey& k : SetupTriStateKeys()) {
    const TTriState s = SettingToTriState(sys.*k.field);
    Control<QCheckBox>(k.control)->setCheckState(s == TTriState::Checked  ? Qt::Checked
                                                 : s == TTriState::Grayed ? Qt::PartiallyChecked
                                                                          : Qt::Unchecked);
  }
  for (const TSetupTextKey& k : SetupTextKeys())
    Control<QLineEdit>(k.control)->setText(QString::fromStdString(sys.*k.field));
  for (int i = 0; i < 3; ++i) {
    Control<QSpinBox>(kSetupPortKeys[i].port)->setValue(sys.ComPort[i]);
    Control<QComboBox>(kSetupPortKeys[i].baudRate)->setCurrentIndex(sys.BaudRateId[i]);
    Control<QComboBox>(kSetupPortKeys[i].device)->setEditText(QString::fromStdString(sys.ComDevice[i]));
  }
  {
    const TNetSource net = ParseNetworkSource(sys.NmeaSimul);
    Control<QComboBox>("NetKind")->setCurrentIndex(static_cast<int>(net.Kind));
    Control<QLineEdit>("NetHost")->setText(QString::fromStdString(net.Host));
    Control<QLineEdit>("NetPort")->setText(QString::fromStdString(net.Port));
  }
  // The datum: its entry in the list, or none (the setting then stays).
  auto* datum = Control<QComboBox>("CDatum");
  int found = -1;
  if (!sys.GPSDatum.empty()) {
    const QString name = QString::fromStdString(sys.GPSDatum);
    for (int i = 1; i < datum->count() && found < 0; ++i)
      if (datum->itemText(i).compare(name, Qt::CaseInsensitive) == 0) found = i;
  }
  datum->setCurrentIndex(found);
  PageControl->setCurrentIndex(0);
}

void TSetupFrm::StoreControls(RSysInfo& sys) const {
  for (const TSetupIntKey& k : SetupIntKeys()) sys.*k.field = Control<QSpinBox>(k.control)->value();
  for (const TSetupFloatKey& k : SetupFloatKeys()) {
    const double now = Control<QDoubleSpinBox>(k.control)->value();
    const auto at = shownAtLoad_.find(k.control);
    if (at == shownAtLoad_.end())
      sys.*k.field = DialogToSetting(k.unit, now);
    else
      sys.*k.field = StoredFloat(k, sys.*k.field, at->second, now);
  }
  for (const TSetupChoiceKey& k : SetupChoiceKeys()) {
    const int i = Control<QComboBox>(k.control)->currentIndex();
    if (i >= 0) sys.*k.field = i;
  }
  for (const TSetupCheckKey& k : SetupCheckKeys()) sys.*k.field = Control<QCheckBox>(k.control)->isChecked();
  for (const TSetupBitKey& k : SetupBitKeys())
    sys.*k.field = ApplyBit(sys.*k.field, k.bit, Control<QCheckBox>(k.control)->isChecked());
  for (const TSetupTriStateKey& k : SetupTriStateKeys()) {
    const Qt::CheckState s = Control<QCheckBox>(k.control)->checkState();
    sys.*k.field = TriStateToSetting(s == Qt::Checked            ? TTriState::Checked
                                     : s == Qt::PartiallyChecked ? TTriState::Grayed
                                                                 : TTriState::Unchecked);
  }
  for (const TSetupTextKey& k : SetupTextKeys())
    sys.*k.field = Control<QLineEdit>(k.control)->text().toStdString();
  for (int i = 0; i < 3; ++i) {
    sys.ComPort[i] = Control<QSpinBox>(kSetupPortKeys[i].port)->value();
    const int baud = Control<QComboBox>(kSetupPortKeys[i].baudRate)->currentIndex();
    if (baud >= 0) sys.BaudRateId[i] = baud;
    sys.ComDevice[i] = Control<QComboBox>(kSetupPortKeys[i].device)->currentText().trimmed().toStdString();
  }
  const auto* datum = Control<QComboBox>("CDatum");
  if (datum->currentIndex() >= 0) sys.GPSDatum = datum->currentText().toStdString();
  // The network source. "Off" takes out a network source but keeps a
  // replay file; a source shown as it was keeps its text as written.
  const auto kind = static_cast<TNetKind>(std::max(Control<QComboBox>("NetKind")->currentIndex(), 0));
  if (kind == TNetKind::None) {
    if (IsNetworkSource(sys.NmeaSimul)) sys.NmeaSimul.clear();
  } else {
    const std::string text = NetworkSourceText(kind, Control<QLineEdit>("NetHost")->text().toStdString(),
                                               Control<QLineEdit>("NetPort")->text().toStdString());
    const TNetSource was = ParseNetworkSource(sys.NmeaSimul);
    const TNetSource now = ParseNetworkSource(text);
    if (was.Kind != now.Kind || was.Host != now.Host || was.Port != now.Port) sys.NmeaSimul = text;
  }
}

bool TSetupFrm::Execute(RSysInfo& sys) {
  LoadControls(sys);
  if (exec() != QDialog::Accepted) return false;
  StoreControls(sys);
  return true;
}

void TSetupFrm::ChooseLanguageFile() {
  auto* edit = Control<QLineEdit>("SULangFile");
  const std::string current = edit->text().toStdString();
  TFileDialogOptions o;
  o.title = "Language File";
  o.filter = "Language Files|*.LNG";
  o.defaultExt = "LNG";
  o.initialDir = DirectoryOf(current);
  o.fileName = current.empty() ? "*.LNG" : NameOf(current);
  if (const std::optional<std::string> chosen = OpenFileDialog(o)) edit->setText(QString::fromStdString(*chosen));
}

void TSetupFrm::ChooseLogFile() {
  auto* edit = Control<QLineEdit>("LogFileC");
  const std::string current = edit->text().toStdString();
  TFileDialogOptions o;
  o.title = "Log File";
  o.filter = "Text Files|*.TXT";
  o.defaultExt = "TXT";
  o.initialDir = DirectoryOf(current);
  o.fileName = NameOf(current);
  // The log book is appended to, so a new name is as good as an old one.
  if (const std::optional<std::string> chosen = SaveFileDialog(o)) edit->setText(QString::fromStdString(*chosen));
}
