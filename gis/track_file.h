// The ship's tracks and shot points as a GIS file (GeoPackage or KML),
// made by GDAL/OGR in a module loaded when a track file is first asked for,
// so that only the commands that write such files load GDAL.
#pragma once

#include "gis/track_bytes.h"
#include "nav/track.h"
#include "segy/io/segy_finishing_writer.h"

#include <optional>
#include <string>

namespace tessara
{

/// The format whose extension `path` ends in (".gpkg", ".kml", in any
/// case); empty for any other name.
[[nodiscard]] std::optional<TrackFormat> TrackFormatOfName(const std::string& path);

/// Writes `layers` to `path` in `format`, on WGS 84 (EPSG:4326, longitude
/// then latitude): a layer "tracks" of MultiLineStrings with name, path,
/// first_time, last_time and trace_count, and when `withPoints` a layer
/// "shot_points" of Points with file, trace, time and distance_m (m). A
/// track of a single position has no line. The file is written under a
/// working name beside `path` (see CreateBeside, which tells `created` its
/// name) and renamed to `path` when complete, replacing a file of that name.
/// False with `error` set to GDAL's or the system's reason when it could
/// not be written; no working file is then left and a file at `path` is as
/// it was.
[[nodiscard]] bool WriteTrackFile(const std::string& path,
                                  TrackFormat format,
                                  const TrackLayers& layers,
                                  bool withPoints,
                                  std::string& error,
                                  const WorkingFileCreated& created = {});

} // namespace tessara
