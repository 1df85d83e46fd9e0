// The invented piece of coast the demo charts show and the demo voyage
// sails through: a mainland with the small port of Brisvik behind two
// breakwaters, the island Skarvholm offshore, a few islets and a shoal.
// Everything is computed from formulas and a fixed seed, so every run
// draws the same world.
//
// Positions inside the world are metres on a local plane: x east and y
// north of the origin 56°27'N 003°00'E, with one minute of latitude taken
// as 1852 m and the longitude scale of the origin's latitude. The world
// lies in open water of the North Sea, far from any real coast.
#pragma once

#include <string>
#include <vector>

#include "foundation/Types.h"

struct TDemoPoint {
  double X = 0;  // metres east of the origin
  double Y = 0;  // metres north of the origin
};

// A name written on the charts.
struct TDemoLabel {
  TDemoPoint At;  // centre of the text
  std::string Text;
  bool Water = false;    // a sea name (drawn in the contour colour)
  bool Harbour = false;  // shown only on charts of harbour scale
};

// A light: a flare and its description.
struct TDemoLight {
  TDemoPoint At;
  int Colour = 0;  // 0 white (magenta flare), 1 red, 2 green
  std::string Text;
};

// A dredged channel: a rectangle kept at a depth, its limits dashed on
// charts of harbour scale.
struct TDemoChannel {
  TDemoPoint Min, Max;
  double Depth = 0;
};

// A building of the town: a rectangle.
struct TDemoBuilding {
  TDemoPoint Min, Max;
};

class TDemoWorld {
 public:
  TDemoWorld();

  static constexpr double kOriginLatDeg = 56.45;
  static constexpr double kOriginLonDeg = 3.0;
  // Metres per radian of latitude (one nautical mile per minute of arc).
  static constexpr double kMetresPerRadian = 1852.0 * kRadToNM;

  // Local metres <-> position (radians, X longitude, Y latitude).
  TFPoint ToGeo(const TDemoPoint& p) const;
  TDemoPoint ToLocal(const TFPoint& pos) const;
  // The local x of a longitude and the local y of a latitude (the plane is
  // separable, which lets a chart compute them once per column and row).
  double LocalX(double lon) const;
  double LocalY(double lat) const;

  // Height above the sea in metres: positive on land, the negative depth
  // at sea.
  double Height(double x, double y) const;
  double Depth(const TDemoPoint& p) const;

  const std::vector<TDemoLabel>& Labels() const { return labels_; }
  const std::vector<TDemoLight>& Lights() const { return lights_; }
  const std::vector<TDemoBuilding>& Buildings() const { return buildings_; }
  const std::vector<TDemoChannel>& Channels() const { return channels_; }
  // Positions of the harbour (for the harbour chart and the voyage).
  static TDemoPoint HarbourCentre() { return {1450, 800}; }

 private:
  double NaturalHeight(double x, double y) const;
  void PlaceBuildings();

  double cosLat0_;
  std::vector<TDemoLabel> labels_;
  std::vector<TDemoLight> lights_;
  std::vector<TDemoBuilding> buildings_;
  std::vector<TDemoChannel> channels_;
};

// Deterministic noise in [-1, 1]: smooth value noise over the plane.
double DemoNoise(double x, double y, unsigned seed);
// The sum of `octaves` noise layers of halving size and weight, in about
// [-1, 1].
double DemoFractalNoise(double x, double y, unsigned seed, int octaves);
