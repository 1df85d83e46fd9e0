// How much of a replay file (NMEA sentences played back as if they came
// from the instruments) one tick of the plotter reads. Header only: brtool
// plans its demo voyages with the same figure.
#pragma once

// Lines read per tick, at most: the "NMEA_SIMUL_READS" setting counts the
// lines beyond the first, so it goes up to one less than this. More would
// keep the window from answering between ticks.
inline constexpr int kMaxReplayLinesPerTick = 1001;
