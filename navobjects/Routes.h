// Routes: the plotter's route and its list of positions are both TRoute
// objects. (Only what the main window needs at start so far; routes, their
// files and route following come with their own work.)
#pragma once

#include <string>

#include "navobjects/NavCtrls.h"

class TRoute : public TNavShapeCollection {
 public:
  TRoute() = default;

  // Also forgets the file name.
  void Clear() override;

  // Route files. Each returns the number of points read or written, or -1
  // when the file could not be handled: reading and writing route files is
  // not part of this build yet, so an existing file is never taken for an
  // empty one. Saving an empty route writes nothing and returns 0.
  int LoadFromFile(const std::string& fileName);
  int LoadPositions(const std::string& fileName);
  int SaveToFile(const std::string& fileName);

  std::string FileName;
  // Route following is on.
  bool Following = false;
};
