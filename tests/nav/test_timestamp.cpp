// The navigation timestamp: ticks against published epoch values, calendar
// components, millisecond rounding of additions, and the text forms.
#include "nav/timestamp.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessara::test
{
namespace
{

struct EpochCase {
    int year;
    std::int64_t ticks; // 100 ns since 0001-01-01, as other tick-based clocks publish them
};

class TimestampEpoch : public ::testing::TestWithParam<EpochCase>
{
};

TEST_P(TimestampEpoch, FirstOfJanuaryHasThePublishedTickCount)
{
    const CTimestamp t = CTimestamp::FromYear(GetParam().year);
    EXPECT_EQ(t.GetTicks(), GetParam().ticks);
    EXPECT_TRUE(t.bInCalendarRange());
    EXPECT_EQ(t.Year(), GetParam().year);
    EXPECT_EQ(t.DayOfYear(), 1);
}

INSTANTIATE_TEST_SUITE_P(Years,
                         TimestampEpoch,
                         ::testing::Values(EpochCase{1, 0},
                                           EpochCase{1970, 621355968000000000},
                                           EpochCase{2000, 630822816000000000},
                                           EpochCase{9999, 3155063616000000000}));

struct AddCase {
    const char* name;
    double days, hours, minutes, seconds, milliseconds;
    std::int64_t ticksAfterStart; // added to 2003-01-01
};

class TimestampAdd : public ::testing::TestWithParam<AddCase>
{
};

TEST_P(TimestampAdd, EachAdditionIsRoundedToTheMillisecondHalvesAwayFromZero)
{
    const AddCase& c = GetParam();
    CTimestamp t = CTimestamp::FromYear(2003);
    const std::int64_t start = t.GetTicks();
    ASSERT_TRUE(t.AddDays(c.days));
    ASSERT_TRUE(t.AddHours(c.hours));
    ASSERT_TRUE(t.AddMinutes(c.minutes));
    ASSERT_TRUE(t.AddSeconds(c.seconds));
    ASSERT_TRUE(t.AddMilliseconds(c.milliseconds));
    EXPECT_EQ(t.GetTicks() - start, c.ticksAfterStart) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Amounts,
                         TimestampAdd,
                         ::testing::Values(AddCase{"half ms up", 0, 0, 0, 0, 0.5, 10000},
                                           AddCase{"half ms down", 0, 0, 0, 0, -0.5, -10000},
                                           AddCase{"below half", 0, 0, 0, 0, 0.4999, 0},
                                           AddCase{"second fraction", 0, 0, 0, 1.0004, 0, 10000000},
                                           AddCase{"1.5 ms in seconds", 0, 0, 0, 0.0015, 0, 20000},
                                           AddCase{"hour 25 carries", 0, 25, 0, 0, 0, 900000000000},
                                           AddCase{"each part rounded", 0, 0, 0, 0.0004, 0.0004, 0},
                                           AddCase{"negative day", -1, 0, 0, 0, 0, -864000000000}),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             for (char& ch : name)
                                 if (ch == ' ' || ch == '.')
                                     ch = '_';
                             return name;
                         });

TEST(TimestampCalendar, ComponentsAndTextOfADateTime)
{
    CTimestamp t = CTimestamp::FromYear(2004);
    ASSERT_TRUE(t.AddDays(365)); // 2004 is a leap year: 31 December
    ASSERT_TRUE(t.AddHours(17));
    ASSERT_TRUE(t.AddMinutes(5));
    ASSERT_TRUE(t.AddSeconds(9));
    ASSERT_TRUE(t.AddMilliseconds(7));
    EXPECT_EQ(t.Year(), 2004);
    EXPECT_EQ(t.DayOfYear(), 366);
    EXPECT_EQ(t.Hour(), 17);
    EXPECT_EQ(t.Minute(), 5);
    EXPECT_EQ(t.Second(), 9);
    EXPECT_EQ(t.Millisecond(), 7);
    EXPECT_EQ(t.Text(), "2004-12-31 17:05:09");
    EXPECT_EQ(t.IsoText(), "2004-12-31T17:05:09.007");
    EXPECT_DOUBLE_EQ(t.SecondsSince(CTimestamp::FromYear(2005)), -(6 * 3600 + 54 * 60 + 50.993));
}

TEST(TimestampCalendar, RangeIsYearsOneToNineThousandNineHundredNinetyNine)
{
    EXPECT_FALSE(CTimestamp::FromTicks(-1).bInCalendarRange());
    EXPECT_TRUE(CTimestamp::FromTicks(0).bInCalendarRange());
    CTimestamp last = CTimestamp::FromYear(10000);
    EXPECT_FALSE(last.bInCalendarRange());
    ASSERT_TRUE(last.AddMilliseconds(-1));
    EXPECT_TRUE(last.bInCalendarRange());
    EXPECT_EQ(last.Text(), "9999-12-31 23:59:59");
}

TEST(TimestampCalendar, AmountsThatCannotBeAddedLeaveTheTime)
{
    CTimestamp t = CTimestamp::FromYear(2003);
    const CTimestamp before = t;
    EXPECT_FALSE(t.AddSeconds(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(t.AddDays(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(t.AddDays(1e20));
    EXPECT_EQ(t, before);
}

} // namespace
} // namespace tessara::test
