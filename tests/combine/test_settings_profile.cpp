// Job profiles: every setting kept and read back, and every bad profile
// refused with its file, line and key, the record untouched.
#include "combine/api/settings_profile.h"
#include "tests/support/every_setting.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tessara
{
namespace
{

TEST(SettingsProfile, EverySettingComesBackAsSavedAndTheInputsStay)
{
    test::TempDir dir;
    const std::string path = dir.File("survey.toml");
    CombineSettings saved = test::EverySettingChanged();
    saved.input_files = {"a.sgy"};
    ASSERT_EQ(SaveSettingsProfile(saved, path), "");
    CombineSettings loaded;
    loaded.input_files = {"kept.sgy"};
    ASSERT_EQ(LoadSettingsProfile(path, loaded), "");
    EXPECT_EQ(SettingsProfileText(loaded), SettingsProfileText(saved));
    EXPECT_EQ(loaded.input_files, std::vector<std::string>{"kept.sgy"});
    const std::string text = SettingsProfileText(saved);
    EXPECT_EQ(text.find("a.sgy"), std::string::npos);
    EXPECT_NE(text.find("\n# Maximum File Gap (min): 1..600 minutes\nfile_gap = 7\n"),
              std::string::npos);
}

TEST(SettingsProfile, AFailedSaveLeavesWhatHadTheNameAndNoWorkingFile)
{
    test::TempDir dir;
    const std::string blocked = dir.File("blocked");
    std::filesystem::create_directories(blocked + "/inside");
    EXPECT_EQ(SaveSettingsProfile(CombineSettings{}, blocked).rfind("Cannot write " + blocked, 0),
              0u);
    EXPECT_TRUE(std::filesystem::is_directory(blocked + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(blocked + ".part"));
}

struct BadProfile {
    const char* name;
    const char* text;    ///< after a good first line
    const char* message; ///< after "PATH:"
};

class BadProfiles : public ::testing::TestWithParam<BadProfile>
{
};

TEST_P(BadProfiles, AreRefusedWithFileLineAndKeyAndLeaveTheRecord)
{
    test::TempDir dir;
    const std::string path = dir.File("survey.toml");
    std::ofstream(path) << "max_file_size = 5\n" << GetParam().text;
    CombineSettings s;
    const std::string problem = LoadSettingsProfile(path, s);
    const std::string expected = path + ":" + GetParam().message;
    EXPECT_EQ(problem.substr(0, expected.size()), expected) << problem;
    EXPECT_EQ(s.max_file_size, CombineSettings{}.max_file_size);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    BadProfiles,
    ::testing::Values(
        BadProfile{"UnknownKey", "\nfile_gaps = 10\n", "3: file_gaps: unknown key"},
        BadProfile{"Section", "[nav]\nfixes = 3\n", "2: nav: unknown key"},
        BadProfile{"BelowRange", "file_gap = 0\n", "2: file_gap: 0 not in 1..600"},
        BadProfile{"BeyondAnyInteger",
                   "channel_id = 99999999999\n",
                   "2: channel_id: 99999999999 not in -1000..1000"},
        BadProfile{"DecimalRoundedOutOfRange",
                   "sampling_frequency = 0.04\n",
                   "2: sampling_frequency: 0.04 not in 0.1..20000"},
        BadProfile{"StringForNumber",
                   "file_gap = \"60\"\n",
                   "2: file_gap: expected a whole number, found string"},
        BadProfile{"FractionForWholeNumber",
                   "file_gap = 60.5\n",
                   "2: file_gap: expected a whole number, found floating-point"},
        BadProfile{"NumberForFlag",
                   "delayscan = 1\n",
                   "2: delayscan: expected true or false, found integer"},
        BadProfile{"UnknownChoice",
                   "spacing_mode = \"mean\"\n",
                   "2: spacing_mode: \"mean\" not one of median, fixed"},
        BadProfile{"BadSyntax", "file_gap = = 3\n", "2: file_gap: Error while parsing value"},
        // Named at the key that completed the combination refused.
        BadProfile{"BothDemultiplexModes",
                   "demultiplex_sidescan = true\nfile_gap = 3\ndemultiplex_single_channel = true\n",
                   "4: demultiplex_single_channel: demultiplex_single_channel and "
                   "demultiplex_sidescan cannot both be on"}),
    [](const ::testing::TestParamInfo<BadProfile>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara
