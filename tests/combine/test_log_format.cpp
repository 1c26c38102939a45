// Number formats of the log: doubles with up to 15 significant digits, no
// trailing zeros, never an exponent.
#include "combine/api/log_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

struct NumberCase {
    double value;
    const char* text;
};

class LogNumber : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(LogNumber, HasAtMostFifteenSignificantDigitsAndNoTrailingZeros)
{
    EXPECT_EQ(FormatLogNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Log,
                         LogNumber,
                         ::testing::Values(NumberCase{3660, "3660"},
                                           NumberCase{0.25, "0.25"},
                                           NumberCase{1.0, "1"},
                                           NumberCase{0.0, "0"},
                                           NumberCase{-0.0, "0"},
                                           NumberCase{-2.5, "-2.5"},
                                           NumberCase{0.1, "0.1"},
                                           NumberCase{1.0 / 3.0, "0.333333333333333"},
                                           NumberCase{2.0 / 3.0, "0.666666666666667"},
                                           NumberCase{1e-7, "0.0000001"},
                                           NumberCase{1.5e-5, "0.000015"},
                                           NumberCase{1e20, "100000000000000000000"},
                                           NumberCase{123456789012345678.0, "123456789012346000"},
                                           NumberCase{8676004.5, "8676004.5"},
                                           NumberCase{123456789.123456789, "123456789.123457"},
                                           NumberCase{999999999999999.9, "1000000000000000"},
                                           NumberCase{0.30000000000000004, "0.3"},
                                           NumberCase{std::numeric_limits<double>::quiet_NaN(),
                                                      "NaN"},
                                           NumberCase{HUGE_VAL, "Infinity"},
                                           NumberCase{-HUGE_VAL, "-Infinity"}));

struct TimeCase {
    double seconds;
    const char* text;
};

class TimeOfYear : public ::testing::TestWithParam<TimeCase>
{
};

TEST_P(TimeOfYear, ShowsDayClockAndMilliseconds)
{
    EXPECT_EQ(FormatSecondsOfYear(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Log,
                         TimeOfYear,
                         ::testing::Values(TimeCase{0, "000 00:00:00.000"},
                                           TimeCase{8676001.25, "100 10:00:01.250"},
                                           TimeCase{86399.9996, "001 00:00:00.000"},
                                           TimeCase{31622399.999, "365 23:59:59.999"},
                                           TimeCase{-1, "-1"}));

} // namespace
} // namespace tessara
