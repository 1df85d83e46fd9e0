// Which control of the setup dialog edits which setting, in what unit and
// within what range. The dialog builds its controls from these tables and
// moves values between them and the settings record; nothing else in it
// knows a setting by name.
//
// Controls show the units a sailor thinks in (metres, degrees, nautical
// miles, minutes) while the record keeps radians and days. A value the user
// did not touch is stored back exactly as it was read: only a control whose
// value changed is converted again, so opening the dialog and saving never
// shifts a stored number by rounding.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "plotter/core/SysInfo.h"

enum class TSetupUnit : uint8_t {
  Plain,          // the value as stored
  Metres,         // stored in radians of arc
  Degrees,        // stored in radians
  NauticalMiles,  // stored in radians of arc
  Minutes,        // stored in days
};

double SettingToDialog(TSetupUnit unit, double stored);
double DialogToSetting(TSetupUnit unit, double shown);

// A whole number in a spin box.
struct TSetupIntKey {
  const char* control;
  int32_t RSysInfo::*field;
  int low;
  int high;
  int step;
};

// A number with decimals (or a float setting shown as a whole number).
struct TSetupFloatKey {
  const char* control;
  double RSysInfo::*field;
  TSetupUnit unit;
  int decimals;
  double low;  // in the dialog's unit
  double high;
};

// A list whose item index is the setting.
enum class TSetupList : uint8_t {
  Colour,  // the sixteen standard colours
  Size,    // "Small", "Medium", "Large", "Huge"
  RingStep,
  BoatShape,
  DashboardSide,
  NewChartZoom,
  WindUnit,
  DepthUnit,
  Capability,
  BaudRate,
};
struct TSetupChoiceKey {
  const char* control;
  int32_t RSysInfo::*field;
  TSetupList list;
};

struct TSetupCheckKey {
  const char* control;
  bool RSysInfo::*field;
};

// One bit of a bit-set setting.
struct TSetupBitKey {
  const char* control;
  int32_t RSysInfo::*field;
  int32_t bit;
};

// A three-state check box: unchecked 0, checked 1, grayed 2.
struct TSetupTriStateKey {
  const char* control;
  int32_t RSysInfo::*field;
};

// The three port pages: port number, baud rate and device of ports A, B, C.
struct TSetupPortKey {
  const char* port;
  const char* baudRate;
  const char* device;
};
inline constexpr TSetupPortKey kSetupPortKeys[3] = {
    {"CPort1", "grpBaudRate", "ComDevice1"},
    {"CPort2", "grpBaudRate2", "ComDevice2"},
    {"CPort3", "grpBaudRate3", "ComDevice3"},
};

struct TSetupTextKey {
  const char* control;
  std::string RSysInfo::*field;
  int maxLength;  // 0: no limit
};

std::span<const TSetupIntKey> SetupIntKeys();
std::span<const TSetupFloatKey> SetupFloatKeys();
std::span<const TSetupChoiceKey> SetupChoiceKeys();
std::span<const TSetupCheckKey> SetupCheckKeys();
std::span<const TSetupBitKey> SetupBitKeys();
std::span<const TSetupTriStateKey> SetupTriStateKeys();
std::span<const TSetupTextKey> SetupTextKeys();

// Number of items of a list.
int SetupListSize(TSetupList list);
// The built-in text of item `index` of a list ("" outside it).
std::string SetupListItem(TSetupList list, int index);

// Three-state check box values; the setting's meaning of each state.
enum class TTriState : uint8_t { Unchecked, Checked, Grayed };
int TriStateToSetting(TTriState s);
// 0 unchecked, 1 checked, 2 grayed; anything else unchecked.
TTriState SettingToTriState(int value);

// Takes a float control's value back into the setting: when the control
// still shows what it showed after loading, `stored` stays as it is;
// otherwise the shown value is converted into the setting's unit.
double StoredFloat(const TSetupFloatKey& key, double stored, double shownAtLoad, double shownNow);

// Bits of a bit-set setting not edited by any control keep their value.
int32_t ApplyBit(int32_t value, int32_t bit, bool on);
