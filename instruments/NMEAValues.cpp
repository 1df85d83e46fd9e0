// Values that arrive already decoded (a Signal K server) into the
// navigation state, through the same steps as the sentence handlers of
// NMEA.cpp.
#include <cmath>

#include "foundation/GenUtil.h"
#include "instruments/NMEA.h"

void TNMEA::TakeFix(double lat, double lon) {
  TNMEAINFO& I = Info;
  if (IsNoData(lat) || IsNoData(lon)) return TakeNoFix();
  Seen |= kSeenRMC;
  I.FixStatus = kFixValid;
  Updated |= kSetFix;
  if (I.FixQuality == 0) {
    I.FixQuality = 1;
    Updated |= kSetQuality;
  }
  I.RawPos = {lon, lat};
  SetPosFromRaw();
  // Speed and course from the fixes only while none are received.
  if (!(Seen & kSeenVTG)) DeriveFromFixes();
}

void TNMEA::TakeNoFix() {
  Seen |= kSeenRMC;
  Info.FixStatus = kFixInvalid;
  Info.FixQuality = 0;
  Updated |= kSetFix | kSetQuality;
}

void TNMEA::TakeMotion(std::optional<double> sogKnots, std::optional<double> cog) {
  TNMEAINFO& I = Info;
  if (!sogKnots && !cog) return;
  if (sogKnots) {
    I.SOG = *sogKnots;
    Updated |= kSetSOG;
  }
  if (cog) {
    I.COG = *cog;
    Updated |= kSetCOG;
  }
  I.Heading = I.COG;
  Updated |= kSetHeading;
  if (IsNoData(I.SOG) || IsNoData(I.COG)) {
    // Half a motion: no velocity, and the heading only from the compass.
    if (IsNoData(I.COG) && IsKnown(I.CompassHeading)) I.Heading = I.CompassHeading;
    I.VelEast = I.VelNorth = NoDataValue;
    Updated |= kSetVelocity;
    I.CogSogSource = kCogSogReceived;
    return;
  }
  FinishMotion(true);
}

void TNMEA::TakeVariation(double variation) {
  TNMEAINFO& I = Info;
  I.Variation = IsKnown(I.ModelVariation) ? I.ModelVariation : variation;
  Updated |= kSetVariation;
}

void TNMEA::TakeWaterSpeed(double knots) {
  Info.WaterSpeed = knots;
  Updated |= kSetWaterSpeed;
  Seen |= kSeenVHW;
}

void TNMEA::TakeWind(double angle, double speedMs, TWindKind kind) {
  TNMEAINFO& I = Info;
  if (IsNoData(angle)) {
    // No wind of this kind now: its values are unknown (not calm).
    if (kind == TWindKind::Apparent) {
      I.ApparentWindAngle = I.ApparentWindSpeed = NoDataValue;
    } else {
      I.TrueWindAngle = I.TrueWindSpeed = NoDataValue;
      if (kind == TWindKind::TrueDirection) I.TrueWindDirection = NoDataValue;
    }
    Updated |= kSetWind;
    return;
  }
  switch (kind) {
    case TWindKind::Apparent:
      UpdateWind(angle, speedMs, kind, kSeenMWVRelative);
      break;
    case TWindKind::TrueRelative:
      UpdateWind(angle, speedMs, kind, kSeenMWVTrue);
      break;
    case TWindKind::TrueDirection:
      // As MWD: the computed wind takes precedence with "Wind Calc".
      if (I.WindCalc && (Seen & (kSeenVWR | kSeenVWT | kSeenMWVTrue | kSeenMWVRelative))) return;
      UpdateWind(angle, speedMs, kind, kSeenMWD);
      break;
  }
}

void TNMEA::TakeGnss(const TGnss& g) {
  TNMEAINFO& I = Info;
  if (g.Quality) {
    I.FixQuality = *g.Quality;
    Updated |= kSetQuality;
    if (*g.Quality < 1) {
      I.FixStatus = kFixInvalid;
      Updated |= kSetFix;
    }
  }
  if (g.Satellites) {
    I.Satellites = *g.Satellites;
    Updated |= kSetSatellites;
  }
  if (g.HDOP) {
    I.HDOP = *g.HDOP;
    Updated |= kSetHDOP;
  }
  if (g.Altitude) {
    I.Altitude = *g.Altitude;
    Updated |= kSetAltitude;
  }
  if (g.DgpsAge || g.DgpsStation) {
    if (g.DgpsAge) I.DgpsAge = *g.DgpsAge;
    if (g.DgpsStation) I.DgpsStation = *g.DgpsStation;
    Updated |= kSetDgps;
  }
  Seen |= kSeenGGA;
}

void TNMEA::TakeDateTime(TDateTime utc) {
  Info.GpsDateTime = utc;
  Updated |= kSetTime;
  Seen |= kSeenDate;
}

void TNMEA::TakeFixTime(TDateTime utc) {
  if (Seen & kSeenDate) return;
  Info.GpsDateTime = utc;
  Updated |= kSetTime;
}
