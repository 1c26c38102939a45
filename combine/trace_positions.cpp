#include "combine/trace_positions.h"

#include "combine/api/log_format.h"
#include "combine/job_state.h"

namespace tessara
{

namespace
{

// "3 bad checksums, 1 out of order": the counts that are not 0.
std::string Skipped(const LogReadStats& s)
{
    std::string text;
    const auto add = [&text](std::int64_t n, const char* what) {
        if (n == 0)
            return;
        text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + what;
    };
    add(s.badChecksum, "bad checksum");
    add(s.noTime, "without time");
    add(s.noFix, "without fix");
    add(s.noDate, "before the first date");
    add(s.outOfOrder, "out of order");
    return text;
}

} // namespace

std::optional<CTimestamp>
JobTimestamp(const SegyHeaderType& h, double seconds, const CJobTimeScale& scale)
{
    const std::int32_t year = scale.BaseYear() != 0 ? scale.BaseYear() : h.year;
    if (!bPlausibleYear(year))
        return std::nullopt;
    // The job's seconds count 1 January as day 1, a whole day after its
    // midnight.
    constexpr double kSecondsPerDay = 86400.0;
    CTimestamp t = CTimestamp::FromYear(year);
    if (!t.AddSeconds(seconds - kSecondsPerDay))
        return std::nullopt;
    return t;
}

std::string CTracePositions::LoadFiles(const CombineSettings& settings)
{
    std::vector<LogFix> fixes;
    std::vector<std::string> told;
    for (const std::string& path : settings.navigation_files) {
        LogReadStats stats;
        if (std::string problem = ReadNavigationFile(path, settings.navigation_epsg, fixes, stats);
            !problem.empty())
            return "Navigation file " + path + ": " + problem;
        if (stats.fixes == 0)
            return "Navigation file " + path + ": no fix";
        const std::string skipped = Skipped(stats);
        told.push_back("\tNavigation file " + path + ": " + std::to_string(stats.fixes) + " fixes" +
                       (skipped.empty() ? "" : "; skipped " + skipped) + std::string(kNL));
    }
    (void)SortLogFixes(fixes); // overlapping files give the same fix twice
    m_track = CNavigationTrack(std::move(fixes), settings.nav_average_fixes);
    m_told = std::move(told);
    m_fromFiles = !settings.navigation_files.empty();
    m_active = m_fromFiles;
    m_maxGapSeconds = settings.navigation_max_gap;
    m_offsets = {settings.antenna_offset_along, settings.antenna_offset_across, settings.layback};
    TellOffsets();
    return "";
}

void CTracePositions::UseHeaderTrack(std::vector<LogFix> fixes, const CombineSettings& settings)
{
    m_track = CNavigationTrack(std::move(fixes), settings.nav_average_fixes);
    m_fromFiles = false;
    m_active = true;
    m_maxGapSeconds = settings.navigation_max_gap;
    m_offsets = {settings.antenna_offset_along, settings.antenna_offset_across, settings.layback};
    TellOffsets();
}

void CTracePositions::TellOffsets()
{
    if (!m_offsets.bAny())
        return;
    m_told.push_back("\tOffsets applied: forward " + FormatLogNumber(m_offsets.along) +
                     " m, starboard " + FormatLogNumber(m_offsets.across) + " m, layback " +
                     FormatLogNumber(m_offsets.layback) + " m" + std::string(kNL));
}

bool CTracePositions::Apply(SegyHeaderType& h, double seconds, const CJobTimeScale& scale) const
{
    if (!m_active)
        return false;
    std::optional<GeoPosition> position;
    if (const std::optional<CTimestamp> t = JobTimestamp(h, seconds, scale))
        position = m_track.SensorAt(*t, m_maxGapSeconds, m_offsets);
    if (position) {
        WritePositionToHeader(h, *position);
        return true;
    }
    if (m_offsets.bAny()) {
        h.sourceX = h.sourceY = h.groupX = h.groupY = 0;
    }
    return false;
}

std::string CTracePositions::OutputLine(std::int64_t placed, std::int64_t without) const
{
    return std::string(m_fromFiles ? "\tPositions from navigation files: "
                                   : "\tPositions moved by the offsets: ") +
           std::to_string(placed) + " traces, " + std::to_string(without) + " without" +
           std::string(kNL);
}

} // namespace tessara
