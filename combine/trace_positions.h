// The positions a job gives its traces: from the ship's navigation logs, and
// moved from the GPS antenna to the sensor by its offsets and layback.
// Deciding and writing an output put the same position into a trace, since
// both ask this one value with the same time.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/time_scale.h"
#include "nav/navigation_track.h"
#include "segy/format/segy_headers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// The calendar time of a trace at `seconds` on `scale` (its header `h`
/// gives the year on the plain scale); empty when no plausible year places
/// it.
[[nodiscard]] std::optional<CTimestamp>
JobTimestamp(const SegyHeaderType& h, double seconds, const CJobTimeScale& scale);

class CTracePositions
{
public:
    /// No track: Apply leaves every header as it is.
    CTracePositions() = default;

    /// Reads `settings.navigation_files` into one track. "" or the first
    /// problem, "Navigation file PATH: WHAT", and then no track. The log
    /// lines of what was read are kept for Told.
    [[nodiscard]] std::string LoadFiles(const CombineSettings& settings);
    /// A track made of positions the job read from its trace headers, in
    /// time order, for the offsets to be applied to them.
    void UseHeaderTrack(std::vector<LogFix> fixes, const CombineSettings& settings);

    /// There is a track, or offsets to apply.
    [[nodiscard]] bool bActive() const { return m_active; }
    [[nodiscard]] bool bFromFiles() const { return m_fromFiles; }

    /// Gives the trace whose header `h` holds, at `seconds` on `scale`, the
    /// sensor's position: true when it did. Otherwise, with offsets to apply,
    /// its position is cleared (an antenna's position is not the sensor's);
    /// without, it keeps its own. A header whose time cannot be placed in a
    /// year (the plain scale and no plausible year) gets none from the track.
    bool Apply(SegyHeaderType& h, double seconds, const CJobTimeScale& scale) const;

    /// Log lines (each ending in CR LF) of what the files gave and the
    /// offsets applied.
    [[nodiscard]] const std::vector<std::string>& Told() const { return m_told; }
    /// The log line of an output's traces: `placed` took a position from
    /// the track, `without` did not.
    [[nodiscard]] std::string OutputLine(std::int64_t placed, std::int64_t without) const;

private:
    void TellOffsets();

    CNavigationTrack m_track;
    SensorOffsets m_offsets;
    double m_maxGapSeconds = 10.0;
    bool m_active = false;
    bool m_fromFiles = false;
    std::vector<std::string> m_told;
};

} // namespace tessara
