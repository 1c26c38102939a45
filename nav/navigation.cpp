#include "nav/navigation.h"

#include "segy/io/segy_file_in.h"
#include "trace/segy_trace.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/TransverseMercator.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tessara
{

namespace
{

constexpr double kFalseEasting = 500000.0; // m, of every UTM zone

/// Central meridian of UTM zone `zone` in degrees (zone 31: 3; zone 0: -183).
double CentralMeridian(int zone)
{
    return 6.0 * zone - 183.0;
}

/// Degrees of a value packed as DDDMMSS.ss, with the value's sign.
double DegreesOfDddmmss(double v)
{
    const double a = std::fabs(v);
    const double d = std::floor(a / 10000.0);
    const double m = std::floor(a / 100.0) - 100.0 * d;
    const double s = a - 10000.0 * d - 100.0 * m;
    const double degrees = d + m / 60.0 + s / 3600.0;
    return v < 0 ? -degrees : degrees;
}

/// The header time, or nullopt when it is unusable or outside years 1..9999.
bool HeaderTime(const SegyHeaderType& h, CTimestamp& t)
{
    if (!(h.year > 40 && h.year < 2050))
        return false;
    // Each part is added as it stands, without range checks: an hour of 25
    // carries into the next day, as recorders that count on past midnight
    // expect. Amounts of 16-bit fields cannot fail to add.
    CTimestamp time = CTimestamp::FromYear(h.year);
    (void)time.AddDays(h.dayOfYear - 1);
    (void)time.AddHours(h.hour);
    (void)time.AddMinutes(h.minute);
    (void)time.AddSeconds(h.second);
    (void)time.AddMilliseconds(h.millisecond);
    if (!time.bInCalendarRange())
        return false;
    t = time;
    return true;
}

/// The header position after the coordinate scalar and the unit conversion:
/// x easting or longitude, y northing or latitude. True when the values are
/// lengths of a projection (units 0 and 1).
bool ScaledPosition(const SegyHeaderType& h, double& x, double& y)
{
    x = h.sourceX;
    y = h.sourceY;
    const int s = h.coordinateScalar;
    if (s < 0) {
        x /= -s;
        y /= -s;
    } else if (s > 0) {
        x *= s;
        y *= s;
    }
    switch (h.coordinateUnits) {
    case 0:
    case 1:
        return true;
    case 2:
        x /= 3600.0;
        y /= 3600.0;
        break;
    case 4:
        x = DegreesOfDddmmss(x);
        y = DegreesOfDddmmss(y);
        break;
    default: // 3 and anything else: degrees
        break;
    }
    return false;
}

} // namespace

HeaderPosition CheckHeaderPosition(const SegyHeaderType& h)
{
    if (h.sourceX == 0 || h.sourceY == 0 || h.coordinateUnits < 1 || h.coordinateUnits > 4)
        return HeaderPosition::Missing;
    double lon = 0.0;
    double lat = 0.0;
    if (ScaledPosition(h, lon, lat))
        return HeaderPosition::Usable;
    // A fill value such as latitude 99.9999, or a slipped scalar, is no place
    // at all; taken for one, it would pull the smoothing of the fixes around
    // it off the track. Written so that NaN fails too.
    const bool onTheGlobe = lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 360.0;
    return onTheGlobe ? HeaderPosition::Usable : HeaderPosition::OffTheGlobe;
}

bool TraceHasNavigation(const SegyHeaderType& h)
{
    return CheckHeaderPosition(h) == HeaderPosition::Usable;
}

bool TraceHasNavigation(const CSegyTrace& trace)
{
    return trace.header && TraceHasNavigation(*trace.header);
}

NavPresence CheckNav(const std::string& path)
{
    CSegyFileIn in;
    if (!in.Open(path))
        return NavPresence::Unreadable;
    return CheckNav(in);
}

NavPresence CheckNav(CSegyFileIn& in)
{
    if (!in.isValid)
        return NavPresence::Unreadable;
    in.Rewind();
    SegyHeaderType header{};
    for (in.ReadHeader(header); !in.atEnd; in.ReadHeader(header)) {
        if (TraceHasNavigation(header))
            return NavPresence::Present;
    }
    return NavPresence::Absent;
}

void Convert_Trace_Data_to_Normal_Units(SegyHeaderType& h, llt& fix)
{
    if (h.year > 40 && h.year < 120)
        h.year = static_cast<std::int16_t>(h.year + 1900);
    CTimestamp t;
    if (!HeaderTime(h, t))
        t = CTimestamp::FromTicks(h.traceSequenceFile); // lies before every real time

    double x = 0.0;
    double y = 0.0;
    const bool isUTM = ScaledPosition(h, x, y);
    fix.lat = y;
    fix.lon = x;
    fix.isUTM = isUTM;
    fix.t = t;
    if (isUTM) {
        fix.x = x;
        fix.y = y;
        return;
    }
    int zone = 0;
    bool northp = false;
    double easting = 0.0;
    double northing = 0.0;
    try {
        GeographicLib::UTMUPS::Forward(y, x, zone, northp, easting, northing);
    } catch (const GeographicLib::GeographicErr&) {
        // A position the conversion refuses (latitude beyond the poles) is
        // kept as it is, at the origin of no zone.
        zone = 0;
        northp = false;
        easting = 0.0;
        northing = 0.0;
    }
    fix.zone = zone;
    fix.northp = northp;
    fix.x = easting;
    fix.y = northing;
}

void RepairFixTimes(std::vector<llt>& fixes)
{
    const std::size_t n = fixes.size();
    if (n < 3)
        return;
    const CTimestamp first = fixes[0].t;
    // later[k]: the first fix after k whose recorded time is later than
    // fix k's (n when none). The search for a later anchor follows these
    // links: every fix it skips is no later than one it has seen, so no
    // later than the anchor's time either. Fixes after the one being repaired
    // still hold their recorded times, which the links were built from.
    std::vector<std::size_t> later;
    std::size_t earlier = 0; // the last fix before i later than the first fix, else 0
    std::size_t lastB = 0;   // the later anchor of the last repair, and its threshold
    CTimestamp lastThreshold;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (!(fixes[i].t < first)) {
            if (fixes[i].t > first)
                earlier = i;
            continue;
        }
        if (later.empty()) {
            later.assign(n, n);
            std::vector<std::size_t> pending; // fixes whose later one is not found yet
            for (std::size_t k = 0; k < n; ++k) {
                while (!pending.empty() && fixes[k].t > fixes[pending.back()].t) {
                    later[pending.back()] = k;
                    pending.pop_back();
                }
                pending.push_back(k);
            }
        }
        const std::size_t a = earlier;
        const CTimestamp threshold = fixes[a].t;
        // Along a run of bad times the threshold only rises, so the fixes
        // before the last anchor, no later than the last threshold, need no
        // second look: this keeps a run of any length linear.
        std::size_t b = i + 1;
        if (lastB > b && !(threshold < lastThreshold))
            b = lastB;
        while (b < n - 1 && !(fixes[b].t > threshold))
            b = later[b];
        if (b >= n - 1) {
            // No later anchor before the last fix: the rest of the track
            // cannot be timed.
            fixes.erase(fixes.begin() + static_cast<std::ptrdiff_t>(i), fixes.end());
            return;
        }
        lastB = b;
        lastThreshold = threshold;
        const llt& A = fixes[a];
        const llt& B = fixes[b];
        const double w = static_cast<double>(i - a) / static_cast<double>(b - a);
        llt& f = fixes[i];
        CTimestamp t = A.t;
        if (t.AddSeconds(w * B.t.SecondsSince(A.t)))
            f.t = t;
        f.x = A.x + w * (B.x - A.x);
        f.y = A.y + w * (B.y - A.y);
        f.lat = A.lat + w * (B.lat - A.lat);
        f.lon = A.lon + w * (B.lon - A.lon);
        if (f.t > first)
            earlier = i;
    }
}

