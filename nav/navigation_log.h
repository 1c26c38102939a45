// Positions from the ship's own navigation log: NMEA 0183 sentences as a GPS
// writes them, or a CSV table, read into one time-sorted list of fixes.
#pragma once

#include "nav/timestamp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessara
{

/// One position of the log: WGS 84 degrees at a time without time zone (UTC
/// as the GPS gives it).
struct LogFix {
    CTimestamp t;
    double lat = 0.0; ///< degrees, -90..90
    double lon = 0.0; ///< degrees, -180..180
};

/// What reading one navigation file found besides its fixes. Every line
/// that gives no fix is counted under one reason.
struct LogReadStats {
    std::int64_t fixes = 0;       ///< fixes taken
    std::int64_t badChecksum = 0; ///< NMEA: checksum wrong or missing
    std::int64_t noTime = 0;      ///< no time, or none that can be read
    std::int64_t noFix = 0;       ///< NMEA: fix quality 0 or status V; CSV: no position
    std::int64_t noDate = 0;      ///< NMEA: before the log's first date (ZDA or RMC)
    std::int64_t outOfOrder = 0;  ///< earlier than the fix before it
    std::int64_t repeated = 0;    ///< at the time of the fix before it (GGA and RMC of one second)
};

/// Reads one NMEA 0183 log. GGA and RMC sentences of any talker give fixes;
/// ZDA and the RMC date give the day. A sentence counts only with its
/// checksum: a wrong or missing "*hh" is counted and the sentence skipped,
/// as a line without one may have been cut short. Text before the '$' of a
/// line (a logger's own time stamp) is passed over. GGA fixes before the
/// first date are counted and skipped: a day taken from anywhere else could
/// be the wrong one. A GGA time more than 12 h before the one before it,
/// with no date since, is taken for the next day (midnight); more than 12 h
/// after it, for a late sentence of the day before, which then counts as out
/// of order. Returns "" or what makes the file unusable as a whole, with the
/// fixes and counts untouched.
[[nodiscard]] std::string
ReadNmeaLog(const std::string& path, std::vector<LogFix>& fixes, LogReadStats& stats);

/// Reads one CSV table: a header row names the columns (comma, semicolon or
/// tab between them; names in any case): time (time, datetime, timestamp),
/// and either latitude (lat, latitude) and longitude (lon, long, longitude)
/// in degrees, or easting (easting, x) and northing (northing, y) in the UTM
/// zone of `epsg` (326zz north, 327zz south; 0: none given). Times are
/// ISO 8601 ("2024-05-01T12:00:00.5", with an optional Z or UTC offset) or
/// year, day of year and time ("2024/122/12:00:00.5", "2024 122 12:00:00").
/// A row that cannot be read is counted and skipped. Returns "" or the
/// problem (a missing column, an EPSG code that is not UTM), with the fixes
/// and counts untouched.
[[nodiscard]] std::string
ReadCsvLog(const std::string& path, int epsg, std::vector<LogFix>& fixes, LogReadStats& stats);

/// Reads a navigation file of either kind: NMEA when its first line that is
/// not blank holds a '$', CSV otherwise.
[[nodiscard]] std::string ReadNavigationFile(const std::string& path,
                                             int epsg,
                                             std::vector<LogFix>& fixes,
                                             LogReadStats& stats);

/// A fix list of several files in time order, one fix per time (the first
/// file's where two files share a time). Returns how many fixes were left
/// out as sharing a time.
std::int64_t SortLogFixes(std::vector<LogFix>& fixes);

} // namespace tessara
