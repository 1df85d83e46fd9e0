// The georeferencing tags of a GeoTIFF, read with every count and offset
// checked: the GeoKey directory (with its double and text parameters) and
// the model transformation (a tie point with a pixel scale, a matrix, or
// tie points alone).
//
// These tags come from files of anywhere. A directory that claims more keys
// than it holds, a key whose value lies beyond the parameter tags, a count
// that does not fit, is an error with its reason, never a read past the data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/ModelGeoRef.h"

// Tags of the georeference (TIFF tag numbers).
inline constexpr uint32_t kTagModelPixelScale = 33550;
inline constexpr uint32_t kTagModelTiepoint = 33922;
inline constexpr uint32_t kTagModelTransformation = 34264;
inline constexpr uint32_t kTagGeoKeyDirectory = 34735;
inline constexpr uint32_t kTagGeoDoubleParams = 34736;
inline constexpr uint32_t kTagGeoAsciiParams = 34737;

// GeoKeys this program reads itself (the coordinate system's keys are
// handed to libgeotiff).
enum : uint16_t {
  kGeoKeyModelType = 1024,     // 1 projected, 2 geographic, 3 geocentric
  kGeoKeyRasterType = 1025,    // 1 PixelIsArea, 2 PixelIsPoint
  kGeoKeyCitation = 1026,
  kGeoKeyGeographicType = 2048,
  kGeoKeyGeogCitation = 2049,
  kGeoKeyProjectedType = 3072,
  kGeoKeyProjCitation = 3073,
  kGeoKeyProjLinearUnits = 3076,
};
inline constexpr uint16_t kGeoKeyUserDefined = 32767;

struct TGeoKey {
  enum class TType : uint8_t { Short, Double, Ascii };
  uint16_t Id = 0;
  TType Type = TType::Short;
  std::vector<uint16_t> Shorts;
  std::vector<double> Doubles;
  std::string Ascii;  // without the terminating "|"
};

class TGeoKeyDirectory {
 public:
  // Reads the directory (the shorts of its tag) with the values of the two
  // parameter tags. False, with the reason, when the directory is
  // malformed: a header that is not version 1, more keys than the directory
  // holds, a value outside the parameter tags, a key of an unknown place.
  // Keys are kept in directory order; a key that occurs twice keeps its first
  // value.
  bool Read(std::span<const uint16_t> directory, std::span<const double> doubles, std::string_view ascii,
            std::string* error = nullptr);

  uint16_t KeyRevision = 0;
  uint16_t MinorRevision = 0;
  std::vector<TGeoKey> Keys;

  const TGeoKey* Find(uint16_t id) const;
  // The first value of a key of that type; nothing when absent or of
  // another type.
  std::optional<uint16_t> Short(uint16_t id) const;
  std::optional<double> Double(uint16_t id) const;
  std::optional<std::string> Ascii(uint16_t id) const;

  // The directory written again from Keys (shorts, doubles, text), as clean
  // tags for another reader. A key whose values do not fit the 16-bit
  // counts and offsets is left out.
  void Write(std::vector<uint16_t>& directory, std::vector<double>& doubles, std::string& ascii) const;

  // The most keys read (real directories hold a few dozen).
  static constexpr size_t kMaxKeys = 4096;
};

// A ground control point: a pixel (counted as TPixelTransform counts them)
// and the model coordinates there.
struct TModelGcp {
  double X = 0, Y = 0;            // pixel
  double ModelX = 0, ModelY = 0;  // model
};

struct TGeoTiffModel {
  enum class TKind : uint8_t { None, Affine, Gcps };
  TKind Kind = TKind::None;
  TPixelTransform Transform;      // Affine
  std::vector<TModelGcp> Gcps;    // Gcps
};

// The model transformation from the tag values (empty spans for absent
// tags), as GDAL reads it: a pixel scale with the first tie point, else a
// 4 x 4 matrix, else the tie points as control points. With PixelIsPoint the
// tie points and the matrix refer to pixel centres, so the transformation
// moves by half a pixel. False, with the reason, for a transformation that
// cannot be inverted (a zero or non-finite scale, a degenerate matrix) or
// malformed tags (a matrix of another size than 16, a tie point cut short, a
// single tie point without a scale). No tags at all give Kind None and true.
bool ReadModelTransformation(std::span<const double> tiepoints, std::span<const double> pixelScale,
                             std::span<const double> matrix, bool pixelIsPoint, TGeoTiffModel& model,
                             std::string* error = nullptr);

// The most control points read.
inline constexpr size_t kMaxModelGcps = 10000;
