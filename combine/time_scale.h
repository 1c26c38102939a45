// The one time scale of a job: every time it takes from a trace header (the
// inputs' start times, the gaps, the output spans, the closing rules) is a
// value on it.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstdint>
#include <vector>

namespace tessara
{

/// Whether a trace header's year is one a recorder plausibly wrote: 1990 to
/// the current calendar year + 1 (both inclusive).
[[nodiscard]] bool bPlausibleYear(std::int32_t year);

/// Seconds counted from 1 January 00:00 of a base year. A trace whose year is
/// plausible counts its seconds of year plus the days from 1 January of the
/// base year to 1 January of its own; any other trace counts in the base
/// year. Without a base year (the default) every trace counts its seconds of
/// year and nothing else, so a survey within one year gets the same times
/// either way; only a survey across New Year needs the base.
class CJobTimeScale
{
public:
    CJobTimeScale() = default;
    /// `baseYear` must be plausible (bPlausibleYear); 0 gives the plain scale.
    explicit CJobTimeScale(std::int32_t baseYear) : m_baseYear(baseYear) {}

    /// The scale for inputs whose first traces (after the day repair and the
    /// time correction) are `firsts`, of the inputs whose first trace could be
    /// read: based on the earliest year when every one of them carries a
    /// plausible year, plain otherwise. `yearsUncertain` is set when the
    /// plain scale is taken although the plausible years differ: the inputs
    /// then span more than one year and their order may be wrong.
    [[nodiscard]] static CJobTimeScale ForFirstTraces(const std::vector<SegyHeaderType>& firsts,
                                                      bool& yearsUncertain);

    /// 0 for the plain scale.
    [[nodiscard]] std::int32_t BaseYear() const { return m_baseYear; }

    /// The header's time on this scale, whole seconds (milliseconds left out).
    [[nodiscard]] std::int64_t WholeSeconds(const SegyHeaderType& h) const;
    /// The header's time on this scale with its milliseconds, s.
    [[nodiscard]] double Seconds(const SegyHeaderType& h) const;

    /// A time on this scale placed in the calendar year it falls in.
    struct YearTime {
        std::int32_t year;    ///< 0 on the plain scale
        double secondsOfYear; ///< from 1 January 00:00 of `year`
    };
    /// The year a time on this scale falls in (the base year for times
    /// before it) and the seconds of that year; the time itself on the plain
    /// scale. Output names and fill-trace headers use it.
    [[nodiscard]] YearTime InItsYear(double t) const;

private:
    /// Seconds from 1 January of the base year to 1 January of `year`.
    [[nodiscard]] std::int64_t YearStart(std::int32_t year) const;

    std::int32_t m_baseYear = 0;
};

} // namespace tessara
