#include "combine/time_scale.h"

#include <algorithm>
#include <chrono>

namespace tessara
{

namespace
{

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int32_t kEarliestPlausibleYear = 1990;

std::int32_t LatestPlausibleYear()
{
    // Recorders of today write this year; the bound follows the calendar.
    static const std::int32_t latest = [] {
        const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
        return static_cast<std::int32_t>(std::chrono::year_month_day(today).year()) + 1;
    }();
    return latest;
}

} // namespace

bool bPlausibleYear(std::int32_t year)
{
    return year >= kEarliestPlausibleYear && year <= LatestPlausibleYear();
}

CJobTimeScale CJobTimeScale::ForFirstTraces(const std::vector<SegyHeaderType>& firsts,
                                            bool& yearsUncertain)
{
    yearsUncertain = false;
    bool everyPlausible = true;
    std::int32_t earliest = 0;
    std::int32_t latest = 0;
    for (const SegyHeaderType& h : firsts) {
        if (!bPlausibleYear(h.year)) {
            everyPlausible = false;
            continue;
        }
        earliest = earliest == 0 ? h.year : std::min<std::int32_t>(earliest, h.year);
        latest = std::max<std::int32_t>(latest, h.year);
    }
    if (earliest == 0)
        return {};
    if (!everyPlausible) {
        yearsUncertain = earliest != latest;
        return {};
    }
    return CJobTimeScale(earliest);
}

std::int64_t CJobTimeScale::YearStart(std::int32_t year) const
{
    using namespace std::chrono;
    const sys_days from{std::chrono::year{m_baseYear} / January / 1};
    const sys_days to{std::chrono::year{year} / January / 1};
    return (to - from).count() * kSecondsPerDay;
}

std::int64_t CJobTimeScale::WholeSeconds(const SegyHeaderType& h) const
{
    const std::int64_t ofYear = WholeSecondsOfYear(h);
    // Every trace of most surveys is in the base year: no calendar sums.
    if (m_baseYear == 0 || h.year == m_baseYear || !bPlausibleYear(h.year))
        return ofYear;
    return ofYear + YearStart(h.year);
}

double CJobTimeScale::Seconds(const SegyHeaderType& h) const
{
    return static_cast<double>(WholeSeconds(h)) + h.millisecond / 1000.0;
}

CJobTimeScale::YearTime CJobTimeScale::InItsYear(double t) const
{
    if (m_baseYear == 0)
        return {0, t};
    // Seconds of year count from day 0 (dayOfYear x 86400), so a year's
    // first day starts one day after its 1 January 00:00 on this scale, and
    // the last day of the year before ends there.
    std::int32_t year = m_baseYear;
    while (year < LatestPlausibleYear() &&
           t >= static_cast<double>(YearStart(year + 1) + kSecondsPerDay))
        ++year;
    return {year, t - static_cast<double>(YearStart(year))};
}

} // namespace tessara
