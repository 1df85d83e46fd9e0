#include "navobjects/Routes.h"

#include <sys/stat.h>

namespace {
bool FileExists(const std::string& name) {
  struct stat st {};
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}
}  // namespace

void TRoute::Clear() {
  TNavShapeCollection::Clear();
  FileName.clear();
}

int TRoute::LoadFromFile(const std::string& fileName) { return FileExists(fileName) ? -1 : 0; }

int TRoute::LoadPositions(const std::string& fileName) { return LoadFromFile(fileName); }

int TRoute::SaveToFile(const std::string& /*fileName*/) { return Count() == 0 ? 0 : -1; }
