#include "nav/timestamp.h"

#include <cmath>
#include <cstdio>

namespace tessara
{

namespace
{

using namespace std::chrono;
using Ticks = CTimestamp::Ticks;

/// 0001-01-01 as a point of the system clock's calendar (days since 1970).
constexpr sys_days kOrigin = year{1} / January / 1;
constexpr sys_days kEnd = year{10000} / January / 1;
constexpr std::int64_t kTicksPerMs = 10'000;

constexpr Ticks TicksOf(sys_days day)
{
    return duration_cast<Ticks>(day - kOrigin);
}

struct Parts {
    year_month_day date;
    int dayOfYear;
    Ticks timeOfDay;
};

Parts Split(Ticks ticks)
{
    const auto sinceOrigin = floor<days>(ticks);
    const sys_days day = kOrigin + sinceOrigin;
    const year_month_day ymd(day);
    const sys_days jan1 = ymd.year() / January / 1;
    return {ymd, static_cast<int>((day - jan1).count()) + 1, ticks - sinceOrigin};
}

} // namespace

CTimestamp CTimestamp::FromYear(int y)
{
    CTimestamp t;
    t.m_ticks = TicksOf(sys_days(year{y} / January / 1));
    return t;
}

CTimestamp CTimestamp::FromTicks(std::int64_t ticks)
{
    CTimestamp t;
    t.m_ticks = Ticks(ticks);
    return t;
}

bool CTimestamp::AddRounded(double amount, double millisecondsPerUnit)
{
    const double ms = amount * millisecondsPerUnit;
    if (!std::isfinite(ms) || std::fabs(ms) > 1e15)
        return false;
    // std::llround rounds halves away from zero.
    m_ticks += Ticks(std::llround(ms) * kTicksPerMs);
    return true;
}

bool CTimestamp::AddDays(double d)
{
    return AddRounded(d, 86'400'000.0);
}
bool CTimestamp::AddHours(double h)
{
    return AddRounded(h, 3'600'000.0);
}
bool CTimestamp::AddMinutes(double m)
{
    return AddRounded(m, 60'000.0);
}
bool CTimestamp::AddSeconds(double s)
{
    return AddRounded(s, 1000.0);
}
bool CTimestamp::AddMilliseconds(double ms)
{
    return AddRounded(ms, 1.0);
}

double CTimestamp::SecondsSince(const CTimestamp& earlier) const
{
    return static_cast<double>((m_ticks - earlier.m_ticks).count()) / 1e7;
}

bool CTimestamp::bInCalendarRange() const
{
    return m_ticks >= Ticks(0) && m_ticks < TicksOf(kEnd);
}

int CTimestamp::Year() const
{
    return static_cast<int>(Split(m_ticks).date.year());
}
int CTimestamp::DayOfYear() const
{
    return Split(m_ticks).dayOfYear;
}
int CTimestamp::Hour() const
{
    return static_cast<int>(floor<hours>(Split(m_ticks).timeOfDay).count());
}
int CTimestamp::Minute() const
{
    return static_cast<int>(floor<minutes>(Split(m_ticks).timeOfDay).count() % 60);
}
int CTimestamp::Second() const
{
    return static_cast<int>(floor<seconds>(Split(m_ticks).timeOfDay).count() % 60);
}
int CTimestamp::Millisecond() const
{
    return static_cast<int>(floor<milliseconds>(Split(m_ticks).timeOfDay).count() % 1000);
}

std::string CTimestamp::Text() const
{
    const Parts p = Split(m_ticks);
    const hh_mm_ss<Ticks> clock(p.timeOfDay);
    char text[48];
    std::snprintf(text,
                  sizeof text,
                  "%04d-%02u-%02u %02d:%02d:%02d",
                  static_cast<int>(p.date.year()),
                  static_cast<unsigned>(p.date.month()),
                  static_cast<unsigned>(p.date.day()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::string CTimestamp::IsoText() const
{
    std::string text = Text();
    text[10] = 'T';
    char ms[8];
    std::snprintf(ms, sizeof ms, ".%03d", Millisecond());
    return text + ms;
}

} // namespace tessara
