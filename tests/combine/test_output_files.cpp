// Output names and the writability probe.
#include "combine/api/combine_settings.h"
#include "combine/api/output_directory.h"
#include "combine/job_state.h"
#include "combine/output_directory.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace tessara
{
namespace
{

namespace fs = std::filesystem;

double At(int day, int hour, int minute, double second)
{
    return ((day * 24.0 + hour) * 60 + minute) * 60 + second;
}

struct NameCase {
    const char* expedition;
    const char* dataType;
    const char* instrument;
    const char* xcdr;
    double start;
    double last;
    std::optional<double> spacing;
    const char* name;
};

class OutputName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(OutputName, IsBuiltFromTheTextsAndTheTimeSpan)
{
    const NameCase& c = GetParam();
    CombineSettings s;
    s.Expedition = c.expedition;
    s.data_type = c.dataType;
    s.instrument_type = c.instrument;
    s.xcdr = c.xcdr;
    EXPECT_EQ(BuildOutputFileName(s, c.start, c.last, c.spacing), c.name);
}

INSTANTIATE_TEST_SUITE_P(Names,
                         OutputName,
                         ::testing::Values(NameCase{"A1",
                                                    "SEISMIC",
                                                    "",
                                                    "",
                                                    At(123, 9, 5, 12),
                                                    At(124, 2, 10, 59.5),
                                                    std::nullopt,
                                                    "A1_SEISMIC_123_0905_to_124_0210.sgy"},
                                           NameCase{"A1",
                                                    "SEISMIC",
                                                    "",
                                                    "",
                                                    At(123, 9, 5, 12),
                                                    At(124, 2, 10, 59.5),
                                                    2.5,
                                                    "A1_SEISMIC_123_0905_to_124_0210_SC2.5m.sgy"},
                                           NameCase{"A1",
                                                    "",
                                                    "",
                                                    "",
                                                    At(1, 0, 0, 0),
                                                    At(1, 0, 0, 0),
                                                    5.0,
                                                    "A1_001_0000_to_001_0000_SC5.0m.sgy"},
                                           // Halves away from zero, on the value: printf
                                           // would give 2.2.
                                           NameCase{"A1",
                                                    "",
                                                    "",
                                                    "",
                                                    At(1, 0, 0, 0),
                                                    At(1, 0, 0, 0),
                                                    2.25,
                                                    "A1_001_0000_to_001_0000_SC2.3m.sgy"},
                                           NameCase{"Choose Expedition",
                                                    "",
                                                    "",
                                                    "",
                                                    At(5, 0, 0, 0),
                                                    At(5, 23, 59, 59),
                                                    std::nullopt,
                                                    "Choose Expedition_005_0000_to_005_2359.sgy"},
                                           NameCase{"E",
                                                    "X",
                                                    "Y",
                                                    "Z",
                                                    At(5, 0, 0, 0),
                                                    At(5, 0, 0, 0),
                                                    std::nullopt,
                                                    "E_005_0000_to_005_0000.sgy"},
                                           NameCase{
                                               "E",
                                               "XY",
                                               "Knudsen 320",
                                               "3.5kHz",
                                               At(5, 0, 0, 0),
                                               At(5, 0, 0, 0),
                                               std::nullopt,
                                               "E_XY_Knudsen 320_3.5kHz_005_0000_to_005_0000.sgy"},
                                           NameCase{"E",
                                                    "",
                                                    "",
                                                    "",
                                                    At(0, 23, 59, 59.999),
                                                    At(365, 23, 59, 59.999),
                                                    std::nullopt,
                                                    "E_000_2359_to_365_2359.sgy"}));

class Probe : public ::testing::Test
{
protected:
    bool ProbeOutputDirectory(const std::string& directory)
    {
        return tessara::ProbeOutputDirectory(directory, m_removedLeftover);
    }

    test::TempDir m_tmp;
    bool m_removedLeftover = false;
};

TEST_F(Probe, WriteableDirectoryPassesAndKeepsNoProbeFile)
{
    EXPECT_TRUE(ProbeOutputDirectory(m_tmp.Path().string()));
    EXPECT_FALSE(fs::exists(m_tmp.File("SegyOut.sgy")));
}

TEST_F(Probe, LeftoverWorkingFileIsReplacedAndRemoved)
{
    EXPECT_TRUE(ProbeOutputDirectory(m_tmp.Path().string()));
    EXPECT_FALSE(m_removedLeftover);
    std::ofstream(m_tmp.File("SegyOut.sgy")) << "left over";
    EXPECT_TRUE(ProbeOutputDirectory(m_tmp.Path().string()));
    EXPECT_TRUE(m_removedLeftover) << "the front end tells the user";
    EXPECT_FALSE(fs::exists(m_tmp.File("SegyOut.sgy")));
}

TEST_F(Probe, MissingDirectoryIsNotWriteable)
{
    EXPECT_FALSE(ProbeOutputDirectory(m_tmp.File("missing")));
}

TEST_F(Probe, PathThatIsAFileIsNotWriteable)
{
    std::ofstream(m_tmp.File("plain")) << "x";
    EXPECT_FALSE(ProbeOutputDirectory(m_tmp.File("plain")));
}

TEST_F(Probe, DirectoryNamedLikeTheProbeFileMakesItNotWriteable)
{
    fs::create_directories(m_tmp.Path() / "SegyOut.sgy" / "inside");
    EXPECT_FALSE(ProbeOutputDirectory(m_tmp.Path().string()));
    EXPECT_TRUE(fs::exists(m_tmp.Path() / "SegyOut.sgy" / "inside"));
}

TEST(ProbeMessage, NamesTheDirectory)
{
    EXPECT_EQ(NotWriteableMessage("/data/out"),
              "Selected output directory, /data/out, is not writeable");
}

TEST(Paths, JoinAddsOneSeparator)
{
    EXPECT_EQ(JoinPath("/data/out", "SegyOut.sgy"), "/data/out/SegyOut.sgy");
    EXPECT_EQ(JoinPath("/data/out/", "SegyOut.sgy"), "/data/out/SegyOut.sgy");
    EXPECT_EQ(FileNameOf("/data/in/0001_2003_255_1735.sgy"), "0001_2003_255_1735.sgy");
}

} // namespace
} // namespace tessara
