#include "nav/speed_correction.h"

#include "trace/segy_trace.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{

namespace
{

/// A coordinate for a 32-bit header field, truncated toward zero; false when
/// it is not finite or does not fit.
bool ToCoordinateField(double value, std::int32_t& field)
{
    const double t = std::trunc(value);
    if (!(t >= -2147483648.0 && t <= 2147483647.0))
        return false;
    field = static_cast<std::int32_t>(t);
    return true;
}

} // namespace

void InterpolateHeader(SegyHeaderType& h, const llt& A, const llt& B, double f)
{
    // The year stays: a time that falls on 1 January of the next year keeps
    // the old year with day 1, as the recorder's own fields would.
    CTimestamp t = A.t;
    if (t.AddSeconds(f * B.t.SecondsSince(A.t)) && t.bInCalendarRange()) {
        h.dayOfYear = static_cast<std::int16_t>(t.DayOfYear());
        h.hour = static_cast<std::int16_t>(t.Hour());
        h.minute = static_cast<std::int16_t>(t.Minute());
        h.second = static_cast<std::int16_t>(t.Second());
        h.millisecond = static_cast<std::int16_t>(t.Millisecond());
    }
    if (h.coordinateUnits < 2)
        return; // lengths of a projection keep their recorded values
    double lat = A.lat + f * (B.lat - A.lat);
    double lon = A.lon + f * (B.lon - A.lon);
    // The inverse of the scaling applied on reading.
    const int s = h.coordinateScalar;
    if (s < 0) {
        lat *= -s;
        lon *= -s;
    } else if (s > 0) {
        lat /= s;
        lon /= s;
    }
    std::int32_t sourceX = 0;
    std::int32_t sourceY = 0;
    // A position the 32-bit fields cannot hold leaves the recorded one.
    if (!ToCoordinateField(lat * 3600.0, sourceY) || !ToCoordinateField(lon * 3600.0, sourceX))
        return;
    h.coordinateUnits = 2; // seconds of arc
    h.sourceX = sourceX;
    h.sourceY = sourceY;
}

double ChooseSpacing(const std::vector<llt>& fixes, std::optional<double> fixedSpacing)
{
    if (fixedSpacing)
        return *fixedSpacing;
    if (fixes.empty())
        return 0.0;
    std::vector<double> spacings;
    spacings.reserve(fixes.size());
    for (const llt& f : fixes)
        spacings.push_back(f.deltap);
    // NaN sorts after every number, so that the order is a strict one.
    const auto before = [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; };
    const auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
    std::nth_element(spacings.begin(), middle, spacings.end(), before);
    return *middle;
}

std::int64_t CorrectedTraceCount(const std::vector<llt>& fixes, double spacing)
{
    if (fixes.empty() || !(spacing > 0.0))
        return 0;
    const double first = fixes.front().cummulativeDistance;
    const double end = fixes.back().cummulativeDistance;
    // Stepped as the rewrite steps, so that the count is the rewrite's to the
    // trace; a count this large is refused anyway and needs no more than its
    // size (a spacing below the rounding of the distance would never end).
    constexpr std::int64_t kExactUpTo = std::int64_t{1} << 24;
    std::int64_t count = 0;
    for (double D = first; D < end; D += spacing) {
        if (++count > kExactUpTo) {
            const double estimate = std::ceil((end - first) / spacing);
            constexpr double kMax = 9.2e18;
            return !(estimate < kMax) ? std::numeric_limits<std::int64_t>::max()
                                      : std::max(count, static_cast<std::int64_t>(estimate));
        }
    }
    return count;
}

std::string SpacingText(double metres)
{
    if (std::isnan(metres))
        return "NaN";
    if (std::isinf(metres))
        return metres > 0 ? "Infinity" : "-Infinity";
    // Under 0.1 m one decimal would say 0.0: two significant figures, so
    // that a spacing of centimetres keeps its size in the output's name.
    int decimals = 1;
    const double size = std::fabs(metres);
    if (size > 0.0 && size < 0.1)
        decimals = 1 - static_cast<int>(std::floor(std::log10(size)));
    // Rounded half away from zero (std::round) on the value as written, since
    // 2.25 * 10 is 22.5 exactly and 0.15 * 10 rounds to 1.5; printf alone
    // would round the binary value half to even. Powers of ten up to 10^22
    // are exact; below 1e-21 m printf's rounding is as good.
    constexpr int kExactPowers = 22;
    char text[400];
    if (decimals > kExactPowers) {
        std::snprintf(text, sizeof text, "%.*f", decimals, metres);
        return text;
    }
    double scale = std::pow(10.0, decimals);
    double units = std::round(metres * scale);
    if (decimals > 1 && std::fabs(units) >= 100.0) { // 0.0999 rounds to 0.10
        --decimals;
        scale /= 10.0;
        units = std::round(metres * scale);
    }
    if (units == 0.0)
        units = 0.0; // no "-0.0"
    std::snprintf(text, sizeof text, "%.*f", decimals, units / scale);
    return text;
}

std::string ChartTitle(const std::vector<llt>& fixes)
{
    if (fixes.empty())
        return "Speed Correction";
    const CTimestamp& first = fixes.front().t;
    return "Speed Correction from " + std::to_string(first.DayOfYear()) + " " + first.Text() +
           " to " + fixes.back().t.Text();
}

} // namespace tessara
