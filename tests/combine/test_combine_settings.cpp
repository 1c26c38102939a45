// Ranges of the settings and the messages that refuse a value.
#include "combine/api/combine_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

namespace tessara
{
namespace
{

TEST(CombineSettings, DefaultsAreInRange)
{
    const CombineSettings s;
    EXPECT_EQ(ValidateCombineSettings(s), "");
    EXPECT_EQ(s.max_file_size, 2000);
    EXPECT_EQ(s.time_duration_limit, 24);
    EXPECT_EQ(s.file_gap, 60);
    EXPECT_TRUE(s.make_null_traces);
    EXPECT_TRUE(s.delayscan);
    EXPECT_TRUE(s.flip_port);
    EXPECT_EQ(s.stbd_id, 1);
    EXPECT_EQ(s.sampling_frequency, 12000.0);
    EXPECT_EQ(s.nav_average_fixes, 30);
    EXPECT_EQ(s.trace_spacing, 5.0);
    EXPECT_EQ(s.Expedition, "Choose Expedition");
    EXPECT_EQ(s.knudsen_name_format, KnudsenNameFormat::YearDay);
    EXPECT_EQ(s.spacing_mode, SpacingMode::Median);
}

/// `setting`, a number, set to `value` in `s`.
void SetNumber(CombineSettings& s, const SettingRow& setting, double value)
{
    if (const auto* whole = std::get_if<int CombineSettings::*>(&setting.member))
        s.** whole = static_cast<int>(value);
    else
        s.*std::get<double CombineSettings::*>(setting.member) = value;
}

/// A number as the messages give it: "-1001", "0.05".
std::string NumberText(double value)
{
    std::ostringstream text;
    text << std::setprecision(12) << value;
    return text.str();
}

class NumberSetting : public ::testing::TestWithParam<SettingRow>
{
};

TEST_P(NumberSetting, TakesBothLimitsAndRefusesTheNextValueBeyondWithItsNameAndRange)
{
    const SettingRow& setting = GetParam();
    const double unit = std::pow(10.0, -setting.decimals);
    const std::string range = NumberText(setting.minimum) + ".." + NumberText(setting.maximum);
    EXPECT_EQ(RangeText(setting), range);
    EXPECT_EQ(SettingRangeProblem(setting, setting.DefaultNumber()), "");
    for (const double limit : {setting.minimum, setting.maximum}) {
        CombineSettings s;
        SetNumber(s, setting, limit);
        EXPECT_EQ(ValidateCombineSettings(s), "") << limit;
    }
    for (const double beyond : {setting.minimum - unit, setting.maximum + unit}) {
        CombineSettings s;
        SetNumber(s, setting, beyond);
        EXPECT_EQ(ValidateCombineSettings(s),
                  std::string(setting.field) + " " + NumberText(beyond) + " not in " + range);
    }
}

INSTANTIATE_TEST_SUITE_P(Table,
                         NumberSetting,
                         ::testing::ValuesIn([] {
                             std::vector<SettingRow> numbers;
                             for (const SettingRow& setting : kCombineSettings) {
                                 if (setting.bIsNumber())
                                     numbers.push_back(setting);
                             }
                             return numbers;
                         }()),
                         [](const ::testing::TestParamInfo<SettingRow>& p) {
                             return std::string(p.param.field);
                         });

struct RangeCase {
    const char* setting;
    std::function<void(CombineSettings&)> set;
    const char* message; // "" when accepted
};

class SettingRange : public ::testing::TestWithParam<RangeCase>
{
};

TEST_P(SettingRange, IsRefusedOutsideItsRangeWithItsNameAndRange)
{
    CombineSettings s;
    GetParam().set(s);
    EXPECT_EQ(ValidateCombineSettings(s), GetParam().message) << GetParam().setting;
}

// Values a person types, in the words of the job's messages.
INSTANTIATE_TEST_SUITE_P(
    Settings,
    SettingRange,
    ::testing::Values(RangeCase{"timecorrection",
                                [](CombineSettings& s) { s.timecorrection = -1; },
                                "timecorrection -1 not in 0..1000000"},
                      RangeCase{"sampling_frequency",
                                [](CombineSettings& s) { s.sampling_frequency = 0.05; },
                                "sampling_frequency 0.05 not in 0.1..20000"},
                      RangeCase{"sampling_frequency",
                                [](CombineSettings& s) { s.sampling_frequency = 20000.5; },
                                "sampling_frequency 20000.5 not in 0.1..20000"},
                      RangeCase{"sampling_frequency",
                                [](CombineSettings& s) {
                                    s.sampling_frequency = std::numeric_limits<double>::quiet_NaN();
                                },
                                "sampling_frequency NaN not in 0.1..20000"},
                      RangeCase{"trace_spacing",
                                [](CombineSettings& s) { s.trace_spacing = 1.99; },
                                "trace_spacing 1.99 not in 2..100"},
                      RangeCase{
                          "demultiplex",
                          [](CombineSettings& s) {
                              s.demultiplex_single_channel = true;
                              s.demultiplex_sidescan = true;
                          },
                          "demultiplex_single_channel and demultiplex_sidescan cannot both be on"}),
    [](const ::testing::TestParamInfo<RangeCase>& p) {
        return std::string(p.param.setting) + std::to_string(p.index);
    });

TEST(CombineSettings, DecimalSettingsKeepTheirPlaces)
{
    const SettingRow& frequency = SettingOf(&CombineSettings::sampling_frequency);
    const SettingRow& spacing = SettingOf(&CombineSettings::trace_spacing);
    EXPECT_EQ(WithSettingDecimals(frequency, 0.04), 0.0);
    EXPECT_EQ(WithSettingDecimals(frequency, 0.06), 0.1);
    EXPECT_EQ(WithSettingDecimals(spacing, 1.994), 1.99);
    EXPECT_EQ(WithSettingDecimals(spacing, 100.006), 100.01);
}

// The interval 1000000 / f, truncated, must fit the 16-bit signed header
// field: 1..32767 us. 30.6 Hz gives 32679 us; 30.5 Hz gives 32786 us.
struct FrequencyCase {
    double hertz;
    const char* message;
};

class AssignedFrequency : public ::testing::TestWithParam<FrequencyCase>
{
};

TEST_P(AssignedFrequency, NeedsAnIntervalThatFitsTheHeaderField)
{
    CombineSettings s;
    s.assign_sampling_frequency = true;
    s.sampling_frequency = GetParam().hertz;
    EXPECT_EQ(ValidateCombineSettings(s), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Settings,
    AssignedFrequency,
    ::testing::Values(
        FrequencyCase{12000, ""},
        FrequencyCase{20000, ""},
        FrequencyCase{30.6, ""},
        FrequencyCase{30.5,
                      "sampling_frequency 30.5 Hz gives a sample interval of 32786 us, not in "
                      "1..32767"},
        FrequencyCase{10,
                      "sampling_frequency 10 Hz gives a sample interval of 100000 us, not in "
                      "1..32767"}));

TEST(CombineSettings, IntervalOfTwelveKilohertzIsEightyThreeMicroseconds)
{
    EXPECT_EQ(SampleIntervalOfFrequency(12000), 83);
    EXPECT_EQ(SampleIntervalOfFrequency(20000), 50);
    EXPECT_EQ(SampleIntervalOfFrequency(30.6), 32679);
}

} // namespace
} // namespace tessara

namespace tessara
{
namespace
{

// Texts that become part of every output name.
INSTANTIATE_TEST_SUITE_P(
    NameTexts,
    SettingRange,
    ::testing::Values(
        RangeCase{"Expedition",
                  [](CombineSettings& s) { s.Expedition = "../elsewhere"; },
                  "Expedition \"../elsewhere\" cannot be part of a file name: it contains \"/\""},
        RangeCase{"data_type",
                  [](CombineSettings& s) { s.data_type = "SBP\\CHIRP"; },
                  "data_type \"SBP\\CHIRP\" cannot be part of a file name: it contains \"\\\""},
        // Control characters are quoted as escapes: the message stays one line.
        RangeCase{"xcdr",
                  [](CombineSettings& s) { s.xcdr = "12\tkHz"; },
                  "xcdr \"12\\tkHz\" cannot be part of a file name: it contains a control "
                  "character"},
        RangeCase{"Expedition",
                  [](CombineSettings& s) { s.Expedition = "A1\r\n\x1b\x7f"; },
                  "Expedition \"A1\\r\\n\\x1b\\x7f\" cannot be part of a file name: it "
                  "contains a control character"},
        // Too short to enter the name, but it would still break the log.
        RangeCase{"data_type",
                  [](CombineSettings& s) { s.data_type = "\n"; },
                  "data_type \"\\n\" cannot be part of a file name: it contains a control "
                  "character"},
        // A one-character text is no part of the name, whatever it holds.
        RangeCase{"instrument_type", [](CombineSettings& s) { s.instrument_type = "/"; }, ""},
        // 255 bytes: 227 + "_" + "DDD_HHMM_to_DDD_HHMM" + "_99" + ".sgy".
        RangeCase{"Expedition",
                  [](CombineSettings& s) { s.Expedition = std::string(228, 'E'); },
                  "output names would be 256 bytes long, more than the 255 a file name may "
                  "have: shorten Expedition, data_type, instrument_type or xcdr"},
        RangeCase{
            "Expedition", [](CombineSettings& s) { s.Expedition = std::string(227, 'E'); }, ""}),
    [](const ::testing::TestParamInfo<RangeCase>& p) {
        return std::string(p.param.setting) + std::to_string(p.index);
    });

} // namespace
} // namespace tessara
