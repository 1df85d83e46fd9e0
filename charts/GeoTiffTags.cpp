#include "charts/GeoTiffTags.h"

#include <algorithm>
#include <cmath>

namespace {

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

}  // namespace

bool TGeoKeyDirectory::Read(std::span<const uint16_t> dir, std::span<const double> doubles, std::string_view ascii,
                            std::string* error) {
  Keys.clear();
  KeyRevision = MinorRevision = 0;
  if (dir.size() < 4) return Fail(error, "the GeoKey directory is cut short");
  if (dir[0] != 1) return Fail(error, "the GeoKey directory is of version " + std::to_string(dir[0]) + ", not 1");
  KeyRevision = dir[1];
  MinorRevision = dir[2];
  const size_t count = dir[3];
  if (count > (dir.size() - 4) / 4)
    return Fail(error, "the GeoKey directory claims " + std::to_string(count) + " keys but holds " +
                           std::to_string((dir.size() - 4) / 4));
  if (count > kMaxKeys) return Fail(error, "the GeoKey directory holds too many keys");
  Keys.reserve(count);
  for (size_t k = 0; k < count; ++k) {
    const uint16_t id = dir[4 + 4 * k], place = dir[5 + 4 * k], n = dir[6 + 4 * k], offset = dir[7 + 4 * k];
    const std::string what = "GeoKey " + std::to_string(id);
    TGeoKey key;
    key.Id = id;
    switch (place) {
      case 0:
        // The value is the offset field itself.
        if (n != 1) return Fail(error, what + " keeps " + std::to_string(n) + " values in place of one");
        key.Shorts.push_back(offset);
        break;
      case kTagGeoKeyDirectory:
        if (n == 0 || size_t(offset) + n > dir.size()) return Fail(error, what + " lies outside the directory");
        key.Shorts.assign(dir.begin() + offset, dir.begin() + offset + n);
        break;
      case kTagGeoDoubleParams:
        key.Type = TGeoKey::TType::Double;
        if (n == 0 || size_t(offset) + n > doubles.size())
          return Fail(error, what + " lies outside the double parameters");
        key.Doubles.assign(doubles.begin() + offset, doubles.begin() + offset + n);
        break;
      case kTagGeoAsciiParams: {
        key.Type = TGeoKey::TType::Ascii;
        if (size_t(offset) + n > ascii.size()) return Fail(error, what + " lies outside the text parameters");
        std::string_view text = ascii.substr(offset, n);
        // Texts end with "|" (and some writers leave a NUL).
        while (!text.empty() && (text.back() == '|' || text.back() == '\0')) text.remove_suffix(1);
        key.Ascii.assign(text);
        break;
      }
      default:
        return Fail(error, what + " is kept in tag " + std::to_string(place) + ", which holds no GeoKeys");
    }
    if (!Find(id)) Keys.push_back(std::move(key));
  }
  return true;
}

const TGeoKey* TGeoKeyDirectory::Find(uint16_t id) const {
  for (const TGeoKey& k : Keys)
    if (k.Id == id) return &k;
  return nullptr;
}

std::optional<uint16_t> TGeoKeyDirectory::Short(uint16_t id) const {
  const TGeoKey* k = Find(id);
  if (!k || k->Type != TGeoKey::TType::Short || k->Shorts.empty()) return std::nullopt;
  return k->Shorts[0];
}

std::optional<double> TGeoKeyDirectory::Double(uint16_t id) const {
  const TGeoKey* k = Find(id);
  if (!k || k->Type != TGeoKey::TType::Double || k->Doubles.empty()) return std::nullopt;
  return k->Doubles[0];
}

std::optional<std::string> TGeoKeyDirectory::Ascii(uint16_t id) const {
  const TGeoKey* k = Find(id);
  if (!k || k->Type != TGeoKey::TType::Ascii) return std::nullopt;
  return k->Ascii;
}

