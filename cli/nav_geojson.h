// The tracks of nav --geojson: one GeoJSON FeatureCollection (RFC 7946: WGS 84
// longitude and latitude, no crs member).
#pragma once

#include "cli/cli_json.h"
#include "nav/track.h"

namespace tessara::cli
{

/// One Feature per track line, with its name, path, first_time, last_time
/// and trace_count: a LineString, a MultiLineString cut at +/-180 where the
/// track crosses the antimeridian, a Point for a single position. Then one
/// Point Feature per shot point, with its file, trace, time and distance_m.
/// Coordinates with 8 decimals: about a millimetre.
[[nodiscard]] Json TrackCollection(const TrackLayers& layers);

} // namespace tessara::cli
