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

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SettingsProfile, EverySettingComesBackAsSaved)
{
    test::TempDir dir;
    const std::string path = dir.File("survey.toml");
    CombineSettings saved = test::EverySettingChanged();
    saved.input_files = {"a.sgy"};
    ASSERT_EQ(SaveSettingsProfile(saved, path), "");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    CombineSettings loaded;
    loaded.input_files = {"kept.sgy"};
    ASSERT_EQ(LoadSettingsProfile(path, loaded), "");
    EXPECT_EQ(SettingsProfileText(loaded), SettingsProfileText(saved));
    EXPECT_EQ(loaded.Expedition, saved.Expedition);
    EXPECT_EQ(loaded.input_files, std::vector<std::string>{"kept.sgy"});
    // The profile holds no input and tells the user what a key may hold.
    const std::string text = SettingsProfileText(saved);
    EXPECT_EQ(text.find("a.sgy"), std::string::npos);
    EXPECT_NE(text.find("# Maximum File Gap (min): 1..600 minutes\nfile_gap = 7\n"),
              std::string::npos);
    EXPECT_NE(text.find("# knudsen_name_format: one of YearDay, DayOnly\n"), std::string::npos);
}

TEST(SettingsProfile, KeysLeftOutKeepTheValuesOfTheRecordReadInto)
{
    test::TempDir dir;
    const std::string path = dir.File("short.toml");
    WriteText(path, "# only the gap\nfile_gap = 30\nsampling_frequency = 12000.04\n");
    CombineSettings s;
    s.Expedition = "Survey";
    ASSERT_EQ(LoadSettingsProfile(path, s), "");
    EXPECT_EQ(s.file_gap, 30);
    EXPECT_EQ(s.sampling_frequency, 12000.0); // the one decimal it keeps
    EXPECT_EQ(s.Expedition, "Survey");
    EXPECT_EQ(s.max_file_size, CombineSettings{}.max_file_size);
}

TEST(SettingsProfile, AFailedSaveLeavesTheOldProfileAndNoWorkingFile)
{
    test::TempDir dir;
    const std::string missing = dir.File("no-such-folder/survey.toml");
    EXPECT_EQ(SaveSettingsProfile(CombineSettings{}, missing).rfind("Cannot write " + missing, 0),
              0u);
    // A folder in the way of the rename: the profile under that name stays.
    const std::string blocked = dir.File("blocked");
    std::filesystem::create_directories(blocked + "/inside");
    EXPECT_NE(SaveSettingsProfile(CombineSettings{}, blocked), "");
    EXPECT_TRUE(std::filesystem::is_directory(blocked + "/inside"));
    EXPECT_FALSE(std::filesystem::exists(blocked + ".part"));
}

struct BadProfile {
    const char* name;
    const char* text;
    const char* message; ///< after "PATH:"
};

class BadProfiles : public ::testing::TestWithParam<BadProfile>
{
};

TEST_P(BadProfiles, AreRefusedWithFileLineAndKeyAndLeaveTheRecord)
{
    test::TempDir dir;
    const std::string path = dir.File("survey.toml");
    // A good key before the bad one must not be taken either.
    WriteText(path, std::string("max_file_size = 5\n") + GetParam().text);
    CombineSettings s;
    s.Expedition = "Before";
    const std::string problem = LoadSettingsProfile(path, s);
    EXPECT_EQ(problem.substr(0, path.size() + 1), path + ":");
    EXPECT_EQ(problem.substr(0, path.size() + 1 + std::string(GetParam().message).size()),
              path + ":" + GetParam().message)
        << problem;
    EXPECT_EQ(s.max_file_size, CombineSettings{}.max_file_size);
    EXPECT_EQ(s.Expedition, "Before");
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    BadProfiles,
    ::testing::Values(
        BadProfile{"UnknownKey", "file_gaps = 10\n", "2: file_gaps: unknown key"},
        BadProfile{
            "InputsAreNoSetting", "\n\ninput_files = [\"a.sgy\"]\n", "4: input_files: unknown key"},
        BadProfile{"Section", "[nav]\nfixes = 3\n", "2: nav: unknown key"},
        BadProfile{"BelowRange", "# gap\nfile_gap = 0\n", "3: file_gap: 0 not in 1..600"},
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
        BadProfile{"NumberForText",
                   "Expedition = 7\n",
                   "2: Expedition: expected text in quotes, found integer"},
        BadProfile{"UnknownChoice",
                   "spacing_mode = \"mean\"\n",
                   "2: spacing_mode: \"mean\" not one of median, fixed"},
        BadProfile{"BadSyntax", "file_gap = = 3\n", "2: file_gap: Error while parsing value"},
        BadProfile{"KeyTwice",
                   "file_gap = 3\nfile_gap = 4\n",
                   "3: file_gap: Error while parsing key-value pair: cannot redefine"},
        BadProfile{"BothDemultiplexModes",
                   "demultiplex_sidescan = true\nfile_gap = 3\ndemultiplex_single_channel = true\n",
                   "4: demultiplex_single_channel: demultiplex_single_channel and "
                   "demultiplex_sidescan cannot both be on"},
        BadProfile{"FrequencyTooLowForTheHeader",
                   "sampling_frequency = 10.0\nassign_sampling_frequency = true\n",
                   "3: assign_sampling_frequency: sampling_frequency 10 Hz gives a sample "
                   "interval of 100000 us, not in 1..32767"}),
    [](const ::testing::TestParamInfo<BadProfile>& p) { return std::string(p.param.name); });

TEST(SettingsProfile, AMissingFileIsNamed)
{
    CombineSettings s;
    EXPECT_EQ(LoadSettingsProfile("/nonexistent-tessara/survey.toml", s),
              "Cannot read /nonexistent-tessara/survey.toml: No such file or directory");
}

} // namespace
} // namespace tessara