void RunThroughZoneInfoAndChooseMostCommonZone(std::vector<llt>& fixes)
{
    if (fixes.empty() || fixes[0].isUTM)
        return;
    std::vector<int> zones;
    zones.reserve(fixes.size());
    for (const llt& f : fixes)
        zones.push_back(f.zone);
    // The element at n / 2 of the sorted zones: for an even count the upper
    // of the two middle ones.
    const auto middle = zones.begin() + static_cast<std::ptrdiff_t>(zones.size() / 2);
    std::nth_element(zones.begin(), middle, zones.end());
    const int zone = *middle;
    const double lon0 = CentralMeridian(zone);
    const GeographicLib::TransverseMercator& utm = GeographicLib::TransverseMercator::UTM();
    for (llt& f : fixes) {
        double easting = 0.0;
        double northing = 0.0;
        try {
            utm.Forward(lon0, f.lat, f.lon, easting, northing);
        } catch (const GeographicLib::GeographicErr&) {
            easting = -kFalseEasting; // the origin of no zone, as for a failed conversion
            northing = 0.0;
        }
        f.x = easting + kFalseEasting;
        f.y = northing;
        f.zone = zone;
    }
}

namespace
{

/// Plane speed between two fixes in m/s, over at least a second: many
/// recorders stamp whole seconds, so that neighbouring fixes share a time,
/// while a jump of the position source is still hundreds of metres.
double PlaneSpeed(const llt& from, const llt& to)
{
    const double seconds = std::max(std::fabs(to.t.SecondsSince(from.t)), 1.0);
    return std::hypot(to.x - from.x, to.y - from.y) / seconds;
}

/// A speed no ship makes; a position that is not a number (a latitude the
/// projection refuses) gives no speed and is no more believable.
bool TooFast(double speedMps)
{
    return !(speedMps <= kSpikeSpeedMps);
}

/// The last fix of a run of bad positions from fix i on, whose step from
/// fix i-1 is too fast: the first j whose step to fix j+1 is too fast again
/// while fix j+1 is in reach of fix i-1. 0 when there is none within
/// kMaxSpikeRun fixes before the last.
std::size_t EndOfBadRun(const std::vector<llt>& fixes, std::size_t i)
{
    const std::size_t last = std::min(i + kMaxSpikeRun - 1, fixes.size() - 2);
    for (std::size_t j = i; j <= last; ++j)
        if (TooFast(PlaneSpeed(fixes[j], fixes[j + 1])) &&
            !TooFast(PlaneSpeed(fixes[i - 1], fixes[j + 1])))
            return j;
    return 0;
}

/// Puts `f` at fraction w of the way from `before` to `after` in x and y;
/// lat and lon follow.
void PlaceBetween(llt& f, const llt& before, const llt& after, double w)
{
    f.x = before.x + w * (after.x - before.x);
    f.y = before.y + w * (after.y - before.y);
    if (f.isUTM) {
        f.lat = f.y;
        f.lon = f.x;
        return;
    }
    double lat = before.lat + w * (after.lat - before.lat);
    double lon = before.lon + w * (after.lon - before.lon);
    try {
        GeographicLib::TransverseMercator::UTM().Reverse(
            CentralMeridian(f.zone), f.x - kFalseEasting, f.y, lat, lon);
    } catch (const GeographicLib::GeographicErr&) {
        // Keeps the position interpolated in degrees.
    }
    f.lat = lat;
    f.lon = lon;
}

} // namespace

