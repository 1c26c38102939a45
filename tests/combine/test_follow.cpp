// Following a folder, on a clock the test drives: files arrive, grow and
// change at set times, and the outputs must be those of a job on the
// finished files that were taken. Nothing sleeps: waiting moves the clock.
#include "combine/follow_loop.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

class CScriptedClock : public IFollowClock
{
public:
    struct Event {
        double at;
        std::function<void()> act;
    };
    double Now() override { return now; }
    void Wait(double seconds) override
    {
        now += seconds;
        while (!events.empty() && events.front().at <= now) {
            events.front().act();
            events.pop_front();
        }
    }
    double now = 0;
    std::deque<Event> events; ///< in time order
};

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

/// What happens to the folder at a time: staged input `file` (0..3) is
/// copied in, changed, or put back as it was staged, or a file that is no
/// SEG-Y, or one that grows until the end, appears.
struct Arrival {
    double at;
    int file;
    enum What { Copy, Change, Restore, NotSegy, Growing } what = Copy;
};

struct FollowCase {
    const char* name;
    std::vector<Arrival> arrivals;
    double stopAt;                    ///< s on the clock
    int outputsAtStop;                ///< outputs written before the stop was asked
    std::vector<int> taken;           ///< staged inputs a finished job gets for the same outputs
    std::vector<std::string> leftOut; ///< reasons, in order
};

void PrintTo(const FollowCase& c, std::ostream* os)
{
    *os << c.name;
}

// Inputs 0 and 1 are 6 s apart, 1 and 2 twenty minutes; 2 and 3 are 6 s
// apart: with a file gap of one minute, the outputs are {0, 1} and {2, 3}.
const std::vector<FollowCase> kCases = {
    {"StopWritesTheOpenOutputWhole", {{0, 0}, {0, 1}, {0, 2}, {0, 3}}, 2, 1, {0, 1, 2, 3}, {}},
    {"OutputClosesWhenTheNextFileShowsTheGap",
     {{0, 0}, {0, 1}, {5, 2}, {10, 3}},
     20,
     1,
     {0, 1, 2, 3},
     {}},
    {"ClockClosesTheOutputAfterTheFileGap", {{0, 0}, {0, 1}}, 62, 1, {0, 1}, {}},
    {"ClockLeavesTheOutputOpenWithinTheFileGap", {{0, 0}, {0, 1}}, 59, 0, {0, 1}, {}},
    {"FileBeforeOneTakenIsLeftOut",
     {{0, 0}, {0, 2}, {5, 1}, {10, 3}},
     20,
     1,
     {0, 2, 3},
     {"starts before a file already taken"}},
    {"FileBeforeOneNotDecidedGoesInOrder", {{0, 2}, {5, 1}, {10, 3}}, 20, 1, {1, 2, 3}, {}},
    {"FileChangedAfterItsOutputIsLeftOutAndNothingStops",
     {{0, 0}, {0, 1}, {0, 2}, {5, 0, Arrival::Change}, {6, 3}},
     20,
     1,
     {0, 1, 2, 3},
     {"changed after it was taken"}},
    {"FileChangedBeforeItIsDecidedIsTakenAgain",
     {{0, 0}, {0, 1}, {0, 2}, {5, 2, Arrival::Change}, {5.5, 2, Arrival::Restore}, {10, 3}},
     20,
     1,
     {0, 1, 2, 3},
     {}},
    {"GrowingFileNeverCompletes",
     {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0, Arrival::Growing}},
     10,
     1,
     {0, 1, 2, 3},
     {"never completed"}},
    {"NotSegyIsSkippedAsUnreadable",
     {{0, 0}, {0, 1}, {0, 0, Arrival::NotSegy}, {5, 2}, {5, 3}},
     10,
     1,
     {0, 1, 2, 3},
     {}},
};

