// Job profiles on the command line: a profile under the options given with
// it, saving without running, and refusals before anything is started.
#include "combine/api/settings_profile.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;

class CliProfiles : public ::testing::Test
{
protected:
    /// A profile of `text` in the test's folder; its path.
    std::string Profile(const std::string& text)
    {
        const std::string path = m_dir.File("survey.toml");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    /// The settings `path` holds over the table's defaults.
    static CombineSettings Saved(const std::string& path)
    {
        CombineSettings s;
        EXPECT_EQ(LoadSettingsProfile(path, s), "");
        return s;
    }

    TempDir m_dir;
};

TEST_F(CliProfiles, OptionsGivenOverrideTheProfileAndTheRestIsKept)
{
    const std::string profile = Profile("file_gap = 30\nExpedition = \"P7\"\n"
                                        "speed_correction = true\ndemultiplex_sidescan = true\n");
    const std::string saved = m_dir.File("saved.toml");
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
    EXPECT_EQ(end.out + end.err, "");
    const CombineSettings s = Saved(saved);
    EXPECT_EQ(s.file_gap, 45);
    EXPECT_EQ(s.Expedition, "P7");
    EXPECT_TRUE(s.speed_correction);
    EXPECT_EQ(s.spacing_mode, SpacingMode::Fixed);
    EXPECT_EQ(s.trace_spacing, 3.0);
    EXPECT_TRUE(s.demultiplex_single_channel);
    EXPECT_FALSE(s.demultiplex_sidescan);
    EXPECT_EQ(s.channel_id, 2);
}

TEST_F(CliProfiles, WithoutAnExpeditionTheNamesStartWithOneWord)
{
    const std::string saved = m_dir.File("saved.toml");
    const ChildEnd end = RunProgram(kCli, {"combine", "--save-settings", saved});
    ASSERT_TRUE(end.exited && end.code == 0) << end.err;
    EXPECT_EQ(Saved(saved).Expedition, "Survey");
}

struct Refusal {
    const char* name;
    const char* profile; ///< the text of --settings FILE; null: none given
    std::vector<std::string> args;
    const char* message; ///< after "tessara-cli: ", FILE for the profile's path
};

class CliProfileRefusals : public CliProfiles, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(CliProfileRefusals, StartNothing)
{
    const std::string out = m_dir.File("out");
    std::vector<std::string> args = {"combine"};
    std::string message = std::string("tessara-cli: ") + GetParam().message + "\n";
    if (GetParam().profile != nullptr) {
        const std::string path = Profile(GetParam().profile);
        args.insert(args.end(), {"--settings", path});
        if (const std::size_t at = message.find("FILE"); at != std::string::npos)
            message.replace(at, 4, path);
    }
    for (const std::string& arg : GetParam().args)
        args.push_back(arg == "OUT" ? out : arg == "SAVED" ? m_dir.File("saved.toml") : arg);
    const ChildEnd end = RunProgram(kCli, args);
    EXPECT_TRUE(end.exited && end.code == 2) << end.code;
    EXPECT_EQ(end.err, message);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("saved.toml")));
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    CliProfileRefusals,
    ::testing::Values(
        Refusal{"OutOfRange",
                "# gap\n\nfile_gap = 0\n",
                {"-o", "OUT", "in.sgy"},
                "FILE:3: file_gap: 0 not in 1..600"},
        Refusal{"UnknownKeyEvenWhenSavingOnly",
                "filegap = 10\n",
                {"--save-settings", "SAVED"},
                "FILE:1: filegap: unknown key"},
        // The option would set a good value, but the file is wrong.
        Refusal{"WrongTypeUnderAnOption",
                "file_gap = \"ten\"\n",
                {"--file-gap", "10", "-o", "OUT", "in.sgy"},
                "FILE:1: file_gap: expected a whole number, found string"},
        Refusal{"SpacingWithoutTheProfileSpeedCorrection",
                "file_gap = 30\n",
                {"--trace-spacing", "3", "-o", "OUT", "in.sgy"},
                "--trace-spacing needs --speed-correction"},
        Refusal{"OutputFolderWithoutInputs",
                nullptr,
                {"--save-settings", "SAVED", "-o", "OUT"},
                "--output-dir needs input files: without them the settings are only saved"},
        Refusal{"SaveOnADryRun",
                nullptr,
                {"--save-settings", "SAVED", "--dry-run", "-o", "OUT", "in.sgy"},
                "--save-settings cannot be used with --dry-run, which writes nothing"},
        Refusal{"InputsWithoutOutputFolder",
                nullptr,
                {"--save-settings", "SAVED", "in.sgy"},
                "--output-dir is required"}),
    [](const ::testing::TestParamInfo<Refusal>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
