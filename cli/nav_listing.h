// The listing of nav: the fixes of one SEG-Y file as CSV or as JSON on
// stdout, the summary on stderr.
#pragma once

#include "nav/track.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessara::cli
{

struct NavListing {
    std::string file;
    int navAverageFixes = 30;
    bool json = false;
    std::optional<UtmZone> projectedZone; ///< the zone of projected positions
    std::int64_t pointEveryTraces = 0;    ///< > 0: only the shot points (ShotPointFixes)
};

/// Lists the fixes: trace (the fix's index), byte_offset, time, latitude,
/// longitude, easting, northing, zone ("56S"), speed_m_s, spacing_m,
/// distance_m, epsg, trace_number (1-based in the file). A value that is
/// not defined (a speed over no time, a position off the globe, UTM
/// coordinates of a list in no zone) is an empty field, null in JSON. The
/// exit code: 0 listed, 1 unreadable or without navigation.
[[nodiscard]] int RunNavListing(const NavListing& listing);

} // namespace tessara::cli
