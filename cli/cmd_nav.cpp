// nav: the navigation of one SEG-Y file as the speed correction sees it: the
// fixes after time repair, zone choice, spike repair and smoothing, with
// speed, spacing and distance along the track. CSV (or JSON) on stdout for
// plotting elsewhere, the summary on stderr. With --geojson, the tracks of
// several files as one GeoJSON FeatureCollection for GIS.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"
#include "nav/navigation.h"
#include "nav/speed_correction.h"
#include "nav/track.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace tessara::cli
{
namespace
{

struct NavOptions {
    const CLI::App* command = nullptr; // the values as the user typed them
    std::vector<std::string> files;
    std::string file; // the one file of the CSV and JSON listings
    int navAverageFixes = 30;
    bool json = false;
    bool geojson = false;
    std::string utmZone;
};

/// A number with `decimals` decimals; "nan", "inf" or "-inf".
std::string Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void PrintCsv(const std::vector<llt>& fixes)
{
    std::cout << "trace,byte_offset,time,latitude,longitude,easting,northing,zone,speed_m_s,"
                 "spacing_m,distance_m\n";
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const llt& f = fixes[i];
        // Projected positions have no latitude and longitude.
        std::cout << i << ',' << f.position << ',' << f.t.IsoText() << ','
                  << (f.isUTM ? "" : Number(f.lat, 8)) << ',' << (f.isUTM ? "" : Number(f.lon, 8))
                  << ',' << Number(f.x, 3) << ',' << Number(f.y, 3) << ',' << f.zone << ','
                  << Number(f.speed, 3) << ',' << Number(f.deltap, 3) << ','
                  << Number(f.cummulativeDistance, 3) << '\n';
    }
}

void PrintJson(const NavOptions& o, const std::vector<llt>& fixes)
{
    Json listed = Json::array();
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const llt& f = fixes[i];
        listed.push_back(Json{{"trace", i},
                              {"byte_offset", f.position},
                              {"time", f.t.IsoText()},
                              {"latitude", f.isUTM ? Json(nullptr) : DecimalNumber(f.lat, 8)},
                              {"longitude", f.isUTM ? Json(nullptr) : DecimalNumber(f.lon, 8)},
                              {"easting", DecimalNumber(f.x, 3)},
                              {"northing", DecimalNumber(f.y, 3)},
                              {"zone", f.zone},
                              {"speed_m_s", DecimalNumber(f.speed, 3)},
                              {"spacing_m", DecimalNumber(f.deltap, 3)},
                              {"distance_m", DecimalNumber(f.cummulativeDistance, 3)}});
    }
    PrintJsonLine(
        Json{{"file", o.file}, {"nav_average_fixes", o.navAverageFixes}, {"fixes", listed}});
}

/// The fix list of `file` as the speed correction builds it; false, with the
/// error printed, when the file is unreadable or has no fix.
bool ReadFixes(const std::string& file,
               int navAverageFixes,
               std::vector<llt>& fixes,
               FixListStats& stats)
{
    switch (CheckNav(file)) {
    case NavPresence::Unreadable:
        PrintError(file, SegyOpenFailure(file));
        return false;
    case NavPresence::Absent:
        PrintError(file, "no trace carries navigation");
        return false;
    case NavPresence::Present:
        break;
    }
    stats = ReadAndBufferTraceHeaderData(file, navAverageFixes, fixes);
    if (stats.traces < 0) {
        PrintError(file, "cannot be read");
        return false;
    }
    if (fixes.empty()) {
        PrintError(file, "no trace carries navigation");
        return false;
    }
    return true;
}

/// [[lon, lat], [lon, lat], ...] with 8 decimals: about a millimetre, well
/// inside the recorders' accuracy.
Json Coordinates(const std::vector<GeoPosition>& positions)
{
    Json coordinates = Json::array();
    for (const GeoPosition& p : positions)
        coordinates.push_back(Json::array({DecimalNumber(p.lon, 8), DecimalNumber(p.lat, 8)}));
    return coordinates;
}

