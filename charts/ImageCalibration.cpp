#include "charts/ImageCalibration.h"

#include "charts/FileNames.h"
#include "foundation/GenUtil.h"
#include "platform/Paths.h"

int ReadImageCalibration(const std::string& imagePath, TChartHeadExternalCodec& codec, std::string* from) {
  const std::string dir = DirectoryOf(imagePath).empty() ? std::string(".") : DirectoryOf(imagePath);
  const std::string name = ForeignFileName(imagePath);
  codec.Clear();
  if (auto cal = FindFileCaseInsensitive(dir, FileBaseName(name) + ".CAL")) {
    if (!codec.LoadFromFile(*cal)) return kCalNone;
    if (from) *from = *cal;
    return kCalOwnFile;
  }
  if (auto calDir = FindFileCaseInsensitive(dir, kChartCalDirName)) {
    if (!codec.ReadSection(*calDir, name)) return kCalNone;
    if (from) *from = *calDir;
    return kCalSection;
  }
  return kCalNone;
}
