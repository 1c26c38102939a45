// nav: the navigation of SEG-Y files as the speed correction sees it: the
// fixes after time repair, zone choice, spike repair and smoothing, with
// speed, spacing and distance along the track. One file's fixes as CSV (or
// JSON) on stdout for plotting elsewhere, the summary on stderr; or the
// tracks and shot points of several files for GIS: GeoJSON on stdout,
// GeoPackage and KML files.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"
#include "cli/nav_geojson.h"
#include "cli/nav_listing.h"
#include "cli/nav_track.h"

#include <iostream>
#include <memory>
#include <string>

namespace tessara::cli
{
namespace
{

struct NavOptions {
    const CLI::App* command = nullptr; // the values as the user typed them
    std::vector<std::string> files;
    int navAverageFixes = 30;
    bool json = false;
    bool geojson = false;
    std::string gpkg;
    std::string kml;
    std::string utmZone;
    long long pointEvery = 0;
};

/// A usage problem of the options, in the words of the other commands;
/// empty when there is none.
std::string OptionsProblem(const NavOptions& o)
{
    if (const std::string problem =
            SettingRangeProblem(SettingOf(&CombineSettings::nav_average_fixes),
                                o.navAverageFixes,
                                CCliSettingWords(*o.command));
        !problem.empty())
        return problem;
    if (!o.utmZone.empty() && !ParseUtmZone(o.utmZone))
        return "--utm-zone " + o.utmZone + " not in 1N..60N, 1S..60S";
    if (o.command->count("--points") > 0)
        if (const std::string problem =
                OptionRangeProblem(*o.command, "--points", o.pointEvery, 1, kMaxShotPointEvery);
            !problem.empty())
            return problem;
    // The format follows the name, as a GIS that opens the file expects.
    if (!o.gpkg.empty())
        if (std::string problem = TrackNameProblem("--gpkg", o.gpkg, TrackFormat::GeoPackage);
            !problem.empty())
            return problem;
    if (!o.kml.empty())
        if (std::string problem = TrackNameProblem("--kml", o.kml, TrackFormat::Kml);
            !problem.empty())
            return problem;
    const bool tracks = o.geojson || !o.gpkg.empty() || !o.kml.empty();
    if (o.json && tracks)
        return "--json lists the fixes of one file: not with --gpkg or --kml";
    if (!tracks && o.files.size() != 1)
        return "nav: one FILE, or --geojson, --gpkg or --kml";
    return {};
}

/// Files that give no track are named on stderr and make the exit code 1;
/// the others are still written.
int RunTracks(const NavOptions& o, const TrackRequest& request)
{
    int code = kExitOk;
    TrackLayers layers;
    for (const std::string& file : o.files)
        if (!AddTrackOfFile(file, request, layers))
            code = kExitFailure;
    if (o.geojson)
        PrintJsonLine(TrackCollection(layers));
    std::cout.flush();
    const bool withPoints = request.pointEveryTraces > 0;
    for (const std::string& path : {o.gpkg, o.kml}) {
        if (path.empty())
            continue;
        CTemporaryFileOnStop onStop;
        if (!WriteTrackOutput(path, layers, withPoints, onStop))
            code = kExitFailure;
    }
    return code;
}

int RunNavCommand(const NavOptions& o)
{
    if (const std::string problem = OptionsProblem(o); !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitUsage;
    }
    TrackRequest request;
    request.navAverageFixes = o.navAverageFixes;
    if (!o.utmZone.empty())
        request.projectedZone = ParseUtmZone(o.utmZone);
    request.pointEveryTraces = o.pointEvery;
    if (o.geojson || !o.gpkg.empty() || !o.kml.empty())
        return RunTracks(o, request);
    return RunNavListing({o.files.front(),
                          request.navAverageFixes,
                          o.json,
                          request.projectedZone,
                          request.pointEveryTraces});
}

} // namespace

void RegisterNav(CLI::App& app, std::vector<Command>& commands)
{
    auto o = std::make_shared<NavOptions>();
    auto* sub = app.add_subcommand(
        "nav",
        "List the navigation fixes of a SEG-Y file (traces without a position are left out) "
        "after time repair, zone choice, spike repair and smoothing, as CSV: trace (the "
        "fix's index), byte offset, time, latitude, longitude, easting, northing (UTM, with "
        "the false northing in the south), zone (e.g. 56S), speed (m/s), spacing (m), "
        "distance along the track (m), EPSG code of the UTM zone, trace number in the file "
        "(from 1). A value that is not defined is an empty field. A summary line goes to "
        "stderr, after the count of traces left out and of spikes repaired when there are "
        "any; its mean speed is the track length over the time from the first to the last "
        "fix (unknown when that time is 0). With --geojson, --gpkg or --kml, the tracks of "
        "all FILEs for GIS instead. Exit 0 listed, 1 unreadable or without navigation (or a "
        "track file not written), 2 usage");
    sub->add_option("FILE", o->files, "SEG-Y file (several with --geojson, --gpkg, --kml)")
        ->required();
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
                                  "(WGS 84 longitude, latitude) on stdout: one LineString per "
                                  "file with its name, path, first_time, last_time and "
                                  "trace_count (the positions on the globe); a MultiLineString "
                                  "cut at +/-180 where a track crosses the antimeridian; with "
                                  "--points, then one Point per shot point");
    sub->add_option("--gpkg",
                    o->gpkg,
                    "Write the tracks of all FILEs to this GeoPackage (.gpkg, "
                    "WGS 84): a layer tracks and, with --points, a layer "
                    "shot_points");
    sub->add_option(
        "--kml", o->kml, "Write the tracks of all FILEs to this KML file (.kml), as --gpkg");
    geojson->excludes(json);
    sub->add_option("--utm-zone",
                    o->utmZone,
                    "The UTM zone of files whose positions are projected, e.g. 31N or 23S");
    sub->add_option("--points",
                    o->pointEvery,
                    "Shot points: the first and last fix and every trace whose number is a "
                    "multiple of N, with trace number, time, file name and distance along "
                    "the track; the CSV and JSON then list only those fixes");
    commands.push_back({sub, [o] { return RunNavCommand(*o); }});
}

} // namespace tessara::cli