/// The GeoJSON geometry of a track: a LineString, a MultiLineString when it
/// crosses the antimeridian, a Point for a single position.
Json TrackGeometry(const std::vector<GeoPosition>& positions)
{
    const std::vector<std::vector<GeoPosition>> parts = SplitAtAntimeridian(positions);
    if (parts.size() == 1 && parts.front().size() == 1)
        return Json{{"type", "Point"}, {"coordinates", Coordinates(parts.front()).front()}};
    if (parts.size() == 1)
        return Json{{"type", "LineString"}, {"coordinates", Coordinates(parts.front())}};
    Json lines = Json::array();
    for (const std::vector<GeoPosition>& part : parts)
        lines.push_back(Coordinates(part));
    return Json{{"type", "MultiLineString"}, {"coordinates", lines}};
}

/// One GeoJSON Feature: the file's track; its trace_count the positions
/// written. Empty, with the error printed, when no fix has a geographic
/// position. Positions off the globe, left out of the fixes or refused by the
/// projection, are counted on stderr.
std::optional<Json> TrackFeature(const std::string& file,
                                 const std::vector<llt>& fixes,
                                 const FixListStats& stats,
                                 const std::optional<UtmZone>& zone)
{
    if (fixes.front().isUTM && !zone) {
        PrintError(file, "positions are projected: give their zone with --utm-zone");
        return std::nullopt;
    }
    std::vector<GeoPosition> positions;
    for (const llt& f : fixes)
        if (const std::optional<GeoPosition> p = FixToGeographic(f, zone))
            positions.push_back(*p);
    if (positions.empty()) {
        PrintError(file, "no position lies on the globe");
        return std::nullopt;
    }
    const auto total = static_cast<std::int64_t>(fixes.size()) + stats.offTheGlobe;
    const std::int64_t off = total - static_cast<std::int64_t>(positions.size());
    if (off > 0)
        PrintError(file,
                   std::to_string(off) + " of " + std::to_string(total) +
                       " positions off the globe left out");
    return Json{{"type", "Feature"},
                {"properties",
                 {{"name", std::filesystem::path(file).filename().string()},
                  {"path", file},
                  {"first_time", fixes.front().t.IsoText()},
                  {"last_time", fixes.back().t.IsoText()},
                  {"trace_count", positions.size()}}},
                {"geometry", TrackGeometry(positions)}};
}

/// RFC 7946: WGS 84 longitude and latitude, no crs member. Files that give no
/// track are named on stderr and make the exit code 1; the others are still
/// written.
int RunGeoJson(const NavOptions& o)
{
    std::optional<UtmZone> zone;
    if (!o.utmZone.empty()) {
        zone = ParseUtmZone(o.utmZone);
        if (!zone) {
            std::cerr << "tessara-cli: --utm-zone " << o.utmZone << " not in 1N..60N, 1S..60S\n";
            return kExitUsage;
        }
    }
    int code = kExitOk;
    Json features = Json::array();
    for (const std::string& file : o.files) {
        std::vector<llt> fixes;
        FixListStats stats;
        std::optional<Json> feature;
        if (ReadFixes(file, o.navAverageFixes, fixes, stats))
            feature = TrackFeature(file, fixes, stats, zone);
        if (feature)
            features.push_back(std::move(*feature));
        else
            code = kExitFailure;
    }
    PrintJsonLine(Json{{"type", "FeatureCollection"}, {"features", features}});
    return code;
}

