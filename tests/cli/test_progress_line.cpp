// The progress line of combine on a terminal: the figures from the job's
// progress, worked by hand, and the line cut to the terminal's width.
#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tessara::cli
{
namespace
{

constexpr auto kScan = JobProgress::Phase::Scanning;
constexpr auto kRead = JobProgress::Phase::Reading;
constexpr auto kDelays = JobProgress::Phase::DelayScan;

struct FiguresCase {
    const char* name;
    JobProgress progress;
    int elapsedSeconds;
    const char* expected; // with the status "s" on 80 columns
};
std::ostream& operator<<(std::ostream& os, const FiguresCase& c)
{
    return os << c.name;
}

const FiguresCase kFigures[] = {
    {"NothingReadYet", {kScan, 0, 3, 0, 1000}, 0, "[  0%] 0:00 elapsed | s"},
    // 250 of 1000 bytes in 30 s: 750 more take 90 s.
    {"PartOfAnInput",
     {kRead, 2, 5, 250, 1000},
     30,
     "[ 25%] input 2 of 5, 0:30 elapsed, 1:30 left | s"},
    {"LastByteNotRead",
     {kRead, 5, 5, 999, 1000},
     999,
     "[ 99%] input 5 of 5, 16:39 elapsed, 0:01 left | s"},
    {"EveryByteRead",
     {kDelays, 5, 5, 1000, 1000},
     125,
     "[100%] input 5 of 5, 2:05 elapsed, 0:00 left | s"},
    {"NoInputBytes", {kRead, 1, 1, 0, 0}, 5, "input 1 of 1, 0:05 elapsed | s"},
    // 1:00:20 for a quarter: three times that for the rest.
    {"OverAnHour",
     {kRead, 7, 40, 250, 1000},
     3620,
     "[ 25%] input 7 of 40, 1:00:20 elapsed, 3:01:00 left | s"},
    {"TooFewBytesToTell", {kRead, 1, 9, 29, 1000}, 4, "[  2%] input 1 of 9, 0:04 elapsed | s"},
    // 4 s for 30 bytes: 970 more take 129.3 s.
    {"ThreePercentTell",
     {kRead, 1, 9, 30, 1000},
     4,
     "[  3%] input 1 of 9, 0:04 elapsed, 2:09 left | s"},
    {"ScanningTellsNothing", {kScan, 0, 9, 500, 1000}, 4, "[ 50%] 0:04 elapsed | s"},
};

class ProgressFigures : public ::testing::TestWithParam<FiguresCase>
{
};

TEST_P(ProgressFigures, FromTheBytesReadAndTheTime)
{
    const FiguresCase& c = GetParam();
    EXPECT_EQ(ProgressLine("s", c.progress, std::chrono::seconds(c.elapsedSeconds), 80),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, ProgressFigures, ::testing::ValuesIn(kFigures), [](const auto& p) {
    return std::string(p.param.name);
});

TEST(ProgressLine, CutsTheStatusToTheTerminalNotTheFigures)
{
    const JobProgress quarter{kRead, 2, 5, 250, 1000};
    const std::string figures = "[ 25%] input 2 of 5, 0:30 elapsed, 1:30 left"; // 44 columns
    const auto at = std::chrono::seconds(30);
    // 59 columns usable: 12 left for the status after " | ".
    EXPECT_EQ(ProgressLine("abcdefghijklmnopqrstuvwxyz", quarter, at, 60),
              figures + " | abcdefghijkl");
    // 30 columns usable: the status gets 15, and the 16th, a two-byte ü, goes whole.
    EXPECT_EQ(ProgressLine("Input file = \xC3\xA4\xC3\xB6\xC3\xBC.sgy", {}, {}, 31),
              "0:00 elapsed | Input file = \xC3\xA4\xC3\xB6");
    EXPECT_EQ(ProgressLine("status", quarter, at, 48), figures) << "no room after the separator";
    EXPECT_EQ(ProgressLine("status", quarter, at, 10), "[ 25%] in") << "figures alone too wide";
    EXPECT_EQ(ProgressLine("status", quarter, at, 0), "");
}

} // namespace
} // namespace tessara::cli
