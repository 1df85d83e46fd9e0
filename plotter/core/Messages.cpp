#include "plotter/core/Messages.h"

const std::array<std::string_view, kMessageCount> kDefaultMessages = {
    "Waypoint",  // 0
    "Waypoint",  // 1
    "AUTOMATIC",  // 2
    "ROUTE EDITOR",  // 3
    "TRACK",  // 4
    "NMEA OUT",  // 5
    "ON",  // 6
    "OFF",  // 7
    "kt",  // 8
    "nm",  // 9
    "Speed",  // 10
    "Long",  // 11
    "Lat",  // 12
    "GPS",  // 13
    "Diff",  // 14
    "DR",  // 15
    "Route",  // 16
    "Track",  // 17
    "Positions",  // 18
    "Available Routes",  // 19
    "Activate Route",  // 20
    "Deactivate Route",  // 21
    "Sum and average",  // 22
    "No Name",  // 23
    "Loading Chart",  // 24
    "Error",  // 25
    "Browse",  // 26
    "Available Tracks",  // 27
    "Do you want to quit",  // 28
    "Route Is Active. Deactivate to do this",  // 29
    "Tracking is active. Deactivate to do this",  // 30
    " is not saved! Continue?",  // 31
    " will be deleted. Ok?",  // 32
    "Clear old route?",  // 33
    "Export Route to Gardown",  // 34
    "Export Route to WP+/G7T",  // 35
    "Import Route from WP+/G7T",  // 36
    "Import Positions from WP+/G7T",  // 37
    "Add to Existing Positions?",  // 38
    "Export Positions to WP+/G7T",  // 39
    "Garmin Info",  // 40
    "Open Positions",  // 41
    "Save Positions",  // 42
    "Clear All Positions?",  // 43
    "Enter Information",  // 44
    "Log Book",  // 45
    "Reset Trip?",  // 46
    "Reset Trip From ",  // 47
    "Reset Fuel?",  // 48
    "Reset Fuel From ",  // 49
    "Enter Garmin Route #, 1 - 99",  // 50
    "Could Not Open Communication Port",  // 51
    "Merged Routes",  // 52
    "Open Language",  // 53
    "Not WGS84 Datum. Continue?",  // 54
    "Description",  // 55
    "Scale",  // 56
    "Id",  // 57
    "Name",  // 58
    "Lat",  // 59
    "Long",  // 60
    "Speed",  // 61
    "XTE",  // 62
    "Dist",  // 63
    "Time",  // 64
    "BOD",  // 65
    "Text File Name",  // 66
    "Route Files",  // 67
    "Position Files",  // 68
    "Track Files",  // 69
    "Chart Files",  // 70
    "#  , Lat        , Long        ,  Kt , XTE  , BOD , H     ,   NM  , WP",  // 71
    "#  , Lat        , Long        , WP",  // 72
    "Date      ,Time    , Lat        , Long        ,  Spd, Depth",  // 73
    "Print Preview",  // 74
    "Search Chart Name",  // 75
    "Text in Chart Name",  // 76
    "New Group",  // 77
    "Group Name",  // 78
    "Change Group",  // 79
    "Import Track from Waypoint+ or G7To",  // 80
    "WP Import Error",  // 81
    "Reset Time?",  // 82
    "Route Name",  // 83
    "AIS Target Info",  // 84
    "UTC:",  // 85
    "Name:",  // 86
    "CallId:",  // 87
    "Dest:",  // 88
    "Lat:",  // 89
    "Long:",  // 90
    "SOG:",  // 91
    "COG:",  // 92
    "HDT:",  // 93
    "Length:",  // 94
    "Width:",  // 95
    "Draft:",  // 96
    "MMSI #:",  // 97
    "IMO #:",  // 98
    "ROT:",  // 99
    "Type:",  // 100
    "Class B",  // 101
    "Base station",  // 102
    "S.A.R",  // 103
    "Mobile station",  // 104
    "AToN",  // 105
    "BRG:",  // 106
    "RNG:",  // 107
    "CPA:",  // 108
    "TCPA:",  // 109
    "Status:",  // 110
    "Wind     ",  // 111
    "Wind Dir ",  // 112
    "Gust     ",  // 113
    "Gust Dir ",  // 114
    "Air Temp ",  // 115
    "Humidity ",  // 116
    "Dew Point",  // 117
    "Air Prsr.",  // 118
    "Visibility",  // 119
    "WtrLevel ",  // 120
    "Current",  // 121
    "Crnt.Dir ",  // 122
    "WaveHgt  ",  // 123
    "WavePer. ",  // 124
    "Wave Dir ",  // 125
    "SwellHgt ",  // 126
    "SwellPer.",  // 127
    "Swell Dir",  // 128
    "Wtr Temp ",  // 129
    "Ice",  // 130
    "Metrologic",  // 131
};

TMessageTable::TMessageTable() {
  lines_.reserve(kDefaultMessages.size());
  for (std::string_view m : kDefaultMessages) lines_.emplace_back(m);
}

const std::string& TMessageTable::operator[](int id) const {
  static const std::string empty;
  static const std::array<std::string, kMessageCount> defaults = [] {
    std::array<std::string, kMessageCount> a;
    for (int i = 0; i < kMessageCount; ++i) a[i] = std::string(kDefaultMessages[i]);
    return a;
  }();
  if (id < 0) return empty;
  if (static_cast<size_t>(id) < lines_.size()) return lines_[static_cast<size_t>(id)];
  if (id < kMessageCount) return defaults[static_cast<size_t>(id)];
  return empty;
}

std::string DefaultMessageText() {
  std::string text;
  for (size_t i = 0; i < kDefaultMessages.size(); ++i) {
    if (i) text += '\n';
    text += kDefaultMessages[i];
  }
  return text;
}
