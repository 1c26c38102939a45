// Navigation times: 100-nanosecond ticks since 0001-01-01 00:00:00 of the
// proleptic Gregorian calendar, without time zone.
#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <ratio>
#include <string>

namespace tessara
{

/// One point in time of a navigation fix. The calendar comes from
/// std::chrono::year_month_day. Every addition rounds the added amount to the
/// nearest whole millisecond, halves away from zero, so times built from
/// trace headers never carry sub-millisecond noise.
///
/// Any tick count can be held, negative ones included (the placeholder times
/// of traces whose header time is unusable); the calendar components are
/// meaningful only inside years 1 to 9999 (bInCalendarRange).
class CTimestamp
{
public:
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;

    CTimestamp() = default;

    /// 1 January of `year`, 00:00:00. `year` may lie outside 1..9999; the
    /// result is then outside the calendar range.
    [[nodiscard]] static CTimestamp FromYear(int year);
    /// Directly from a tick count.
    [[nodiscard]] static CTimestamp FromTicks(std::int64_t ticks);

    /// Add a signed amount, rounded to the whole millisecond first. False,
    /// leaving the time unchanged, when the amount is not finite or would move
    /// the time by more than 10^15 ms (about 31700 years).
    [[nodiscard]] bool AddDays(double days);
    [[nodiscard]] bool AddHours(double hours);
    [[nodiscard]] bool AddMinutes(double minutes);
    [[nodiscard]] bool AddSeconds(double seconds);
    [[nodiscard]] bool AddMilliseconds(double milliseconds);

    [[nodiscard]] std::int64_t GetTicks() const { return m_ticks.count(); }
    /// Seconds from `earlier` to this time (negative when this is earlier).
    [[nodiscard]] double SecondsSince(const CTimestamp& earlier) const;

    /// Inside 0001-01-01 00:00:00 .. 9999-12-31 23:59:59.9999999.
    [[nodiscard]] bool bInCalendarRange() const;

    // Calendar components (in calendar range only).
    [[nodiscard]] int Year() const;
    [[nodiscard]] int DayOfYear() const; ///< 1 = 1 January
    [[nodiscard]] int Hour() const;
    [[nodiscard]] int Minute() const;
    [[nodiscard]] int Second() const;
    [[nodiscard]] int Millisecond() const;

    /// "YYYY-MM-DD HH:MM:SS", the same on every machine.
    [[nodiscard]] std::string Text() const;
    /// ISO 8601 with milliseconds: "YYYY-MM-DDTHH:MM:SS.mmm".
    [[nodiscard]] std::string IsoText() const;

    auto operator<=>(const CTimestamp&) const = default;

private:
    [[nodiscard]] bool AddRounded(double amount, double millisecondsPerUnit);

    Ticks m_ticks{0};
};

} // namespace tessara
