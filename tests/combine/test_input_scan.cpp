// The start-time scan and the time order of the inputs. Seconds of year by
// hand: day 100 09:00:00 is (100 * 24 + 9) * 3600 = 8672400 s.
#include "combine/input_scan.h"
#include "combine/job_state.h"
#include "combine/time_correction.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"
#include "trace/segy_trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

namespace tessara::test
{
namespace
{

class InputScanTest : public ::testing::Test
{
protected:
    JobContext Ctx() { return {m_settings, m_host}; }

    /// Writes a two-trace input named `name` whose first trace is at
    /// `first` in year `year`, and appends it to the job's list.
    std::string Add(const std::string& name, const Stamp& first, int year = 2003)
    {
        InputSpec spec = Input(static_cast<int>(m_inputs.size()) + 1, first, 2);
        spec.year = year;
        const std::string path = WriteInput(m_tmp.File(name), spec);
        m_inputs.push_back({path});
        return path;
    }

    /// Scans as the job does, and lists the entries' fields in their new order.
    void Scan()
    {
        const JobContext ctx = Ctx();
        m_scale = Scan_and_Sort_Input_files(
            ctx,
            m_inputs,
            [&ctx](const std::string& path, CSegyTrace& t) {
                Apply_Start_Time_Repairs(ctx, path, t);
            },
            m_yearsUncertain);
        for (const InputEntry& e : m_inputs) {
            m_paths.push_back(e.path);
            m_startTimes.push_back(e.start_time);
            m_fileTimes.push_back(e.file_time);
            m_known.push_back(e.start_known);
        }
    }

    TempDir m_tmp;
    CombineSettings m_settings;
    CRecordingHost m_host;
    std::vector<InputEntry> m_inputs;
    Names m_paths;
    std::vector<double> m_startTimes;
    std::vector<std::int32_t> m_fileTimes;
    std::vector<bool> m_known;
    CJobTimeScale m_scale;
    bool m_yearsUncertain = false;
};

TEST_F(InputScanTest, InputsComeOutInTimeOrderWithTheirTimesPermutedAlike)
{
    const std::string c = Add("c.sgy", {100, 10, 0, 5, 250});
    const std::string a = Add("a.sgy", {100, 9, 0, 0});
    const std::string b = Add("b.sgy", {100, 9, 30, 0, 999});

    Scan();

    EXPECT_EQ(m_paths, (Names{a, b, c}));
    EXPECT_EQ(m_startTimes, (std::vector<double>{8672400, 8674200.999, 8676005.25}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{8672400, 8674200, 8676005}));
    EXPECT_EQ(m_known, (std::vector<bool>{true, true, true}));
    // The front end gets the new order; the status names each input as scanned.
    ASSERT_EQ(m_host.orders.size(), 1u);
    EXPECT_EQ(m_host.orders[0], (Names{a, b, c}));
    EXPECT_EQ(m_host.statuses,
              (Names{"Scanning input file = c.sgy : start times = 8676005",
                     "Scanning input file = a.sgy : start times = 8672400",
                     "Scanning input file = b.sgy : start times = 8674200"}));
    EXPECT_EQ(m_host.pumps, 3);
}

TEST_F(InputScanTest, InputsStartingInTheSameSecondKeepTheirListOrderWhateverTheirMilliseconds)
{
    const std::string late = Add("late.sgy", {100, 10, 0, 0, 900});
    const std::string early = Add("early.sgy", {100, 10, 0, 0, 100});
    const std::string first = Add("first.sgy", {100, 9, 0, 0});
    const std::string same = Add("same.sgy", {100, 10, 0, 0, 0});

    Scan();

    EXPECT_EQ(m_paths, (Names{first, late, early, same}));
    EXPECT_EQ(m_startTimes, (std::vector<double>{8672400, 8676000.9, 8676000.1, 8676000}));
}

TEST_F(InputScanTest, AcrossNewYearTimesCountFromTheEarliestYear)
{
    // 23:00 on 31 December 2003 is (365 * 24 + 23) * 3600 = 31618800 s of
    // 2003; 00:00:10 on 1 January 2004 is 3610 s after it. The leap year 2004
    // makes 2004 -> 2005 one day longer.
    const std::string december = Add("dec.sgy", {365, 23, 0, 0}, 2003);
    const std::string january = Add("jan.sgy", {1, 0, 0, 10}, 2004);
    const std::string later = Add("later.sgy", {1, 0, 0, 0}, 2005);

    Scan();

    EXPECT_EQ(m_paths, (Names{december, january, later}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{31618800, 31622410, 31622400 + 366 * 86400}));
    EXPECT_EQ(m_scale.BaseYear(), 2003);
    EXPECT_FALSE(m_yearsUncertain);
}

TEST_F(InputScanTest, AFirstTraceWithoutAPlausibleYearKeepsSecondsOfYear)
{
    // Year 95 is no recorder's: every time is then seconds of its own year,
    // and the two plausible years that differ are worth a warning.
    const std::string december = Add("dec.sgy", {365, 23, 0, 0}, 2003);
    const std::string january = Add("jan.sgy", {1, 0, 0, 10}, 2004);
    const std::string old = Add("old.sgy", {2, 0, 0, 0}, 95);

    Scan();

    EXPECT_EQ(m_paths, (Names{january, old, december}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{86410, 172800, 31618800}));
    EXPECT_EQ(m_scale.BaseYear(), 0);
    EXPECT_TRUE(m_yearsUncertain);
}

TEST_F(InputScanTest, AnImplausibleYearBesideOneYearGivesNoWarning)
{
    Add("a.sgy", {10, 0, 0, 0}, 2003);
    Add("b.sgy", {11, 0, 0, 0}, 2003);
    Add("c.sgy", {12, 0, 0, 0}, 1989);

    Scan();

    EXPECT_EQ(m_scale.BaseYear(), 0);
    EXPECT_FALSE(m_yearsUncertain);
}

TEST_F(InputScanTest, TimeCorrectionMovesEveryStartTimeAndKeepsTheOrder)
{
    m_settings.timecorrection = 3600;
    const std::string b = Add("b.sgy", {100, 9, 30, 0});
    const std::string a = Add("a.sgy", {100, 9, 0, 0});

    Scan();

    EXPECT_EQ(m_paths, (Names{a, b}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{8676000, 8677800}));
}

TEST_F(InputScanTest, TimeCorrectionOverNewYearSortsByTheCorrectedSecondOfYear)
{
    // 23:30 on day 365 of 2003 plus 2 h is 01:30 on day 1 of 2004:
    // (24 + 1) * 3600 + 1800 = 91800 s, before 08:00 + 2 h on day 1 of 2004,
    // (24 + 10) * 3600 = 122400 s.
    m_settings.timecorrection = 7200;
    const std::string late = Add("late.sgy", {365, 23, 30, 0}, 2003);
    const std::string morning = Add("morning.sgy", {1, 8, 0, 0}, 2004);

    Scan();

    EXPECT_EQ(m_paths, (Names{late, morning}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{91800, 122400}));
}

TEST_F(InputScanTest, DayRepairGivesTheFirstTraceTheDayOfTheFileName)
{
    // The headers say day 254; the names say 255 and 250.
    m_settings.fixupknudsen = true;
    m_settings.knudsen_name_format = KnudsenNameFormat::YearDay;
    const std::string late = Add("0001_2003_255_1735.sgy", {254, 17, 35, 0});
    const std::string early = Add("0002_2003_250_1735.sgy", {254, 17, 35, 0});

    Scan();

    // (255 * 24 + 17) * 3600 + 35 * 60 = 22095300; (250 * 24 + 17) * 3600 +
    // 2100 = 21663300.
    EXPECT_EQ(m_paths, (Names{early, late}));
    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{21663300, 22095300}));
}

