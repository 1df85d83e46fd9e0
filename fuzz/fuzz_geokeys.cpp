// The georeferencing tags of GeoTIFF files come from anywhere. The input is
// cut into the tags' values: a header of counts, then the GeoKey directory
// (shorts), its double parameters, the tie points, the pixel scale, the
// matrix, and the rest as its text parameters. Checked: a directory read is
// written again and reads back the same; a model transformation read can be
// inverted or is a list of finite control points; and the coordinate system
// (libgeotiff on our clean keys) is set up or refused, never crashes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "charts/GeoTiffCrs.h"
#include "charts/GeoTiffTags.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_geokeys: %s\n", what);
    std::abort();
  }
}

struct TReader {
  const uint8_t* p;
  size_t n;
  template <class T>
  std::vector<T> Take(size_t count) {
    count = std::min(count, n / sizeof(T));
    std::vector<T> v(count);
    if (count) std::memcpy(v.data(), p, count * sizeof(T));
    p += count * sizeof(T);
    n -= count * sizeof(T);
    return v;
  }
};

bool SameKeys(const TGeoKeyDirectory& a, const TGeoKeyDirectory& b) {
  if (a.Keys.size() != b.Keys.size()) return false;
  for (const TGeoKey& k : a.Keys) {
    const TGeoKey* o = b.Find(k.Id);
    if (!o || o->Type != k.Type || o->Shorts != k.Shorts || o->Ascii != k.Ascii ||
        o->Doubles.size() != k.Doubles.size() ||
        (!k.Doubles.empty() &&
         std::memcmp(o->Doubles.data(), k.Doubles.data(), k.Doubles.size() * sizeof(double)) != 0))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const uint16_t nDir = uint16_t(data[0] | data[1] << 8), nDoubles = data[2], nTie = data[3], nScale = data[4] & 7;
  const bool matrix = data[5] & 1, pixelIsPoint = data[5] & 2, crs = data[5] & 4;
  TReader r{data + 8, size - 8};
  const std::vector<uint16_t> dir = r.Take<uint16_t>(nDir);
  const std::vector<double> doubles = r.Take<double>(nDoubles);
  const std::vector<double> tie = r.Take<double>(nTie);
  const std::vector<double> scale = r.Take<double>(nScale);
  const std::vector<double> mat = r.Take<double>(matrix ? 16 : 0);
  const std::string ascii(reinterpret_cast<const char*>(r.p), r.n);

  TGeoKeyDirectory keys;
  std::string error;
  if (keys.Read(dir, doubles, ascii, &error)) {
    Check(keys.Keys.size() <= dir.size() / 4, "more keys than entries");
    std::vector<uint16_t> dir2;
    std::vector<double> doubles2;
    std::string ascii2;
    keys.Write(dir2, doubles2, ascii2);
    TGeoKeyDirectory again;
    Check(again.Read(dir2, doubles2, ascii2, &error), "the written directory does not read");
    // Unless keys too large for the tags were left out, the same keys.
    if (dir2[3] == keys.Keys.size()) Check(SameKeys(keys, again), "the written directory reads otherwise");
    if (crs) {
      TCrsDefinition def;
      if (GeoTiffCrs(keys, def, &error)) Check(!def.ProjText.empty(), "a system without a PROJ text");
    }
  } else {
    Check(!error.empty(), "a refusal without a reason");
  }

  TGeoTiffModel model;
  if (ReadModelTransformation(tie, scale, mat, pixelIsPoint, model, &error)) {
    if (model.Kind == TGeoTiffModel::TKind::Affine) {
      TPixelTransform inv;
      Check(model.Transform.Inverse(inv), "an affine model without an inverse");
    } else if (model.Kind == TGeoTiffModel::TKind::Gcps) {
      Check(model.Gcps.size() >= 2 && model.Gcps.size() <= kMaxModelGcps, "control point count");
      for (const TModelGcp& g : model.Gcps)
        Check(std::isfinite(g.X) && std::isfinite(g.Y) && std::isfinite(g.ModelX) && std::isfinite(g.ModelY),
              "a control point that is not a number");
    }
  } else {
    Check(model.Kind == TGeoTiffModel::TKind::None && !error.empty(), "a refusal that kept a model");
  }
  return 0;
}
