#include "plotter/core/SetupKeys.h"

#include <array>

#include "foundation/Types.h"
#include "plotter/core/Ports.h"

namespace {

using S = RSysInfo;
using U = TSetupUnit;
using L = TSetupList;

constexpr TSetupIntKey kIntKeys[] = {
    {"UpdInrvl", &S::ShowTime, 2, 60, 1},
    {"SUShowRings", &S::ShowRings, 0, 10, 1},
    {"SUSpeedmark", &S::SpeedMark, 0, 3600, 10},
    {"SUPreFetch", &S::ChartPrefetch, 0, 600, 10},
    {"SUScrlEdge", &S::ChartEdge, 0, 40, 1},
    {"RtePreTime", &S::RoutePreload, 5, 500, 1},
    {"RteLWidth", &S::RouteLineWidth, 0, 6, 1},
    {"TraceT", &S::TrackTime, 0, 3600, 1},
    {"FWidthTrk", &S::TrackWidth, 0, 8, 1},
    {"AP_XTEAMP", &S::AutoPXTEAmp, 5, 500, 1},
    {"AP_INTER", &S::AutoPUpd, 0, 999, 1},
    {"ShdTwi", &S::ShadeTwilight, -95, 95, 1},
    {"ShdDusk", &S::ShadeDusk, -95, 95, 1},
    {"ShdNight", &S::ShadeNight, -95, 95, 1},
    {"FOutFact", &S::OutlineFactor, 2, 50, 1},
};

constexpr TSetupFloatKey kFloatKeys[] = {
    {"RteForce", &S::RouteForce, U::Metres, 0, 5, 1000},
    {"TraceD", &S::TrackDistance, U::Metres, 0, 0, 100000},
    {"TraceC", &S::TrackCompDev, U::Degrees, 0, 0, 30},
    {"DSPD", &S::DefaultSpeed, U::Plain, 1, 0.1, 99.9},
    {"DXTE", &S::DefaultXTE, U::NauticalMiles, 2, 0.01, 9.99},
    {"DPAlarm", &S::DepthAlarm, U::Plain, 1, 0, 9999},
    {"DPTransDpt", &S::TransducerDepth, U::Plain, 2, -99, 99},
    {"LogCutOffT", &S::LogCutoff, U::Plain, 2, 0, 99},
    {"DBCPAMax", &S::AISCPAMax, U::Plain, 2, 0, 99},
    {"DBTCPAMax", &S::AISTCPAMax, U::Minutes, 0, 0, 1440},
};

constexpr TSetupChoiceKey kChoiceKeys[] = {
    {"FColorBoat", &S::BoatColor, L::Colour},
    {"SUBSizeBox", &S::BoatSize, L::Size},
    {"SURingStep", &S::RingsStep, L::RingStep},
    {"SUBShape", &S::BoatShapeMarker, L::BoatShape},
    {"SUDashPos", &S::Dashboard, L::DashboardSide},
    {"SUNZoom", &S::NCZoom, L::NewChartZoom},
    {"FColorRtN", &S::RouteNormalColor, L::Colour},
    {"FColorRtS", &S::RouteSelectColor, L::Colour},
    {"SURSizeBox", &S::RouteSize, L::Size},
    {"FColorTrk", &S::TrackColor, L::Colour},
    {"FColorWind", &S::WindArrowColor, L::Colour},
    {"SWD_Cb", &S::WindShow, L::WindUnit},
    {"SDD_Cb", &S::DepthShow, L::DepthUnit},
    {"FColorAIS", &S::AISMarkerColor, L::Colour},
    {"FSizeAIS", &S::AISMarkerSize, L::Size},
    {"AP_CAP", &S::APCapability, L::Capability},
    {"FColorOut", &S::OutlineColor, L::Colour},
    {"FColorWpN", &S::WaypointNormalColor, L::Colour},
    {"FColorWpS", &S::WaypointSelectColor, L::Colour},
    {"SUWSizeBox", &S::WaypointSize, L::Size},
};

constexpr TSetupCheckKey kCheckKeys[] = {
    {"WheelZoom", &S::MouseWheel},       {"SUAheadOn", &S::AutoOffset},
    {"SUPanUpdate", &S::DragUpdate},     {"SUFatCursor", &S::FatCursors},
    {"SUHQZoom", &S::HighQualityZoom},   {"RteAck", &S::RouteWPAck},
    {"RteHintBox", &S::RouteInfobox},    {"SCD_C", &S::CompassShow},
    {"FDecodeAIS", &S::AISShow},         {"FPanelAIS", &S::AISPanel},
    {"APO_FakeId", &S::RouteIdKeep},     {"NMEA_DRUpd", &S::NMEADRUpdate},
    {"Sound", &S::WarningSound},         {"ShdTop", &S::ShadeDesktop},
    {"UseGPS", &S::UseGPSClock},         {"ALWP", &S::AutoloadWaypts},
    {"ALRT", &S::AutoloadRoute},         {"WPHintBox", &S::WaypointInfobox},
};

constexpr TSetupBitKey kBitKeys[] = {
    {"ALOE_SSS", &S::AutoLogBook, 1},   {"ALOE_RSS", &S::AutoLogBook, 2},
    {"ALOE_LC", &S::AutoLogBook, 4},    {"ALOE_NRW", &S::AutoLogBook, 8},
    {"ALOE_NMEAErr", &S::AutoLogBook, 16}, {"ALOE_XTEErr", &S::AutoLogBook, 32},
    {"APOE_APA", &S::AutoPMsg, 1},      {"APOE_APB", &S::AutoPMsg, 2},
    {"APOE_RMB", &S::AutoPMsg, 4},      {"APOE_BOD", &S::AutoPMsg, 8},
    {"APOE_BWC", &S::AutoPMsg, 16},     {"APOE_RTE", &S::AutoPMsg, 32},
};

constexpr TSetupTriStateKey kTriStateKeys[] = {
    {"SLT", &S::ShowLogData},
    {"FLabelsAIS", &S::AISLabels},
};

constexpr TSetupTextKey kTextKeys[] = {
    {"SULangFile", &S::LanguageFile, 1024},
    {"LogFileC", &S::LogBookFile, 0},
    {"NMEA_ID", &S::UnitId, 2},
    {"NMEAPassBox", &S::GPSPassThrough, 0},
    {"GpsProtocol", &S::GpsProtocol, 100},
};

constexpr std::array<const char*, 16> kColourNames = {
    "Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal",    "Gray",
    "Silver", "Red",   "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White",
};
constexpr std::array<const char*, 4> kSizeNames = {"Small", "Medium", "Large", "Huge"};
constexpr std::array<const char*, 8> kRingSteps = {"Auto A", "Auto B", "0.125", "0.25",
                                                   "0.5",    "1.0",    "2.0",   "4.0"};
constexpr std::array<const char*, 3> kBoatShapes = {"Circle", "Boat", "Arrow"};
constexpr std::array<const char*, 2> kSides = {"Left", "Right"};
constexpr std::array<const char*, 2> kNewChartZooms = {"100%", "Last"};
constexpr std::array<const char*, 3> kWindUnits = {"Off", "m/s", "Knots"};
constexpr std::array<const char*, 4> kDepthUnits = {"Off", "Meters", "Feet", "Fathoms"};
constexpr std::array<const char*, 5> kCapabilities = {"Upper case", "+ Lower case", "As is (8 bit Ascii)",
                                                      "Numeric", "Nexus"};

template <size_t N>
std::string Item(const std::array<const char*, N>& items, int index) {
  return index >= 0 && index < static_cast<int>(N) ? items[static_cast<size_t>(index)] : "";
}

}  // namespace

