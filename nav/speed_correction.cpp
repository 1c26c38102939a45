#include "nav/speed_correction.h"

#include "nav/navigation.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "trace/segy_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace tessara
{

namespace
{

using Status = SpeedCorrectionResult::Status;

/// Host events are let through every this many corrected traces.
constexpr std::int64_t kTracesPerPump = 1000;

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

/// The header of a trace that stands in for the point at fraction `f`
/// (0.001..0.999) of the way from fix A to fix B.
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

SpeedCorrectionResult
GiveUp(IJobHost& host, SpeedCorrectionResult r, Status status, const std::string& why)
{
    host.AppendLog("\tNot speed corrected: " + why + "\r\n");
    r.status = status;
    return r;
}

SpeedCorrectionResult Failed(SpeedCorrectionResult r, Status status, const std::string& path)
{
    r.status = status;
    r.failedPath = path;
    r.tracesAfter = 0;
    r.delays.clear();
    return r;
}

} // namespace

double ChooseSpacing(const std::vector<llt>& fixes, const CombineSettings& settings)
{
    if (settings.spacing_mode == SpacingMode::Fixed)
        return settings.trace_spacing;
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
    // Tenths rounded half away from zero (std::round); the tenths of the
    // value as written, since 2.25 * 10 is 22.5 exactly and 0.15 * 10 rounds
    // to 1.5. printf alone would round the binary value half to even.
    double tenths = std::round(metres * 10.0);
    if (tenths == 0.0)
        tenths = 0.0; // no "-0.0"
    char text[400];
    std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
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

SpeedCorrectionResult CreatSpeedCorrectedSegy(const CombineSettings& settings,
                                              IJobHost& host,
                                              const std::string& compositePath,
                                              const std::string& displayName)
{
    // Read once: a change made while the file is corrected applies to the next.
    const int navAverageFixes = settings.nav_average_fixes;
    CombineSettings spacingSettings;
    spacingSettings.spacing_mode = settings.spacing_mode;
    spacingSettings.trace_spacing = settings.trace_spacing;

    // One reader serves the navigation check, the fix list and the rewrite:
    // opening a file examines its first hundred traces, which is not free.
    SpeedCorrectionResult result;
    CSegyFileIn in;
    if (!in.Open(compositePath))
        return Failed(result, Status::ReadFailed, compositePath);
    if (CheckNav(in) == NavPresence::Absent) {
        host.ShowMessage("Input file " + displayName +
                         " does not contain navigation : cannot output equally spaced shots");
        result.status = Status::NoNavigation;
        return result;
    }

    std::vector<llt> fixes;
    const FixListStats stats = ReadAndBufferTraceHeaderData(in, navAverageFixes, fixes);
    result.tracesBefore = stats.traces;
    result.fixes = static_cast<std::int64_t>(fixes.size());
    if (stats.spikesRepaired > 0)
        host.AppendLog("\tNavigation spikes repaired: " + std::to_string(stats.spikesRepaired) +
                       "\r\n");
    host.PumpEvents();
    const std::size_t n = fixes.size();
    if (n < 2)
        return GiveUp(host, result, Status::TooFewFixes, "fewer than two navigation fixes");

    host.ChartBegin(ChartTitle(fixes));
    for (const llt& f : fixes)
        host.ChartAddFix(f.t.GetTicks(), f.speed, f.deltap);
    host.ChartEnd();

    const double spacing = ChooseSpacing(fixes, spacingSettings);
    if (!(spacing > 0.0)) // also NaN: the pass below would never end
        return GiveUp(
            host, result, Status::SpacingNotPositive, "median trace spacing is not above 0");
    host.ChartSetSpacing(fixes.front().t.GetTicks(),
                         fixes.back().t.GetTicks(),
                         spacing,
                         " shot spacing = " + SpacingText(spacing) + " m");
    host.PumpEvents();
    const double end = fixes.back().cummulativeDistance;
    if (!(end > 0.0))
        return GiveUp(host, result, Status::NoTrackLength, "the track has no length");
    // Decided before a byte is written: a composite never grows past this.
    const std::int64_t planned = CorrectedTraceCount(fixes, spacing);
    if (planned > kMaxTracesPerFix * result.fixes) {
        const std::string why = "the corrected file would hold " + std::to_string(planned) +
                                " traces from " + std::to_string(result.fixes) +
                                ", more than ten times as many";
        return GiveUp(host, result, Status::TooManyTraces, why);
    }

    // The corrected file is written beside the composite and replaces it only
    // when complete, so that no failure can lose or half-replace it.
    const std::string temporary = compositePath + ".tmp";
    std::error_code ec;
    (void)std::filesystem::remove(temporary, ec);
    if (ec)
        return Failed(result, Status::WriteFailed, temporary);

    CSegyFileOut out;
    if (!out.Open(temporary))
        return Failed(result, Status::WriteFailed, temporary);
    out.StartLike(in, static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    // Samples are written unchanged: when the composite is stored as the
    // writer stores them (big-endian, same bytes per sample) they are copied
    // without decoding.
    const bool copyRaw = in.swapBytes == out.swapBytes && in.bytesPerSample == out.bytesPerSample;
    CSegyTrace trace(in.GetSamples());
    SegyHeaderType header{};

    bool readFailed = false;
    std::int64_t written = 0;
    std::size_t k = 1;
    for (double D = fixes.front().cummulativeDistance; D < end; D += spacing) {
        while (D > fixes[k].cummulativeDistance && k < n - 1)
            ++k;
        const llt& A = fixes[k - 1];
        const llt& B = fixes[k];
        const double f =
            (D - A.cummulativeDistance) / (B.cummulativeDistance - A.cummulativeDistance);
        // The nearest recorded trace; a zero-length step (f NaN) takes B's.
        const llt& nearest = f < 0.5 ? A : B;
        const bool between = f >= 0.001 && f <= 0.999;
        if (!in.SetPosition(nearest.position)) {
            readFailed = true;
            break;
        }
        if (copyRaw) {
            const std::span<const unsigned char> samples = in.ReadRaw(header);
            if (in.atEnd) {
                readFailed = true;
                break;
            }
            if (between)
                InterpolateHeader(header, A, B, f);
            out.WriteRaw(header, samples);
            ++result.delays[header.delayRecordingTime];
        } else {
            in.Read(trace, -1);
            if (in.atEnd) {
                readFailed = true;
                break;
            }
            if (between)
                InterpolateHeader(*trace.header, A, B, f);
            out.Write(trace);
            ++result.delays[trace.header->delayRecordingTime];
        }
        if (out.bHasFailed())
            break;
        ++written;
        if (written % kTracesPerPump == 0)
            host.PumpEvents();
    }
    in.Close();
    out.Close();
    if (readFailed || out.bHasFailed()) {
        (void)std::filesystem::remove(temporary, ec); // best effort; the composite is whole
        return Failed(result,
                      readFailed ? Status::ReadFailed : Status::WriteFailed,
                      readFailed ? compositePath : temporary);
    }
    std::filesystem::rename(temporary, compositePath, ec);
    if (ec) {
        (void)std::filesystem::remove(temporary, ec);
        return Failed(result, Status::WriteFailed, compositePath);
    }
    result.status = Status::Corrected;
    result.spacingMetres = spacing;
    result.tracesAfter = written;
    return result;
}

} // namespace tessara
