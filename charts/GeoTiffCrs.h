// The coordinate system of a GeoTIFF from its GeoKeys (already read and
// checked by TGeoKeyDirectory): libgeotiff normalises the keys (EPSG codes or
// the file's own definitions, units, parameters), and the result is what
// TCrsToWgs84 sets up.
#pragma once

#include <string>

#include "charts/GeoTiffTags.h"
#include "geodesy/CrsToWgs84.h"

// False, with the reason (naming the system as the file calls it), for keys
// that define no usable system: none at all, a geocentric model, a
// projection method without a PROJ definition.
bool GeoTiffCrs(const TGeoKeyDirectory& keys, TCrsDefinition& crs, std::string* error = nullptr);