class FollowTest : public ::testing::TestWithParam<FollowCase>
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_dir.Path() / "staged");
        fs::create_directories(m_dir.Path() / "live");
        fs::create_directories(m_dir.Path() / "out");
        fs::create_directories(m_dir.Path() / "ref");
        const Stamp starts[] = {
            {100, 10, 0, 0}, {100, 10, 0, 15}, {100, 10, 20, 0}, {100, 10, 20, 15}};
        for (int k = 0; k < 4; ++k)
            m_staged.push_back(WriteInput(Staged(k), Input(k + 1, starts[k], 10)));
        m_settings.file_gap = 1;
        m_settings.Expedition = "F";
    }
    [[nodiscard]] std::string Staged(int k) const
    {
        return m_dir.File("staged/" + std::to_string(k + 1) + ".sgy");
    }
    [[nodiscard]] std::string Live(int k) const
    {
        return m_dir.File("live/" + std::to_string(k + 1) + ".sgy");
    }
    void Schedule(const Arrival& a)
    {
        const std::string live = Live(a.file);
        switch (a.what) {
        case Arrival::Copy:
            m_clock.events.push_back(
                {a.at, [this, a, live] { fs::copy_file(Staged(a.file), live); }});
            break;
        case Arrival::Change:
            m_clock.events.push_back({a.at, [live] { Append(live, "later"); }});
            break;
        case Arrival::Restore:
            m_clock.events.push_back(
                {a.at, [this, a, live] {
                     fs::copy_file(Staged(a.file), live, fs::copy_options::overwrite_existing);
                 }});
            break;
        case Arrival::NotSegy:
            m_clock.events.push_back({a.at, [this] { Append(m_dir.File("live/x.sgy"), "text"); }});
            break;
        case Arrival::Growing:
            for (double t = a.at; t < GetParam().stopAt + 1; t += 0.25)
                m_clock.events.push_back({t, [this] { Append(m_dir.File("live/z.sgy"), "..."); }});
            break;
        }
    }
    [[nodiscard]] int Outputs() const
    {
        int n = 0;
        for (const std::string& name : FilesIn(m_dir.File("out")))
            n += name != kOpenOutputFileName && name.ends_with(".sgy");
        return n;
    }

    TempDir m_dir;
    std::vector<std::string> m_staged;
    CombineSettings m_settings;
    CScriptedClock m_clock;
};

TEST_P(FollowTest, OutputsAreThoseOfTheFinishedFiles)
{
    const FollowCase& c = GetParam();
    // Events at time 0 are there before the first look.
    for (const Arrival& a : c.arrivals)
        Schedule(a);
    std::stable_sort(m_clock.events.begin(),
                     m_clock.events.end(),
                     [](const auto& a, const auto& b) { return a.at < b.at; });
    m_clock.Wait(0);

    CRecordingHost host;
    int outputsAtStop = -1;
    host.onPump = [&] {
        if (!host.stop && m_clock.now >= c.stopAt) {
            outputsAtStop = Outputs();
            host.stop = true;
        }
    };
    FollowOptions options;
    options.folders = {m_dir.File("live")};
    options.settleSeconds = 1;
    options.clock = &m_clock;
    CCombineJob job(m_settings, host);
    ASSERT_EQ(job.Follow(m_dir.File("out"), options), CombineOutcome::Done) << host.log;
    EXPECT_EQ(outputsAtStop, c.outputsAtStop) << host.log;
    std::vector<std::string> reasons;
    for (const UnreadableInput& left : job.Result().inputs_left_out)
        reasons.push_back(left.reason);
    EXPECT_EQ(reasons, c.leftOut) << host.log;

    // The finished files, with what was changed undone: the outputs were
    // written from them as they were taken.
    CombineSettings finished = m_settings;
    for (int k : c.taken)
        finished.input_files.push_back(m_staged[static_cast<std::size_t>(k)]);
    CRecordingHost refHost;
    CCombineJob ref(finished, refHost);
    ASSERT_EQ(ref.Run(m_dir.File("ref")), CombineOutcome::Done);
    EXPECT_EQ(FilesIn(m_dir.File("out")), FilesIn(m_dir.File("ref"))) << host.log;
    for (const std::string& name : FilesIn(m_dir.File("ref")))
        EXPECT_EQ(ReadFileBytes(m_dir.File("out/" + name)),
                  ReadFileBytes(m_dir.File("ref/" + name)))
            << name;
    EXPECT_EQ(job.Result().summary.inputs_unreadable,
              c.name == std::string("NotSegyIsSkippedAsUnreadable"));
}

INSTANTIATE_TEST_SUITE_P(Follow, FollowTest, ::testing::ValuesIn(kCases), [](const auto& row) {
    return std::string(row.param.name);
});

// Refused before anything is looked at or written.
TEST(FollowRefusalTest, OutputDirectoryThatIsFollowedIsRefused)
{
    TempDir dir;
    FollowOptions options;
    options.folders = {dir.Path().string()};
    EXPECT_EQ(FollowProblem(options, dir.Path().string()),
              "Output directory " + dir.Path().string() +
                  " is a followed folder: choose another for the outputs");
    options.settleSeconds = 0.05;
    EXPECT_EQ(FollowProblem(options, dir.File("out")), "Settle time 0.05 s not in 0.1..3600");
}

} // namespace
} // namespace tessara::test