void TGeoKeyDirectory::Write(std::vector<uint16_t>& dir, std::vector<double>& doubles, std::string& ascii) const {
  dir.assign({1, KeyRevision, MinorRevision, 0});
  doubles.clear();
  ascii.clear();
  // Keys in ascending order, as readers expect.
  std::vector<const TGeoKey*> sorted;
  for (const TGeoKey& k : Keys) sorted.push_back(&k);
  std::sort(sorted.begin(), sorted.end(), [](const TGeoKey* a, const TGeoKey* b) { return a->Id < b->Id; });
  // Short arrays go after the entries; a key whose values would not be
  // reachable by 16-bit counts and offsets is left out.
  std::vector<uint16_t> extra;
  const size_t extraBase = 4 + 4 * Keys.size();
  auto fits = [](size_t offset, size_t n) { return n <= 0xFFFF && offset + n <= 0xFFFF; };
  uint16_t written = 0;
  for (const TGeoKey* k : sorted) {
    uint16_t place = 0, n = 1, offset = 0;
    switch (k->Type) {
      case TGeoKey::TType::Short:
        if (k->Shorts.size() <= 1) {
          offset = k->Shorts.empty() ? 0 : k->Shorts[0];
          break;
        }
        if (!fits(extraBase + extra.size(), k->Shorts.size())) continue;
        place = kTagGeoKeyDirectory;
        n = static_cast<uint16_t>(k->Shorts.size());
        offset = static_cast<uint16_t>(extraBase + extra.size());
        extra.insert(extra.end(), k->Shorts.begin(), k->Shorts.end());
        break;
      case TGeoKey::TType::Double:
        if (k->Doubles.empty() || !fits(doubles.size(), k->Doubles.size())) continue;
        place = kTagGeoDoubleParams;
        n = static_cast<uint16_t>(k->Doubles.size());
        offset = static_cast<uint16_t>(doubles.size());
        doubles.insert(doubles.end(), k->Doubles.begin(), k->Doubles.end());
        break;
      case TGeoKey::TType::Ascii:
        if (!fits(ascii.size(), k->Ascii.size() + 1)) continue;
        place = kTagGeoAsciiParams;
        n = static_cast<uint16_t>(k->Ascii.size() + 1);
        offset = static_cast<uint16_t>(ascii.size());
        ascii += k->Ascii + "|";
        break;
    }
    dir.insert(dir.end(), {k->Id, place, n, offset});
    ++written;
  }
  dir[3] = written;
  // Keys left out leave their entries' room unused before the arrays.
  dir.resize(extraBase, 0);
  dir.insert(dir.end(), extra.begin(), extra.end());
}

bool ReadModelTransformation(std::span<const double> tie, std::span<const double> scale,
                             std::span<const double> matrix, bool pixelIsPoint, TGeoTiffModel& model,
                             std::string* error) {
  model = TGeoTiffModel();
  TPixelTransform& t = model.Transform;
  if (!scale.empty() && !tie.empty()) {
    if (scale.size() < 2) return Fail(error, "the pixel scale has fewer than two values");
    if (tie.size() < 6) return Fail(error, "the tie point is cut short");
    // Y grows downwards in the raster and (normally) northwards in the model.
    t.C[1] = scale[0];
    t.C[2] = 0;
    t.C[4] = 0;
    t.C[5] = -scale[1];
    t.C[0] = tie[3] - tie[0] * t.C[1];
    t.C[3] = tie[4] - tie[1] * t.C[5];
    model.Kind = TGeoTiffModel::TKind::Affine;
  } else if (!matrix.empty()) {
    if (matrix.size() != 16) return Fail(error, "the transformation matrix holds " + std::to_string(matrix.size()) +
                                                    " values, not 16");
    t.C[0] = matrix[3];
    t.C[1] = matrix[0];
    t.C[2] = matrix[1];
    t.C[3] = matrix[7];
    t.C[4] = matrix[4];
    t.C[5] = matrix[5];
    model.Kind = TGeoTiffModel::TKind::Affine;
  } else if (!tie.empty()) {
    if (tie.size() < 12)
      return Fail(error, tie.size() < 6 ? "the tie point is cut short"
                                        : "a single tie point without a pixel scale places no chart");
    const size_t n = std::min(tie.size() / 6, kMaxModelGcps);
    for (size_t i = 0; i < n; ++i) {
      const double* p = tie.data() + 6 * i;
      TModelGcp g{p[0], p[1], p[3], p[4]};
      if (!std::isfinite(g.X) || !std::isfinite(g.Y) || !std::isfinite(g.ModelX) || !std::isfinite(g.ModelY))
        return Fail(error, "tie point " + std::to_string(i + 1) + " is not a number");
      // A point at a pixel centre, in pixel counts from the outer corner.
      if (pixelIsPoint) {
        g.X += 0.5;
        g.Y += 0.5;
      }
      model.Gcps.push_back(g);
    }
    model.Kind = TGeoTiffModel::TKind::Gcps;
    return true;
  } else {
    return true;
  }
  if (pixelIsPoint) {
    // The model position of pixel (0, 0)'s centre moves to its corner.
    t.C[0] -= 0.5 * (t.C[1] + t.C[2]);
    t.C[3] -= 0.5 * (t.C[4] + t.C[5]);
  }
  // Its inverse must be usable too (a pixel of 1e-300 has none).
  if (TPixelTransform inverse; !t.Inverse(inverse)) {
    model.Kind = TGeoTiffModel::TKind::None;
    return Fail(error, "the model transformation cannot be inverted (a zero or unusable pixel size)");
  }
  return true;
}
