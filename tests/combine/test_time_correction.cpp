// The static time correction (calendar arithmetic) and the Knudsen day
// repair: file-name fields, the reference-trace search, the YearDay and
// DayOnly layouts and the midnight rule. Expected dates are worked out by
// hand from the Gregorian calendar: 2003 and 1900 have 365 days, 2000 and
// 2004 have 366.
#include "combine/job_state.h"
#include "combine/time_correction.h"
#include "segy/io/segy_file_in.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <ostream>
#include <utility>
#include <vector>

namespace tessara::test
{
namespace
{

/// A trace time stamp with its year.
struct Time {
    int year = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const Time&, const Time&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Time& t)
    {
        return os << t.year << "/" << t.day << " " << t.hour << ":" << t.minute << ":" << t.second
                  << "." << t.millisecond;
    }
};

SegyHeaderType HeaderAt(const Time& t)
{
    SegyHeaderType h{};
    h.year = static_cast<std::int16_t>(t.year);
    h.dayOfYear = static_cast<std::int16_t>(t.day);
    h.hour = static_cast<std::int16_t>(t.hour);
    h.minute = static_cast<std::int16_t>(t.minute);
    h.second = static_cast<std::int16_t>(t.second);
    h.millisecond = static_cast<std::int16_t>(t.millisecond);
    h.sampleCount = 4;
    h.delayRecordingTime = 17;
    return h;
}

Time TimeOf(const SegyHeaderType& h)
{
    return {h.year, h.dayOfYear, h.hour, h.minute, h.second, h.millisecond};
}

// ---------------------------------------------------------------------------
// Calendar arithmetic.

struct CalendarCase {
    const char* name;
    Time in;
    long long seconds;
    bool ok;
    Time out; // == in when !ok
};

void PrintTo(const CalendarCase& c, std::ostream* os)
{
    *os << c.name;
}

class Calendar : public ::testing::TestWithParam<CalendarCase>
{
};

TEST_P(Calendar, AddsSecondsAcrossMidnightMonthEndsAndNewYear)
{
    const CalendarCase& c = GetParam();
    SegyHeaderType h = HeaderAt(c.in);
    SegyHeaderType before = h;
    EXPECT_EQ(AddSecondsToTraceTime(h, c.seconds), c.ok);
    EXPECT_EQ(TimeOf(h), c.out);
    // Nothing but the time fields may change.
    before.year = h.year;
    before.dayOfYear = h.dayOfYear;
    before.hour = h.hour;
    before.minute = h.minute;
    before.second = h.second;
    EXPECT_EQ(std::memcmp(&before, &h, sizeof h), 0);
}

INSTANTIATE_TEST_SUITE_P(
    TimeCorrection,
    Calendar,
    ::testing::Values(
        // 23:30 + 2 h on 31 December 2003 is 01:30 on 1 January 2004; the
        // milliseconds are not part of the correction.
        CalendarCase{
            "NonLeapYearEnd", {2003, 365, 23, 30, 0, 123}, 7200, true, {2004, 1, 1, 30, 0, 123}},
        CalendarCase{
            "LeapYearHasDay366", {2004, 365, 23, 30, 0, 0}, 3600, true, {2004, 366, 0, 30, 0, 0}},
        CalendarCase{
            "Day366ToNewYear", {2004, 366, 23, 0, 0, 999}, 7200, true, {2005, 1, 1, 0, 0, 999}},
        CalendarCase{
            "Century1900IsNoLeapYear", {1900, 365, 23, 0, 0, 0}, 3600, true, {1901, 1, 0, 0, 0, 0}},
        CalendarCase{"Century2000IsALeapYear",
                     {2000, 365, 23, 0, 0, 0},
                     3600,
                     true,
                     {2000, 366, 0, 0, 0, 0}},
        CalendarCase{"SecondCarriesIntoNextDay",
                     {2003, 59, 23, 59, 59, 500},
                     1,
                     true,
                     {2003, 60, 0, 0, 0, 500}},
        // 1000000 s = 11 days 13:46:40.
        CalendarCase{"LargestCorrection",
                     {2003, 100, 10, 0, 0, 0},
                     1000000,
                     true,
                     {2003, 111, 23, 46, 40, 0}},
        // The day counts from 1 January: day 0 is 31 December before it,
        // day 400 of 2003 is day 35 of 2004.
        CalendarCase{"DayZero", {2003, 0, 23, 30, 0, 0}, 3600, true, {2003, 1, 0, 30, 0, 0}},
        CalendarCase{"DayBeyondTheYear", {2003, 400, 0, 0, 0, 0}, 60, true, {2004, 35, 0, 1, 0, 0}},
        CalendarCase{
            "BackOverNewYear", {2004, 1, 0, 30, 0, 0}, -3600, true, {2003, 365, 23, 30, 0, 0}},
        CalendarCase{"YearZero", {0, 100, 10, 0, 0, 0}, 60, false, {0, 100, 10, 0, 0, 0}},
        CalendarCase{"Year10000", {10000, 100, 10, 0, 0, 0}, 60, false, {10000, 100, 10, 0, 0, 0}},
        CalendarCase{"Hour24", {2003, 100, 24, 0, 0, 0}, 60, false, {2003, 100, 24, 0, 0, 0}},
        CalendarCase{"HourNegative", {2003, 100, -1, 0, 0, 0}, 60, false, {2003, 100, -1, 0, 0, 0}},
        CalendarCase{"Minute60", {2003, 100, 10, 60, 0, 0}, 60, false, {2003, 100, 10, 60, 0, 0}},
        CalendarCase{"Second60", {2003, 100, 10, 0, 60, 0}, 60, false, {2003, 100, 10, 0, 60, 0}},
        CalendarCase{
            "SecondNegative", {2003, 100, 10, 0, -1, 0}, 60, false, {2003, 100, 10, 0, -1, 0}},
        CalendarCase{"ResultAfterYear9999",
                     {9999, 365, 23, 59, 59, 0},
                     1,
                     false,
                     {9999, 365, 23, 59, 59, 0}},
        CalendarCase{"ResultBeforeYear1", {1, 1, 0, 0, 0, 0}, -1, false, {1, 1, 0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<CalendarCase>& p) { return p.param.name; });

/// Settings, recording host and job state of one unit test, and the context
/// that joins them.
class TimeStepTest : public ::testing::Test
{
protected:
    JobContext Ctx() { return {m_settings, m_host}; }

    CombineSettings m_settings;
    CRecordingHost m_host;
    TimeCorrectionState m_fix;
};

TEST_F(TimeStepTest, CorrectionZeroLeavesEveryHeaderByteEvenOutOfRangeFields)
{
    CSegyTrace trace(4);
    std::memset(trace.header.get(), 0x7F, sizeof(SegyHeaderType)); // hour 32639 and so on
    const SegyHeaderType before = *trace.header;
    m_settings.timecorrection = 0;
    AddTimeCorrectionToTraceHeader(Ctx(), trace);
    EXPECT_EQ(std::memcmp(&before, trace.header.get(), sizeof before), 0);
}

TEST_F(TimeStepTest, CorrectionMovesTheTraceTimeByTheSettingInSeconds)
{
    m_settings.timecorrection = 7200;
    CSegyTrace trace(4);
    *trace.header = HeaderAt({2003, 365, 23, 30, 0, 123});
    AddTimeCorrectionToTraceHeader(Ctx(), trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{2004, 1, 1, 30, 0, 123}));

    // A stamp that is no date-time keeps its fields.
    *trace.header = HeaderAt({2003, 100, 24, 0, 0, 0});
    AddTimeCorrectionToTraceHeader(Ctx(), trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{2003, 100, 24, 0, 0, 0}));
}

// ---------------------------------------------------------------------------
// File names.

struct NameCase {
    const char* path;
    KnudsenNameFormat layout;
    bool ok;
    std::int32_t day;
    std::int32_t year;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.path;
}

class KnudsenName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(KnudsenName, GivesTheDayOnlyFromWellFormedFields)
{
    const NameCase& c = GetParam();
    const std::optional<KnudsenNameDay> named = ReadKnudsenFileName(c.path, c.layout);
    ASSERT_EQ(named.has_value(), c.ok) << c.path;
    if (c.ok) {
        EXPECT_EQ(named->day, c.day) << c.path;
        EXPECT_EQ(named->year, c.year) << c.path;
    }
}

constexpr auto kYearDay = KnudsenNameFormat::YearDay;
constexpr auto kDayOnly = KnudsenNameFormat::DayOnly;
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    TimeCorrection,
    KnudsenName,
    ::testing::Values(NameCase{"0001_2003_255_1735.sgy", kYearDay, true, 255, 2003},
                      NameCase{"/survey_2/leg_1/0001_2003_255_1735.sgy", kYearDay, true, 255, 2003},
                      NameCase{"0001_2003_255", kYearDay, true, 255, 2003},
                      NameCase{"0001_+2003_-5_x", kYearDay, true, -5, 2003},
                      NameCase{"0001_-2147483648_7_x", kYearDay, true, 7, kInt32Min},
                      NameCase{"0001_2003_255.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_2003.sgy", kYearDay, false, 0, 0},
                      NameCase{"survey.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_20x3_255_1735.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001__255_1735.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_ 2003_255_1735.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_2003_+_1735.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_2147483648_255_1735.sgy", kYearDay, false, 0, 0},
                      NameCase{"0001_255_1735.sgy", kDayOnly, true, 255, 0},
                      NameCase{"/survey_2/0001_255_1735.sgy", kDayOnly, true, 255, 0},
                      NameCase{"0001_255", kDayOnly, true, 255, 0},
                      NameCase{"0001_255.sgy", kDayOnly, false, 0, 0},
                      NameCase{"0001.sgy", kDayOnly, false, 0, 0},
                      NameCase{"0001_99999999999_1735.sgy", kDayOnly, false, 0, 0}));

