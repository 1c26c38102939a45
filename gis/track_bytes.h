// What tessara-cli and its GDAL module share: the track file's format, the
// request the module answers and the entry point it exports.
#pragma once

#include "nav/track.h"

#include <string>
#include <vector>

#define TESSARA_TRACK_BYTES_EXPORT __attribute__((visibility("default")))

namespace tessara
{

enum class TrackFormat {
    GeoPackage, ///< OGC GeoPackage, ".gpkg"
    Kml,        ///< KML 2.2, ".kml"
};

/// ".gpkg" or ".kml".
[[nodiscard]] inline const char* TrackFormatExtension(TrackFormat format)
{
    return format == TrackFormat::GeoPackage ? ".gpkg" : ".kml";
}

/// What the module is asked to make.
struct TrackBytesRequest {
    TrackFormat format = TrackFormat::GeoPackage;
    const TrackLayers* layers = nullptr;
    bool withPoints = false;
};

/// The module's entry point, "tessara_track_bytes": the file of `request`
/// made whole in memory (on WGS 84, the layers WriteTrackFile describes), its
/// bytes in `bytes`; false with GDAL's reason in `error`.
using TrackBytesFunction = bool (*)(const TrackBytesRequest* request,
                                    std::vector<unsigned char>* bytes,
                                    std::string* error);
inline constexpr const char* kTrackBytesSymbol = "tessara_track_bytes";
/// The module's file name, beside tessara-cli in the build and in
/// lib/tessara/modules beside the program's bin folder where the package installs it.
inline constexpr const char* kTrackModuleName = "tessara-gis.so";

} // namespace tessara