double SettingToDialog(TSetupUnit unit, double stored) {
  switch (unit) {
    case U::Metres:
      return RadToMetres(stored);
    case U::Degrees:
      return stored * kRadToDeg;
    case U::NauticalMiles:
      return RadToNM(stored);
    case U::Minutes:
      return DaysToMinutes(stored);
    case U::Plain:
      break;
  }
  return stored;
}

double DialogToSetting(TSetupUnit unit, double shown) {
  switch (unit) {
    case U::Metres:
      return MetresToRad(shown);
    case U::Degrees:
      return shown * kDegToRad;
    case U::NauticalMiles:
      return NMToRad(shown);
    case U::Minutes:
      return MinutesToDays(shown);
    case U::Plain:
      break;
  }
  return shown;
}

std::span<const TSetupIntKey> SetupIntKeys() { return kIntKeys; }
std::span<const TSetupFloatKey> SetupFloatKeys() { return kFloatKeys; }
std::span<const TSetupChoiceKey> SetupChoiceKeys() { return kChoiceKeys; }
std::span<const TSetupCheckKey> SetupCheckKeys() { return kCheckKeys; }
std::span<const TSetupBitKey> SetupBitKeys() { return kBitKeys; }
std::span<const TSetupTriStateKey> SetupTriStateKeys() { return kTriStateKeys; }
std::span<const TSetupTextKey> SetupTextKeys() { return kTextKeys; }

