// The navigation of SEG-Y files as the speed correction sees it, read for
// the nav command's listings and for the tracks of nav and combine.
#pragma once

#include "cli/output_target.h"
#include "gis/track_file.h"
#include "nav/navigation.h"
#include "nav/track.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessara::cli
{

/// The fix list of `file` as the speed correction builds it; false, with the
/// error printed, when the file is unreadable or has no fix.
[[nodiscard]] bool ReadFixes(const std::string& file,
                             int navAverageFixes,
                             std::vector<llt>& fixes,
                             FixListStats& stats);

/// Shot points every so many traces at most.
constexpr long long kMaxShotPointEvery = 1'000'000'000;

/// How the tracks are read.
struct TrackRequest {
    int navAverageFixes = 30;             ///< half-width of the smoothing, 2..100
    std::optional<UtmZone> projectedZone; ///< the zone of files with projected positions
    std::int64_t pointEveryTraces = 0;    ///< shot points every so many traces; 0: none
};

/// Adds the track of `file` to `layers` and, when asked for, its shot points
/// (ShotPointFixes; a point off the globe is left out). False, with the
/// error printed and `layers` unchanged, when the file gives no track: it
/// cannot be read, has no fix, is projected without a zone, or has no
/// position on the globe. Positions off the globe, left out of the fixes
/// or refused by the projection, are counted on stderr.
[[nodiscard]] bool
AddTrackOfFile(const std::string& file, const TrackRequest& request, TrackLayers& layers);

/// Writes `layers` to the GIS file `path` in the format its extension names
/// (WriteTrackFile), a stop removing the working file through `onStop`.
/// False, with the error printed, when nothing was written: no file gave a
/// track, or the write failed.
[[nodiscard]] bool WriteTrackOutput(const std::string& path,
                                    const TrackLayers& layers,
                                    bool withPoints,
                                    CTemporaryFileOnStop& onStop);

/// The tracks of `files` (AddTrackOfFile) written to `path`
/// (WriteTrackOutput), shot points as `request` asks, and "Track: PATH" on
/// stdout when it was. False when a file gave no track or nothing was
/// written, each named on stderr.
[[nodiscard]] bool WriteTracksOf(const std::vector<std::string>& files,
                                 const TrackRequest& request,
                                 const std::string& path,
                                 CTemporaryFileOnStop& onStop);

/// "OPTION PATH: the name must end in .gpkg" (.kml, or ".gpkg or .kml" when
/// `format` is empty) when the name of `path` does not ask for that format;
/// empty when it does.
[[nodiscard]] std::string TrackNameProblem(const std::string& option,
                                           const std::string& path,
                                           std::optional<TrackFormat> format);

} // namespace tessara::cli
