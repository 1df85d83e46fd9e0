// Names of the files the plotter keeps in its data directory that the
// calibration tool and brtool use too. Header only, so that they need not
// link the plotter.
#pragma once

// The settings file.
inline constexpr const char* kSettingsFileName = "BRISMARE_2.INI";
