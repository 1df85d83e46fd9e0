// A one-line JSON description of what an accepted sentence did to the
// navigation state, for the command-line tool and for comparing with other
// decoders. Units: degrees, knots, metres; times as ISO 8601 UTC.
#pragma once

#include <string>

#include "instruments/NMEA.h"

// {"talker":"GP","id":"RMC","fix":4,"utc":"2015-07-20T09:22:11Z","lat":...}
// Keys, present when the sentence wrote the value (null for "no data"):
// fix, quality, mode, sats, hdop, alt, dgps_age, dgps_station, utc, lat, lon,
// sog, cog, heading, magcourse, var, hdt, hdm, depth, stw, temp, rot, awa,
// aws, twa, tws, twd, vmg, datum_dlat, datum_dlon.
std::string SentenceReportJson(const TNMEA& parser, const TNdxString& sentence);

// The date and time as "yyyy-mm-ddThh:mm:ssZ" (whole seconds).
std::string IsoDateTime(TDateTime t);