std::int64_t RepairNavigationSpikes(std::vector<llt>& fixes)
{
    std::int64_t repaired = 0;
    // At most kMaxSpikeRun steps are looked at from each fix, and a repaired
    // run is passed over: linear in the fixes.
    for (std::size_t i = 1; i + 1 < fixes.size(); ++i) {
        if (!TooFast(PlaneSpeed(fixes[i - 1], fixes[i])))
            continue;
        const std::size_t j = EndOfBadRun(fixes, i);
        if (j == 0)
            continue;
        const llt& before = fixes[i - 1];
        const llt& after = fixes[j + 1];
        const double span = after.t.SecondsSince(before.t);
        const auto steps = static_cast<double>(j + 2 - i);
        for (std::size_t k = i; k <= j; ++k) {
            const double w = span == 0.0 ? static_cast<double>(k + 1 - i) / steps
                                         : fixes[k].t.SecondsSince(before.t) / span;
            // A time out of order inside the run would put the fix beyond
            // its anchors: it stays between them.
            PlaceBetween(fixes[k], before, after, std::clamp(w, 0.0, 1.0));
        }
        repaired += static_cast<std::int64_t>(j - i + 1);
        i = j;
    }
    return repaired;
}

int SmoothingHalfWidth(int navAverageFixes, std::size_t fixCount)
{
    const auto limit = static_cast<std::int64_t>(fixCount / 2) - 1;
    return static_cast<int>(std::min<std::int64_t>(navAverageFixes, limit));
}

