#include "cli/nav_track.h"

#include "cli/cli_format.h"

#include <filesystem>
#include <iostream>

namespace tessara::cli
{
namespace
{

/// The shot points of the fixes at `positions` (empty where a fix is off
/// the globe); false when the file's traces cannot be counted.
bool AddShotPoints(const std::string& file,
                   const std::vector<llt>& fixes,
                   const std::vector<std::optional<GeoPosition>>& positions,
                   std::int64_t everyTraces,
                   std::vector<ShotPoint>& points)
{
    const std::vector<std::int64_t> numbers = FixTraceNumbers(file, fixes);
    if (numbers.size() != fixes.size())
        return false;
    const std::string name = std::filesystem::path(file).filename().string();
    for (const std::size_t i : ShotPointFixes(numbers, everyTraces))
        if (positions[i])
            points.push_back({name,
                              numbers[i],
                              fixes[i].t.IsoText(),
                              fixes[i].cummulativeDistance,
                              *positions[i]});
    return true;
}

} // namespace

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

bool AddTrackOfFile(const std::string& file, const TrackRequest& request, TrackLayers& layers)
{
    std::vector<llt> fixes;
    FixListStats stats;
    if (!ReadFixes(file, request.navAverageFixes, fixes, stats))
        return false;
    if (fixes.front().isUTM && !request.projectedZone) {
        PrintError(file, "positions are projected: give their zone with --utm-zone");
        return false;
    }
    std::vector<std::optional<GeoPosition>> positions;
    std::vector<GeoPosition> line;
    for (const llt& f : fixes) {
        positions.push_back(FixToGeographic(f, request.projectedZone));
        if (positions.back())
            line.push_back(*positions.back());
    }
    if (line.empty()) {
        PrintError(file, "no position lies on the globe");
        return false;
    }
    std::vector<ShotPoint> points;
    if (request.pointEveryTraces > 0 &&
        !AddShotPoints(file, fixes, positions, request.pointEveryTraces, points)) {
        PrintError(file, "cannot be read");
        return false;
    }
    const auto total = static_cast<std::int64_t>(fixes.size()) + stats.offTheGlobe;
    const auto kept = static_cast<std::int64_t>(line.size());
    if (total > kept)
        PrintError(file,
                   std::to_string(total - kept) + " of " + std::to_string(total) +
                       " positions off the globe left out");
    layers.lines.push_back({std::filesystem::path(file).filename().string(),
                            file,
                            fixes.front().t.IsoText(),
                            fixes.back().t.IsoText(),
                            kept,
                            SplitAtAntimeridian(line)});
    layers.points.insert(layers.points.end(), points.begin(), points.end());
    return true;
}

bool WriteTrackOutput(const std::string& path,
                      const TrackLayers& layers,
                      bool withPoints,
                      CTemporaryFileOnStop& onStop)
{
    const std::optional<TrackFormat> format = TrackFormatOfName(path);
    std::string error = "the name ends in neither .gpkg nor .kml";
    if (layers.lines.empty())
        error = "no file gives a track";
    else if (format &&
             WriteTrackFile(
                 path, *format, layers, withPoints, error, [&onStop](const std::string& working) {
                     onStop.Arm(working);
                 })) {
        onStop.Disarm();
        return true;
    }
    onStop.Disarm();
    PrintError(path, "track not written: " + error);
    return false;
}

bool WriteTracksOf(const std::vector<std::string>& files,
                   const TrackRequest& request,
                   const std::string& path,
                   CTemporaryFileOnStop& onStop)
{
    bool complete = true;
    TrackLayers layers;
    for (const std::string& file : files)
        complete = AddTrackOfFile(file, request, layers) && complete;
    if (!WriteTrackOutput(path, layers, request.pointEveryTraces > 0, onStop))
        return false;
    std::cout << "Track: " << path << std::endl;
    return complete;
}

std::string TrackNameProblem(const std::string& option,
                             const std::string& path,
                             std::optional<TrackFormat> format)
{
    const std::optional<TrackFormat> named = TrackFormatOfName(path);
    if (named && (!format || named == format))
        return {};
    const std::string wanted = format ? TrackFormatExtension(*format) : ".gpkg or .kml";
    return option + " " + path + ": the name must end in " + wanted;
}

} // namespace tessara::cli