// ---------------------------------------------------------------------------
// The reference-trace search.

class ReferenceSearch : public TimeStepTest
{
protected:
    /// A file whose traces carry the given days, 10:00:k each.
    std::string FileWithDays(const std::vector<int>& days)
    {
        SegyBytes b(true);
        b.FileHeader(5, 4, 1000);
        for (std::size_t k = 0; k < days.size(); ++k) {
            b.TraceHeader(4, 1000).TraceTime(2004, days[k], 10, 0, static_cast<int>(k));
            b.Samples(5, {1, 2, 3, 4});
        }
        const std::string path = m_tmp.File("0001_2004_366_1000.sgy");
        EXPECT_TRUE(b.WriteTo(path));
        return path;
    }

    TempDir m_tmp;
};

TEST_F(ReferenceSearch, WithTheDayRepairSkipsTracesWithoutAValidDayAndAcceptsDay366)
{
    m_settings.fixupknudsen = true;
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(FileWithDays({0, 367, -1, 366, 5})));
    CSegyTrace trace(4);
    EXPECT_EQ(Read_Reference_Trace(Ctx(), in, trace), 4);
    EXPECT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->dayOfYear, 366) << "31 December of a leap year is a real day";
    in.Read(trace, -1);
    EXPECT_EQ(trace.header->dayOfYear, 5) << "the search reads no further than the reference";
}

