// The ship's track in geographic coordinates, for GIS: the fixes of the speed
// correction turned back into WGS 84 longitude and latitude.
#pragma once

#include "nav/llt.h"

#include <cstddef>
#include <cstdint>
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

    /// The EPSG code of the zone on WGS 84: 32600 + zone north, 32700 + zone
    /// south.
    [[nodiscard]] int Epsg() const { return (north ? 32600 : 32700) + zone; }
    /// "31N", "56S".
    [[nodiscard]] std::string Text() const { return std::to_string(zone) + (north ? "N" : "S"); }
};

/// "31N", "31n", "7S": zone 1..60 and hemisphere N or S. Empty for anything
/// else (a missing hemisphere, a zone outside 1..60, trailing text).
[[nodiscard]] std::optional<UtmZone> ParseUtmZone(const std::string& text);

/// The UTM zone in which the x and y of a fix list built by
/// ReadAndBufferTraceHeaderData are true UTM coordinates. Geographic fixes:
/// the list's one zone with the hemisphere of most fixes (north when as many
/// lie south), so that a line crossing the equator keeps one frame. Projected
/// fixes: `projectedZone`. Empty for no fixes, a projected list without
/// `projectedZone`, and a list whose zone is 0 (polar, or no position the
/// projection takes), whose x and y are in no UTM zone.
[[nodiscard]] std::optional<UtmZone> FixListZone(const std::vector<llt>& fixes,
                                                 const std::optional<UtmZone>& projectedZone);

/// The UTM northing of `fix` in `zone` from FixListZone, m: a geographic
/// fix's y with the 10000000 m false northing in the south; a projected
/// fix's y as the header gives it.
[[nodiscard]] double UtmNorthing(const llt& fix, const UtmZone& zone);

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

/// One file's track for GIS.
struct TrackLine {
    std::string name;                            ///< the file's name
    std::string path;                            ///< the file's path as given
    std::string firstTime;                       ///< ISO 8601 time of the first fix
    std::string lastTime;                        ///< ISO 8601 time of the last fix
    std::int64_t traceCount = 0;                 ///< positions on the line
    std::vector<std::vector<GeoPosition>> parts; ///< SplitAtAntimeridian of the positions
};

/// A shot point: where one trace was recorded, to tie a section to a chart.
struct ShotPoint {
    std::string file;          ///< name of the file
    std::int64_t trace = 0;    ///< 1-based trace number in the file
    std::string time;          ///< ISO 8601 time of the trace
    double distanceMetres = 0; ///< m along the track from the file's first fix
    GeoPosition position;
};

/// The tracks of several files and their shot points, in the order of the
/// files.
struct TrackLayers {
    std::vector<TrackLine> lines;
    std::vector<ShotPoint> points;
};

/// Which fixes are shot points, as indexes into the fix list: the first fix,
/// every fix whose trace number is a multiple of `everyTraces` (>= 1), and
/// the last fix, each once. `traceNumbers` holds the 1-based trace number in
/// the file of each fix, ascending. A trace without a fix gives no point.
[[nodiscard]] std::vector<std::size_t> ShotPointFixes(const std::vector<std::int64_t>& traceNumbers,
                                                      std::int64_t everyTraces);

/// The 1-based trace number in the file at `path` of each fix of a list
/// built from it by ReadAndBufferTraceHeaderData (found by its byte
/// position). Empty when the file cannot be read or a fix names no trace
/// of it.
[[nodiscard]] std::vector<std::int64_t> FixTraceNumbers(const std::string& path,
                                                        const std::vector<llt>& fixes);

} // namespace tessara
