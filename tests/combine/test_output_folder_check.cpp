// What a job would meet in its output folder, timed as the job times its
// inputs: the day the file name gives, the time correction and the year.
#include "combine/api/output_folder_check.h"
#include "tests/combine/combine_test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessara::test
{
namespace
{

struct FolderCase {
    const char* name;
    const char* input;    // file name of the one input, in the input folder
    Stamp first;          // its first trace (year 0: 2003)
    const char* existing; // a file in the output folder
    bool knudsen;         // the day from the input's file name
    int correctionS;      // timecorrection
    bool found;
};

class OutputFolderCheck : public CombineJobTest, public ::testing::WithParamInterface<FolderCase>
{
};

TEST_P(OutputFolderCheck, NamesEarlierOutputsOverTheSameTime)
{
    const FolderCase& c = GetParam();
    AddInput(c.input, Input(1, c.first, 3));
    std::ofstream(Out(c.existing)) << "an earlier composite";
    m_settings.fixupknudsen = c.knudsen;
    m_settings.timecorrection = c.correctionS;

    const OutputFolderFindings f = CheckOutputFolder(m_settings, m_out);

    EXPECT_TRUE(f.inputs.empty());
    EXPECT_EQ(f.earlierOutputs, c.found ? Names{c.existing} : Names{});
    const std::string text = DescribeOutputFolder(m_out, f);
    EXPECT_EQ(text.find("\n    " + std::string(c.existing) + "\n") != std::string::npos, c.found)
        << text;
}

INSTANTIATE_TEST_SUITE_P(
    Spans,
    OutputFolderCheck,
    ::testing::Values(FolderCase{"SameMinute",
                                 "a.sgy",
                                 {100, 10, 0, 0},
                                 "Choose Expedition_100_1000_to_100_1000.sgy",
                                 false,
                                 0,
                                 true},
                      FolderCase{"AnotherDay",
                                 "a.sgy",
                                 {100, 10, 0, 0},
                                 "Choose Expedition_101_1000_to_101_1000.sgy",
                                 false,
                                 0,
                                 false},
                      // The recorder's header says day 100; the file name, day 101.
                      FolderCase{"DayFromTheFileName",
                                 "0001_2003_101_1000.sgy",
                                 {100, 10, 0, 0},
                                 "Choose Expedition_101_1000_to_101_1000.sgy",
                                 true,
                                 0,
                                 true},
                      FolderCase{"HeaderDayWhenTheNameGivesAnother",
                                 "0001_2003_101_1000.sgy",
                                 {100, 10, 0, 0},
                                 "Choose Expedition_100_1000_to_100_1000.sgy",
                                 true,
                                 0,
                                 false},
                      FolderCase{"TimeCorrected",
                                 "a.sgy",
                                 {100, 10, 0, 0},
                                 "Choose Expedition_100_1100_to_100_1100.sgy",
                                 false,
                                 3600,
                                 true},
                      // An earlier output across New Year, its end in the next year.
                      FolderCase{"AcrossNewYear",
                                 "a.sgy",
                                 {1, 0, 0, 30, 0, 2004},
                                 "Choose Expedition_365_2359_to_001_0001.sgy",
                                 false,
                                 0,
                                 true},
                      FolderCase{"DayOneOfTheYearBefore",
                                 "a.sgy",
                                 {365, 23, 59, 0},
                                 "Choose Expedition_001_0000_to_001_0010.sgy",
                                 false,
                                 0,
                                 false}),
    [](const ::testing::TestParamInfo<FolderCase>& p) { return std::string(p.param.name); });

TEST_F(CombineJobTest, OutputFolderCheckNamesInputsInTheFolderOnce)
{
    m_in = m_out;
    const std::string a = AddInput("a.sgy", Input(1, {100, 10, 0, 0}, 3));
    m_settings.input_files.push_back(a);

    const OutputFolderFindings f = CheckOutputFolder(m_settings, m_out + "/.");

    EXPECT_EQ(f.inputs, Names{a});
    EXPECT_TRUE(f.earlierOutputs.empty());
}

} // namespace
} // namespace tessara::test