TEST_F(InputScanTest, DayOnlyRepairGivesTheFirstTraceTheDayOfTheFileName)
{
    m_settings.fixupknudsen = true;
    m_settings.knudsen_name_format = KnudsenNameFormat::DayOnly;
    Add("0001_255_1735.sgy", {0, 17, 35, 0});

    Scan();

    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{22095300}));
}

TEST_F(InputScanTest, NameWithoutTheDayKeepsTheHeaderDay)
{
    m_settings.fixupknudsen = true;
    Add("line_7.sgy", {254, 17, 35, 0});

    Scan();

    EXPECT_EQ(m_fileTimes, (std::vector<std::int32_t>{(254 * 24 + 17) * 3600 + 2100}));
}

TEST_F(InputScanTest, UnreadableInputHasNoKnownStartAndStaysInTheList)
{
    const std::string b = Add("b.sgy", {100, 9, 0, 0});
    const std::string missing = m_tmp.File("missing.sgy");
    m_inputs.push_back({missing});
    const std::string text = m_tmp.File("notes.txt");
    std::ofstream(text) << "not a SEG-Y file";
    m_inputs.push_back({text});

    Scan();

    EXPECT_EQ(m_paths, (Names{missing, text, b}));
    EXPECT_EQ(m_known, (std::vector<bool>{false, false, true}));
    EXPECT_EQ(m_startTimes, (std::vector<double>{0, 0, 8672400}));
}

TEST_F(InputScanTest, StartBeyond32BitsIsClampedNotConverted)
{
    // Day and hour 32767: (32767 * 24 + 32767) * 3600 s is about 2.95e9,
    // beyond the 32-bit sort key.
    SegyBytes bytes(true);
    bytes.FileHeader(5, 4, 1000);
    bytes.TraceHeader(4, 1000).TraceTime(2003, 32767, 32767, 0, 0);
    bytes.Samples(5, {1, 2, 3, 4});
    const std::string absurd = m_tmp.File("absurd.sgy");
    ASSERT_TRUE(bytes.WriteTo(absurd));
    m_inputs.push_back({absurd});
    const std::string normal = Add("normal.sgy", {100, 9, 0, 0});

    Scan();

    EXPECT_EQ(m_paths, (Names{normal, absurd}));
    EXPECT_EQ(m_fileTimes[1], std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(m_startTimes[1], (32767.0 * 24 + 32767) * 3600);
}

TEST_F(InputScanTest, EmptyListStaysEmpty)
{
    Scan();
    EXPECT_TRUE(m_paths.empty());
    EXPECT_TRUE(m_startTimes.empty());
    EXPECT_TRUE(m_fileTimes.empty());
    EXPECT_TRUE(m_host.statuses.empty());
}

} // namespace
} // namespace tessara::test
