// The ship's track in geographic coordinates, for GIS: the fixes of the speed
// correction turned back into WGS 84 longitude and latitude.
#pragma once

#include "nav/llt.h"

#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// A UTM zone with its hemisphere: the frame of a file whose positions are
/// projected lengths (coordinateUnits 1), which the file does not name.
struct UtmZone {
    int zone = 0;      ///< 1..60
    bool north = true; ///< northern hemisphere (no false northing)
};

/// "31N", "31n", "7S": zone 1..60 and hemisphere N or S. Empty for anything
/// else (a missing hemisphere, a zone outside 1..60, trailing text).
[[nodiscard]] std::optional<UtmZone> ParseUtmZone(const std::string& text);

/// A position on WGS 84 in degrees: longitude -180..180, latitude -90..90.
struct GeoPosition {
    double lon = 0.0;
    double lat = 0.0;
};

/// The geographic position of one fix of a list built by
/// ReadAndBufferTraceHeaderData. A geographic fix keeps its lat and lon
/// (those of smoothed fixes already follow the inverse projection of the
/// list's zone). A projected fix is taken through the inverse UTM projection
/// of `projectedZone` (x easting with its 500000 m false easting, y northing
/// with 10000000 m false northing in the south). Empty for a projected fix
/// without a zone, a position the projection refuses, or a latitude outside
/// -90..90 degrees; the longitude is brought into -180..180.
[[nodiscard]] std::optional<GeoPosition>
FixToGeographic(const llt& fix, const std::optional<UtmZone>& projectedZone);

/// A line of positions cut where it crosses the antimeridian (RFC 7946
/// 3.1.9): a step between two positions whose longitudes differ by more than
/// 180 degrees goes the short way across +/-180, and the line is cut there
/// into two parts that meet at +180 and -180 at the latitude interpolated
/// linearly in longitude. A part of a single position on the cut (a position
/// at +/-180 itself) is left out when there are others. One part when the
/// line does not cross (a single position when all lie at one place on the
/// cut); none for no positions.
[[nodiscard]] std::vector<std::vector<GeoPosition>>
SplitAtAntimeridian(const std::vector<GeoPosition>& line);

} // namespace tessara