TEST_F(ReferenceSearch, WithoutTheDayRepairTheFirstTraceIsTheReference)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(FileWithDays({0, 5})));
    CSegyTrace trace(4);
    EXPECT_EQ(Read_Reference_Trace(Ctx(), in, trace), 1);
    EXPECT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->dayOfYear, 0);
}

TEST_F(ReferenceSearch, EndsAtTheEndOfAnInputWithoutAValidDay)
{
    m_settings.fixupknudsen = true;
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(FileWithDays({0, 400})));
    CSegyTrace trace(4);
    EXPECT_EQ(Read_Reference_Trace(Ctx(), in, trace), 2);
    EXPECT_TRUE(in.atEnd);
}

// ---------------------------------------------------------------------------
// The day repair, trace by trace.

struct RepairCase {
    const char* name;
    KnudsenNameFormat layout;
    const char* fileName;
    Time reference;
    std::vector<std::pair<Time, Time>> traces; // as read -> as repaired
};

void PrintTo(const RepairCase& c, std::ostream* os)
{
    *os << c.name;
}

class KnudsenRepair : public TimeStepTest, public ::testing::WithParamInterface<RepairCase>
{
};

TEST_P(KnudsenRepair, GivesEveryTraceAfterTheReferenceItsDay)
{
    const RepairCase& c = GetParam();
    m_settings.fixupknudsen = true;
    m_settings.knudsen_name_format = c.layout;
    CSegyTrace reference(4);
    *reference.header = HeaderAt(c.reference);
    Derive_Knudsen_Day_Fix(Ctx(), m_fix, std::string("/data/") + c.fileName, reference, true);
    EXPECT_EQ(m_host.log, "");
    CSegyTrace trace(4);
    for (std::size_t k = 0; k < c.traces.size(); ++k) {
        *trace.header = HeaderAt(c.traces[k].first);
        Apply_Knudsen_Day_Fix(m_fix, trace);
        EXPECT_EQ(TimeOf(*trace.header), c.traces[k].second) << "trace " << k + 1;
        EXPECT_EQ(trace.header->delayRecordingTime, 17) << "only the time changes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    TimeCorrection,
    KnudsenRepair,
    ::testing::Values(
        // The recorder wrote year 3 and day 254; the name says 2003, day 255.
        RepairCase{"YearDayTakesYearAndDayFromTheName",
                   kYearDay,
                   "0001_2003_255_1735.sgy",
                   {3, 254, 17, 35, 0, 0},
                   {{{3, 254, 17, 35, 0, 250}, {2003, 255, 17, 35, 0, 250}},
                    {{3, 254, 17, 40, 59, 999}, {2003, 255, 17, 40, 59, 999}}}},
        // After midnight the traces belong to the next day, whatever the
        // header says; a small step back is no midnight.
        RepairCase{"YearDayCountsTheMidnightCrossed",
                   kYearDay,
                   "0001_2003_255_2359.sgy",
                   {3, 254, 23, 59, 58, 0},
                   {{{3, 254, 23, 59, 59, 500}, {2003, 255, 23, 59, 59, 500}},
                    {{3, 255, 0, 0, 0, 0}, {2003, 256, 0, 0, 0, 0}},
                    {{3, 255, 0, 0, 5, 0}, {2003, 256, 0, 0, 5, 0}},
                    {{3, 255, 0, 0, 3, 0}, {2003, 256, 0, 0, 3, 0}},
                    {{3, 255, 0, 0, 6, 0}, {2003, 256, 0, 0, 6, 0}}}},
        RepairCase{"YearDayCarriesPastDay365IntoTheNextYear",
                   kYearDay,
                   "0001_2003_365_2359.sgy",
                   {0, 0, 23, 59, 59, 0},
                   {{{0, 0, 23, 59, 59, 500}, {2003, 365, 23, 59, 59, 500}},
                    {{0, 0, 0, 0, 0, 250}, {2004, 1, 0, 0, 0, 250}}}},
        RepairCase{"YearDayLeapYearReachesDay366BeforeNewYear",
                   kYearDay,
                   "0001_2004_365_2300.sgy",
                   {2004, 365, 23, 0, 0, 0},
                   {{{2004, 365, 0, 30, 0, 0}, {2004, 366, 0, 30, 0, 0}},
                    {{2004, 365, 12, 0, 0, 0}, {2004, 366, 12, 0, 0, 0}},
                    {{2004, 365, 23, 59, 0, 0}, {2004, 366, 23, 59, 0, 0}},
                    {{2004, 365, 0, 10, 0, 0}, {2005, 1, 0, 10, 0, 0}}}},
        // Exactly 12 hours back is not "more than 12 hours earlier".
        RepairCase{"YearDayStepBackOfTwelveHoursIsNoMidnight",
                   kYearDay,
                   "0001_2003_100_1200.sgy",
                   {2003, 100, 12, 0, 1, 0},
                   {{{2003, 100, 0, 0, 1, 0}, {2003, 100, 0, 0, 1, 0}},
                    {{2003, 100, 12, 0, 2, 0}, {2003, 100, 12, 0, 2, 0}},
                    {{2003, 100, 0, 0, 1, 0}, {2003, 101, 0, 0, 1, 0}}}},
        // A name's day that is no day of its year is not carried.
        RepairCase{"YearDayNameDayOutsideTheYearIsNotCarried",
                   kYearDay,
                   "0001_2003_400_2359.sgy",
                   {2003, 1, 23, 59, 0, 0},
                   {{{2003, 1, 23, 59, 30, 0}, {2003, 400, 23, 59, 30, 0}},
                    {{2003, 2, 0, 0, 30, 0}, {2003, 401, 0, 0, 30, 0}}}},
        // DayOnly shifts the recorded days by name day - reference day, so
        // the recorder's own midnight carries; the year stays as recorded.
        RepairCase{"DayOnlyShiftsEveryRecordedDay",
                   kDayOnly,
                   "0001_255_2359.sgy",
                   {3, 254, 23, 59, 58, 0},
                   {{{3, 254, 23, 59, 59, 500}, {3, 255, 23, 59, 59, 500}},
                    {{3, 255, 0, 0, 0, 250}, {3, 256, 0, 0, 0, 250}}}},
        RepairCase{"DayOnlyNegativeOffset",
                   kDayOnly,
                   "0001_10_0000.sgy",
                   {2003, 12, 0, 0, 0, 0},
                   {{{2003, 12, 0, 0, 1, 0}, {2003, 10, 0, 0, 1, 0}},
                    {{2003, 13, 0, 0, 2, 0}, {2003, 11, 0, 0, 2, 0}}}},
        RepairCase{"DayOnlyRightHeaderStaysRight",
                   kDayOnly,
                   "0001_255_1735.sgy",
                   {2003, 255, 17, 35, 0, 0},
                   {{{2003, 255, 17, 35, 1, 0}, {2003, 255, 17, 35, 1, 0}}}}),
    [](const ::testing::TestParamInfo<RepairCase>& p) { return p.param.name; });

class BadName : public TimeStepTest,
                public ::testing::WithParamInterface<std::pair<const char*, KnudsenNameFormat>>
{
};

TEST_P(BadName, LogsOnceAndLeavesTheTracesAsRecorded)
{
    m_settings.fixupknudsen = true;
    m_settings.knudsen_name_format = GetParam().second;
    CSegyTrace reference(4);
    *reference.header = HeaderAt({2003, 254, 23, 59, 0, 0});
    Derive_Knudsen_Day_Fix(Ctx(), m_fix, GetParam().first, reference, true);
    EXPECT_EQ(m_host.log, "\tFile name does not give the day: no day repair\r\n");

    CSegyTrace trace(4);
    for (const Time& t : {Time{2003, 254, 23, 59, 30, 0}, Time{2003, 255, 0, 0, 30, 0}}) {
        *trace.header = HeaderAt(t);
        Apply_Knudsen_Day_Fix(m_fix, trace);
        EXPECT_EQ(TimeOf(*trace.header), t);
    }
    // The scan's first trace keeps its header day as well.
    *trace.header = HeaderAt({2003, 254, 23, 59, 0, 0});
    Apply_Knudsen_Day_From_File_Name(Ctx(), GetParam().first, trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{2003, 254, 23, 59, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(TimeCorrection,
                         BadName,
                         ::testing::Values(std::pair{"line7.sgy", kYearDay},
                                           std::pair{"0001_2003_255.sgy", kYearDay},
                                           std::pair{"0001_2003_2x5_1735.sgy", kYearDay},
                                           std::pair{"0001_255.sgy", kDayOnly},
                                           std::pair{"0001_day_1735.sgy", kDayOnly}));

TEST_F(TimeStepTest, ScanGivesTheFirstTraceTheNamesDayInEitherLayout)
{
    CSegyTrace trace(4);
    m_settings.knudsen_name_format = kYearDay;
    *trace.header = HeaderAt({3, 0, 17, 35, 0, 500});
    Apply_Knudsen_Day_From_File_Name(Ctx(), "/data/0001_2003_255_1735.sgy", trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{2003, 255, 17, 35, 0, 500}));

    m_settings.knudsen_name_format = kDayOnly;
    *trace.header = HeaderAt({3, 0, 17, 35, 0, 500});
    Apply_Knudsen_Day_From_File_Name(Ctx(), "/data/0001_255_1735.sgy", trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{3, 255, 17, 35, 0, 500}));
}

TEST_F(TimeStepTest, ARepairOfOneInputDoesNotReachTheNextWhenItsNameIsBad)
{
    // Each input derives its repair afresh: a bad name after a good one
    // must not inherit the good one's day.
    m_settings.fixupknudsen = true;
    CSegyTrace reference(4);
    *reference.header = HeaderAt({2003, 254, 10, 0, 0, 0});
    Derive_Knudsen_Day_Fix(Ctx(), m_fix, "0001_2003_255_1000.sgy", reference, true);
    Derive_Knudsen_Day_Fix(Ctx(), m_fix, "unnamed.sgy", reference, true);
    CSegyTrace trace(4);
    *trace.header = HeaderAt({2003, 254, 10, 0, 1, 0});
    Apply_Knudsen_Day_Fix(m_fix, trace);
    EXPECT_EQ(TimeOf(*trace.header), (Time{2003, 254, 10, 0, 1, 0}));
}

} // namespace
} // namespace tessara::test