void SmoothFixes(std::vector<llt>& fixes, int halfWidth)
{
    const auto n = static_cast<std::int64_t>(fixes.size());
    const std::int64_t N = halfWidth;
    const std::int64_t first = N;
    const std::int64_t last = n - N - 2;
    if (N < 0 || last < first)
        return;
    // Every mean from the unsmoothed values, summed in index order, so that
    // the result does not depend on the order of the work.
    std::vector<double> meanX(static_cast<std::size_t>(last - first + 1));
    std::vector<double> meanY(meanX.size());
    const double count = static_cast<double>(2 * N + 1);
    for (std::int64_t i = first; i <= last; ++i) {
        double sx = 0.0;
        double sy = 0.0;
        for (std::int64_t j = i - N; j <= i + N; ++j) {
            sx += fixes[static_cast<std::size_t>(j)].x;
            sy += fixes[static_cast<std::size_t>(j)].y;
        }
        meanX[static_cast<std::size_t>(i - first)] = sx / count;
        meanY[static_cast<std::size_t>(i - first)] = sy / count;
    }
    const GeographicLib::TransverseMercator& utm = GeographicLib::TransverseMercator::UTM();
    for (std::int64_t i = first; i <= last; ++i) {
        llt& f = fixes[static_cast<std::size_t>(i)];
        const double mx = meanX[static_cast<std::size_t>(i - first)];
        const double my = meanY[static_cast<std::size_t>(i - first)];
        f.x = mx;
        f.y = my;
        if (f.isUTM) {
            f.lat = my;
            f.lon = mx;
            continue;
        }
        double lat = f.lat;
        double lon = f.lon;
        try {
            utm.Reverse(CentralMeridian(f.zone), mx - kFalseEasting, my, lat, lon);
        } catch (const GeographicLib::GeographicErr&) {
            continue; // the fix keeps its unsmoothed latitude and longitude
        }
        f.lat = lat;
        f.lon = lon;
    }
}

