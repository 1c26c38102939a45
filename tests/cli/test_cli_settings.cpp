// The settings table against the command line: every setting has its
// option, every number its range in the help, and a value beyond either
// limit is refused in one wording by every command that takes it.
#include "combine/api/combine_settings.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;

TEST(CliSettings, EveryOptionOfTheTableIsInTheHelpWithItsRange)
{
    const ChildEnd end = RunProgram(kCli, {"combine", "--help"});
    ASSERT_TRUE(end.exited && end.code == 0) << end.err;
    for (const SettingRow& setting : kCombineSettings) {
        // The option's entry: from the start of its line to the next option.
        const std::size_t at = end.out.find(std::string("\n  ") + setting.option);
        ASSERT_NE(at, std::string::npos) << setting.field;
        const std::string entry = end.out.substr(at + 3, end.out.find("\n  -", at + 3) - at - 3);
        if (!setting.bIsNumber())
            continue;
        std::string range = "(" + RangeText(setting);
        if (*setting.unit != '\0')
            range += std::string(" ") + setting.unit;
        EXPECT_NE(entry.find(range), std::string::npos) << setting.field << ": " << entry;
    }
}

struct Refusal {
    const char* command;
    SettingRow setting;
};

class OptionBeyondItsRange : public ::testing::TestWithParam<Refusal>
{
protected:
    TempDir m_dir;
};

/// A value one place beyond `limit` in the direction of `sign`, as a user
/// would type it: a decimal setting gets one more place than it keeps, so
/// that the value refused is the rounded one and the message still quotes
/// what was typed.
std::string Beyond(const SettingRow& setting, double limit, int sign)
{
    if (setting.decimals == 0)
        return std::to_string(static_cast<long long>(limit) + sign);
    std::ostringstream text;
    text << std::fixed << std::setprecision(setting.decimals + 1)
         << limit + sign * 0.6 * std::pow(10.0, -setting.decimals);
    return text.str();
}

TEST_P(OptionBeyondItsRange, IsRefusedNamingTheOptionAndTheValueAsTyped)
{
    const SettingRow& setting = GetParam().setting;
    const std::string command = GetParam().command;
    for (const auto& [limit, sign] : {std::pair{setting.minimum, -1}, {setting.maximum, 1}}) {
        const std::string typed = Beyond(setting, limit, sign);
        std::vector<std::string> args = {command};
        if (command == "combine")
            args.insert(args.end(), {"-o", (m_dir.Path() / "out").string()});
        // Options that only shape another need it, and a sidescan channel
        // comes with its partner.
        if (command == "combine" && (std::strcmp(setting.field, "nav_average_fixes") == 0 ||
                                     std::strcmp(setting.field, "trace_spacing") == 0))
            args.emplace_back("--speed-correction");
        if (command == "combine" && (std::strcmp(setting.field, "navigation_max_gap") == 0 ||
                                     std::strcmp(setting.field, "navigation_epsg") == 0))
            args.insert(args.end(), {"--navigation", kCli});
        args.emplace_back(setting.option);
        std::string given = typed;
        if (std::strcmp(setting.field, "port_id") == 0 ||
            std::strcmp(setting.field, "antenna_offset_along") == 0)
            given = typed + ",1";
        else if (std::strcmp(setting.field, "stbd_id") == 0 ||
                 std::strcmp(setting.field, "antenna_offset_across") == 0)
            given = "0," + typed;
        args.push_back(given);
        args.push_back((m_dir.Path() / "in.sgy").string());

        const ChildEnd end = RunProgram(kCli, args);
        EXPECT_TRUE(end.exited && end.code == 2) << typed << ": " << end.code;
        EXPECT_EQ(end.err,
                  "tessara-cli: " + std::string(setting.option) + " " + given + " not in " +
                      RangeText(setting) + "\n");
    }
}

std::vector<Refusal> Refusals()
{
    std::vector<Refusal> refusals;
    for (const SettingRow& setting : kCombineSettings) {
        if (setting.bIsNumber())
            refusals.push_back({"combine", setting});
    }
    refusals.push_back({"scan", SettingOf(&CombineSettings::channel_start)});
    refusals.push_back({"scan", SettingOf(&CombineSettings::channel_length)});
    refusals.push_back({"nav", SettingOf(&CombineSettings::nav_average_fixes)});
    return refusals;
}

INSTANTIATE_TEST_SUITE_P(Table,
                         OptionBeyondItsRange,
                         ::testing::ValuesIn(Refusals()),
                         [](const ::testing::TestParamInfo<Refusal>& p) {
                             return std::string(p.param.command) + "_" + p.param.setting.field;
                         });

// Options that are no setting of the job are refused in the same words.
TEST(CliRanges, OptionsOfOtherCommandsAreRefusedInTheSameWords)
{
    TempDir dir;
    const std::string in = (dir.Path() / "in.sgy").string();
    const std::string out = (dir.Path() / "out").string();
    for (const auto& [args, message] :
         {std::pair{std::vector<std::string>{"section", in, "-o", out, "--width", "15"},
                    "--width 15 not in 16..32768"},
          std::pair{std::vector<std::string>{"section", in, "-o", out, "--height", "32769"},
                    "--height 32769 not in 16..32768"},
          std::pair{std::vector<std::string>{"copy", "--sample-interval", "0", in, out},
                    "--sample-interval 0 not in 1..32767"}}) {
        const ChildEnd end = RunProgram(kCli, args);
        EXPECT_TRUE(end.exited && end.code == 2) << message;
        EXPECT_EQ(end.err, "tessara-cli: " + std::string(message) + "\n");
    }
}

} // namespace
} // namespace tessara::test
