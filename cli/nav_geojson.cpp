#include "cli/nav_geojson.h"

namespace tessara::cli
{
namespace
{

Json Coordinate(const GeoPosition& p)
{
    return Json::array({DecimalNumber(p.lon, 8), DecimalNumber(p.lat, 8)});
}

Json Coordinates(const std::vector<GeoPosition>& positions)
{
    Json coordinates = Json::array();
    for (const GeoPosition& p : positions)
        coordinates.push_back(Coordinate(p));
    return coordinates;
}

Json LineGeometry(const std::vector<std::vector<GeoPosition>>& parts)
{
    if (parts.size() == 1 && parts.front().size() == 1)
        return Json{{"type", "Point"}, {"coordinates", Coordinate(parts.front().front())}};
    if (parts.size() == 1)
        return Json{{"type", "LineString"}, {"coordinates", Coordinates(parts.front())}};
    Json lines = Json::array();
    for (const std::vector<GeoPosition>& part : parts)
        lines.push_back(Coordinates(part));
    return Json{{"type", "MultiLineString"}, {"coordinates", lines}};
}

} // namespace

Json TrackCollection(const TrackLayers& layers)
{
    Json features = Json::array();
    for (const TrackLine& line : layers.lines)
        features.push_back(Json{{"type", "Feature"},
                                {"properties",
                                 {{"name", line.name},
                                  {"path", line.path},
                                  {"first_time", line.firstTime},
                                  {"last_time", line.lastTime},
                                  {"trace_count", line.traceCount}}},
                                {"geometry", LineGeometry(line.parts)}});
    for (const ShotPoint& point : layers.points)
        features.push_back(
            Json{{"type", "Feature"},
                 {"properties",
                  {{"file", point.file},
                   {"trace", point.trace},
                   {"time", point.time},
                   {"distance_m", DecimalNumber(point.distanceMetres, 3)}}},
                 {"geometry", {{"type", "Point"}, {"coordinates", Coordinate(point.position)}}}});
    return Json{{"type", "FeatureCollection"}, {"features", features}};
}

} // namespace tessara::cli
