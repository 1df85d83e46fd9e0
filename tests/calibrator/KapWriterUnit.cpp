// The charts tests' KAP writer, for the chart fixtures (ChartFixtures.h) of
// the calibration tool's tests.
#include "charts/KapWriter.cpp"
