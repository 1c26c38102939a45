// Job profiles on the command line: a profile under the options given with
// it, and a bad one refused before anything is started.
#include "combine/api/settings_profile.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;

TEST(CliProfiles, OptionsGivenOverrideTheProfileAndKeysLeftOutKeepTheirDefaults)
{
    TempDir dir;
    const std::string profile = dir.File("survey.toml");
    const std::string saved = dir.File("saved.toml");
    std::ofstream(profile) << "file_gap = 30\nExpedition = \"P7\"\nspeed_correction = true\n"
                              "demultiplex_sidescan = true\n";
    // --trace-spacing needs the speed correction the profile switches on,
    // and a channel asked for here replaces the profile's sidescan pairs.
    const ChildEnd end = RunProgram(kCli,
                                    {"combine",
                                     "--settings",
                                     profile,
                                     "--file-gap",
                                     "45",
                                     "--trace-spacing",
                                     "3",
                                     "--single-channel",
                                     "2",
                                     "--save-settings",
                                     saved});
    ASSERT_TRUE(end.exited && end.code == 0) << end.err;
    CombineSettings s;
    ASSERT_EQ(LoadSettingsProfile(saved, s), "");
    EXPECT_EQ(s.file_gap, 45);
    EXPECT_EQ(s.Expedition, "P7");
    EXPECT_TRUE(s.speed_correction);
    EXPECT_EQ(s.spacing_mode, SpacingMode::Fixed);
    EXPECT_EQ(s.trace_spacing, 3.0);
    EXPECT_TRUE(s.demultiplex_single_channel && !s.demultiplex_sidescan);
    EXPECT_EQ(s.channel_id, 2);
    EXPECT_EQ(s.max_file_size, CombineSettings{}.max_file_size);
}

TEST(CliProfiles, ABadProfileIsNamedAndNothingIsStarted)
{
    TempDir dir;
    const std::string profile = dir.File("survey.toml");
    std::ofstream(profile) << "# gap\nfile_gap = \"ten\"\n";
    // The option would give a good value, but the file is wrong.
    const ChildEnd end = RunProgram(
        kCli,
        {"combine", "--settings", profile, "--file-gap", "10", "-o", dir.File("out"), "in.sgy"});
    EXPECT_TRUE(end.exited && end.code == 2);
    EXPECT_EQ(end.err,
              "tessara-cli: " + profile + ":2: file_gap: expected a whole number, found string\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
}

} // namespace
} // namespace tessara::test
