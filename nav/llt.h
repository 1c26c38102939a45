// One navigation fix: the time, position and file offset of one trace.
#pragma once

#include "nav/timestamp.h"

#include <cstdint>

namespace tessara
{

/// A fix, created with every field zero, false or the zero time. 96 bytes.
struct llt {
    double lat = 0.0;          ///< degrees; projected input: the scaled Y (northing)
    double lon = 0.0;          ///< degrees; projected input: the scaled X (easting)
    bool isUTM = false;        ///< the header holds lengths of a projection (coordinateUnits 0, 1)
    bool northp = false;       ///< northern hemisphere, from the standard UTM conversion
    std::int32_t zone = 0;     ///< UTM zone 1..60; 0 polar, failed or projected
    CTimestamp t;              ///< time of the trace
    std::int64_t position = 0; ///< bytes: where the trace's 240-byte header starts
    double deltap = 0.0;       ///< m (projection units for isUTM): spacing at this fix
    double speed = 0.0;        ///< m/s over ground
    double cummulativeDistance = 0.0; ///< m along the track from the first fix
    double x = 0.0;                   ///< m easting with the 500000 m false easting; projected: X
    double y = 0.0;                   ///< m northing (negative south of the equator); projected: Y
    double vx = 0.0;                  ///< m/s, kept for the record; nothing reads it
    double vy = 0.0;                  ///< m/s, kept for the record; nothing reads it
};

} // namespace tessara
