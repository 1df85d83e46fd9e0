// The charts tests' KAP writer, built into the plotter's two test programs
// (this folder's and core/'s) for the chart fixtures (ChartFixtures.h).
#include "charts/KapWriter.cpp"
