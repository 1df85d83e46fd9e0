// The charts tests' KAP writer, built into this test program for the chart
// view's fixtures (ChartFixtures.h).
#include "charts/KapWriter.cpp"