void CalculateTraceToTraceSeparation(std::vector<llt>& fixes, int /*halfWidth*/)
{
    const std::size_t n = fixes.size();
    if (n < 2)
        return;
    // The Geodesic of the distances, built once: a = 6378137 m, 1/f = 298.257.
    std::optional<GeographicLib::Geodesic> geodesic;
    try {
        geodesic.emplace(6378137.0, 1.0 / 298.257);
    } catch (const GeographicLib::GeographicErr&) {
        // Cannot happen for these constants; geographic distances become NaN.
    }
    fixes[0].deltap = 0.0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const llt& before = fixes[i - 1];
        const llt& after = fixes[i + 1];
        double d = std::numeric_limits<double>::quiet_NaN();
        if (fixes[i].isUTM) {
            d = std::hypot(after.lat - before.lat, after.lon - before.lon);
        } else if (geodesic) {
            double s12 = d;
            geodesic->Inverse(after.lat, after.lon, before.lat, before.lon, s12);
            d = s12;
        }
        fixes[i].deltap = d / 2.0;
        fixes[i].speed = d / after.t.SecondsSince(before.t);
    }
    fixes[0].deltap = fixes[1].deltap;
    fixes[0].speed = fixes[1].speed;
    fixes[n - 1].deltap = fixes[n - 2].deltap;
    fixes[n - 1].speed = fixes[n - 2].speed;
    // A jump of the position source (a slipped scalar, a fix at 0/0 between
    // real ones) would add a track of thousands of kilometres, which the
    // rewrite would fill by repeating the few traces around it. The median of
    // the positive spacings stands for the file's own.
    std::vector<double> positive;
    positive.reserve(n);
    for (const llt& f : fixes)
        if (f.deltap > 0.0)
            positive.push_back(f.deltap);
    double jump = std::numeric_limits<double>::infinity();
    if (!positive.empty()) {
        const auto middle = positive.begin() + static_cast<std::ptrdiff_t>(positive.size() / 2);
        std::nth_element(positive.begin(), middle, positive.end());
        jump = kSpacingJumpFactor * *middle;
    }
    for (llt& f : fixes)
        if (std::isnan(f.deltap) || f.deltap > jump)
            f.deltap = 0.0;
    fixes[0].cummulativeDistance = 0.0;
    for (std::size_t i = 1; i < n; ++i)
        fixes[i].cummulativeDistance = fixes[i - 1].cummulativeDistance + fixes[i].deltap;
}

FixListStats
ReadAndBufferTraceHeaderData(const std::string& path, int navAverageFixes, std::vector<llt>& fixes)
{
    fixes.clear();
    CSegyFileIn in;
    if (!in.Open(path))
        return {};
    return ReadAndBufferTraceHeaderData(in, navAverageFixes, fixes);
}

FixListStats
ReadAndBufferTraceHeaderData(CSegyFileIn& in, int navAverageFixes, std::vector<llt>& fixes)
{
    fixes.clear();
    FixListStats stats;
    if (!in.isValid)
        return stats;
    in.Rewind();
    stats.traces = 0;
    std::int32_t c = 1;
    SegyHeaderType header{};
    for (;;) {
        const std::int64_t p = in.GetPosition();
        in.ReadHeader(header);
        if (in.atEnd)
            break;
        ++stats.traces;
        if (AddFixOfHeader(fixes, header, p, c++))
            continue;
        ++stats.withoutNavigation;
        if (CheckHeaderPosition(header) == HeaderPosition::OffTheGlobe)
            ++stats.offTheGlobe;
    }
    stats.spikesRepaired = FinishFixList(fixes, navAverageFixes);
    return stats;
}

bool AddFixOfHeader(std::vector<llt>& fixes,
                    SegyHeaderType header,
                    std::int64_t position,
                    std::int32_t sequence)
{
    // A trace without a position would be a fix at 0/0, thousands of
    // kilometres off the track; one off the globe no place at all.
    if (!TraceHasNavigation(header))
        return false;
    if (header.traceSequenceFile == 0)
        header.traceSequenceFile = sequence; // for the placeholder time only
    llt fix;
    fix.position = position;
    Convert_Trace_Data_to_Normal_Units(header, fix);
    fixes.push_back(fix);
    return true;
}

std::int64_t FinishFixList(std::vector<llt>& fixes, int navAverageFixes)
{
    if (fixes.size() < 2)
        return 0;
    RepairFixTimes(fixes);
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    const std::int64_t spikes = RepairNavigationSpikes(fixes);
    const int N = SmoothingHalfWidth(navAverageFixes, fixes.size());
    SmoothFixes(fixes, N);
    CalculateTraceToTraceSeparation(fixes, N);
    return spikes;
}

} // namespace tessara