int SetupListSize(TSetupList list) {
  switch (list) {
    case L::Colour:
      return static_cast<int>(kColourNames.size());
    case L::Size:
      return static_cast<int>(kSizeNames.size());
    case L::RingStep:
      return static_cast<int>(kRingSteps.size());
    case L::BoatShape:
      return static_cast<int>(kBoatShapes.size());
    case L::DashboardSide:
      return static_cast<int>(kSides.size());
    case L::NewChartZoom:
      return static_cast<int>(kNewChartZooms.size());
    case L::WindUnit:
      return static_cast<int>(kWindUnits.size());
    case L::DepthUnit:
      return static_cast<int>(kDepthUnits.size());
    case L::Capability:
      return static_cast<int>(kCapabilities.size());
    case L::BaudRate:
      return static_cast<int>(kBaudRates.size());
  }
  return 0;
}

std::string SetupListItem(TSetupList list, int index) {
  switch (list) {
    case L::Colour:
      return Item(kColourNames, index);
    case L::Size:
      return Item(kSizeNames, index);
    case L::RingStep:
      return Item(kRingSteps, index);
    case L::BoatShape:
      return Item(kBoatShapes, index);
    case L::DashboardSide:
      return Item(kSides, index);
    case L::NewChartZoom:
      return Item(kNewChartZooms, index);
    case L::WindUnit:
      return Item(kWindUnits, index);
    case L::DepthUnit:
      return Item(kDepthUnits, index);
    case L::Capability:
      return Item(kCapabilities, index);
    case L::BaudRate:
      if (index >= 0 && index < static_cast<int>(kBaudRates.size()))
        return std::to_string(kBaudRates[static_cast<size_t>(index)]);
      return "";
  }
  return "";
}

int TriStateToSetting(TTriState s) {
  switch (s) {
    case TTriState::Checked:
      return 1;
    case TTriState::Grayed:
      return 2;
    case TTriState::Unchecked:
      break;
  }
  return 0;
}

TTriState SettingToTriState(int value) {
  if (value == 1) return TTriState::Checked;
  if (value == 2) return TTriState::Grayed;
  return TTriState::Unchecked;
}

double StoredFloat(const TSetupFloatKey& key, double stored, double shownAtLoad, double shownNow) {
  if (shownNow == shownAtLoad) return stored;
  return DialogToSetting(key.unit, shownNow);
}

int32_t ApplyBit(int32_t value, int32_t bit, bool on) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint32_t b = static_cast<uint32_t>(bit);
  return static_cast<int32_t>(on ? (v | b) : (v & ~b));
}