int RunNav(const NavOptions& o)
{
    std::vector<llt> fixes;
    FixListStats stats;
    if (!ReadFixes(o.file, o.navAverageFixes, fixes, stats))
        return kExitFailure;
    // As in the speed correction, a trace without a position is no fix.
    if (stats.withoutNavigation > 0)
        std::cerr << stats.withoutNavigation << " of " << stats.traces
                  << " traces without navigation left out"
                  << (stats.offTheGlobe > 0
                          ? " (" + std::to_string(stats.offTheGlobe) + " off the globe)"
                          : std::string())
                  << '\n';
    if (stats.spikesRepaired > 0)
        std::cerr << "Navigation spikes repaired: " << stats.spikesRepaired << '\n';
    if (o.json)
        PrintJson(o, fixes);
    else
        PrintCsv(fixes);
    std::cout.flush();

    if (fixes.size() < 2) {
        std::cerr << fixes.size() << " fixes: fewer than two, no spacing or speed\n";
        return kExitOk;
    }
    const double length = fixes.back().cummulativeDistance;
    const double seconds = fixes.back().t.SecondsSince(fixes.front().t);
    // Fixes that all share one time give no speed.
    const double speed = seconds > 0.0 ? length / seconds : std::nan("");
    std::cerr << fixes.size() << " fixes, "
              << (fixes.front().isUTM ? std::string("projected")
                                      : "zone " + std::to_string(fixes.front().zone))
              << ", median spacing " << Number(ChooseSpacing(fixes), 3) << " m, track length "
              << Number(length, 3) << " m, mean speed "
              << (std::isfinite(speed) ? Number(speed, 3) + " m/s" : "unknown") << '\n';
    return kExitOk;
}

} // namespace

void RegisterNav(CLI::App& app, std::vector<Command>& commands)
{
    auto o = std::make_shared<NavOptions>();
    auto* sub = app.add_subcommand(
        "nav",
        "List the navigation fixes of a SEG-Y file (traces without a position are left out) "
        "after time repair, zone choice, spike repair and smoothing, as CSV: trace, byte "
        "offset, time, latitude, longitude, easting, northing, zone, speed (m/s), spacing (m), "
        "distance along the track (m). A summary line goes to stderr, after the count of "
        "traces left out and of spikes repaired when there are any; its mean speed is the "
        "track length over the time from the first to the last fix (unknown when that "
        "time is 0). With --geojson, the tracks "
        "of all FILEs as GeoJSON instead. Exit 0 listed, 1 "
        "unreadable or without navigation, 2 usage");
    sub->add_option("FILE", o->files, "SEG-Y file (several with --geojson)")->required();
    o->command = sub;
    AddSettingOption(*sub,
                     SettingOf(&CombineSettings::nav_average_fixes),
                     o->navAverageFixes,
                     "Half-width of the smoothing window")
        ->capture_default_str();
    auto* json = sub->add_flag("--json", o->json, "One JSON object with one object per fix");
    auto* geojson = sub->add_flag("--geojson",
                                  o->geojson,
                                  "The tracks of all FILEs as one GeoJSON FeatureCollection "
                                  "(WGS 84 longitude, latitude): one LineString per file with "
                                  "its name, path, first_time, last_time and trace_count (the "
                                  "positions on the globe); a MultiLineString cut at +/-180 "
                                  "where a track crosses the antimeridian");
    geojson->excludes(json);
    sub->add_option("--utm-zone",
                    o->utmZone,
                    "With --geojson: the UTM zone of files whose positions are projected, "
                    "e.g. 31N or 23S")
        ->needs(geojson);
    commands.push_back({sub, [o] {
                            // The combine job's smoothing, refused in the words
                            // combine uses.
                            if (const std::string problem = SettingRangeProblem(
                                    SettingOf(&CombineSettings::nav_average_fixes),
                                    o->navAverageFixes,
                                    CCliSettingWords(*o->command));
                                !problem.empty()) {
                                std::cerr << "tessara-cli: " << problem << '\n';
                                return kExitUsage;
                            }
                            if (o->geojson)
                                return RunGeoJson(*o);
                            if (o->files.size() != 1) {
                                std::cerr << "tessara-cli: nav: one FILE, or --geojson\n";
                                return kExitUsage;
                            }
                            o->file = o->files.front();
                            return RunNav(*o);
                        }});
}

} // namespace tessara::cli
