// A survey whose recorder wrote no position, positioned from the ship's GPS
// log, against the same survey with its positions in the trace headers.
#include "combine/api/combine_job.h"
#include "segy/io/segy_file_in.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_dir.h"
#include "tools/synth/synth_survey.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

struct Placed {
    std::int32_t line = 0; // traceSequenceLine: the recorded trace
    double lat = 0;        // degrees
    double lon = 0;
};

std::vector<Placed> ReadPlaced(const std::string& path)
{
    std::vector<Placed> traces;
    CSegyFileIn in;
    if (!in.Open(path))
        return traces;
    SegyHeaderType h{};
    for (in.ReadHeader(h); !in.atEnd; in.ReadHeader(h)) {
        EXPECT_EQ(h.coordinateUnits, 2);
        const double perDegree = 3600.0 * (h.coordinateScalar == -1000 ? 1000.0 : 100.0);
        traces.push_back({h.traceSequenceLine, h.sourceY / perDegree, h.sourceX / perDegree});
    }
    return traces;
}

class NavigationFileJob : public ::testing::Test
{
protected:
    // Two files of 0.5 s pings at 2.5 m/s, one after the other; positions in
    // the headers at the precision the job writes them (thousandths of
    // arc-seconds).
    std::vector<std::string> Survey(const std::string& name, bool headerPositions)
    {
        synth::SurveyOptions o;
        o.outDir = m_dir.File(name);
        o.fileCount = 2;
        o.tracesPerFile = 240;
        o.samplesPerTrace = 8;
        o.formatCode = 5;
        o.pingIntervalS = 0.5;
        o.coordinateScalar = -1000;
        o.headerPositions = headerPositions;
        const synth::SurveyResult r = synth::WriteSurvey(o);
        EXPECT_TRUE(r.ok) << r.error;
        if (!headerPositions) {
            EXPECT_EQ(synth::WriteNmeaLog(o, m_dir.File("gps.nmea")), "");
        }
        std::vector<std::string> paths;
        for (const synth::SynthFile& f : r.files)
            paths.push_back(f.path.string());
        return paths;
    }

    std::vector<Placed> Run(const std::string& out, bool corrected = true)
    {
        m_settings.speed_correction = corrected;
        m_settings.delayscan = false;
        std::filesystem::create_directories(m_dir.File(out));
        CCombineJob job(m_settings, m_host);
        EXPECT_EQ(job.Run(m_dir.File(out)), CombineOutcome::Done);
        EXPECT_EQ(job.Result().outputs.size(), 1u);
        return job.Result().outputs.empty() ? std::vector<Placed>()
                                            : ReadPlaced(job.Result().outputs[0].path);
    }

    TempDir m_dir;
    CombineSettings m_settings;
    CRecordingHost m_host;
};

TEST_F(NavigationFileJob, GivesTheSpeedCorrectedSurveyOfTheHeaderPositions)
{
    m_settings.input_files = Survey("headers", true);
    const std::vector<Placed> fromHeaders = Run("a");
    m_settings.input_files = Survey("bare", false);
    m_settings.navigation_files = {m_dir.File("gps.nmea")};
    const std::vector<Placed> fromLog = Run("b");

    ASSERT_EQ(fromLog.size(), fromHeaders.size());
    ASSERT_GT(fromLog.size(), 300u);
    double worst = 0;
    for (std::size_t k = 0; k < fromLog.size(); ++k) {
        ASSERT_EQ(fromLog[k].line, fromHeaders[k].line) << k;
        double s12 = 0;
        GeographicLib::Geodesic::WGS84().Inverse(
            fromLog[k].lat, fromLog[k].lon, fromHeaders[k].lat, fromHeaders[k].lon, s12);
        worst = std::max(worst, s12);
    }
    EXPECT_LT(worst, 0.05);
    // 478 traces after the two references, every one of them placed.
    EXPECT_NE(m_host.log.find("\tNavigation file " + m_dir.File("gps.nmea") + ": "),
              std::string::npos);
    EXPECT_NE(m_host.log.find("\tPositions from navigation files: 478 traces, 0 without\r\n"),
              std::string::npos)
        << m_host.log;
}

TEST_F(NavigationFileJob, ALaybackOnHeaderPositionsTakesThePositionTenSecondsBack)
{
    m_settings.input_files = Survey("headers", true);
    const std::vector<Placed> antenna = Run("a", false);
    m_settings.layback = 25.0; // 10 s at 2.5 m/s: 20 pings
    const std::vector<Placed> towed = Run("b", false);
    ASSERT_EQ(towed.size(), antenna.size());
    // Lines count the pings, 0.5 s apart, across the files.
    std::map<std::int32_t, const Placed*> byLine;
    for (const Placed& p : antenna)
        byLine[p.line] = &p;
    for (const Placed& p : towed) {
        const auto back = byLine.find(p.line - 20);
        if (p.line - 20 < antenna.front().line) {
            // Behind the first trace the track does not reach.
            EXPECT_EQ(p.lat, 0.0) << p.line;
        } else if (back != byLine.end()) {
            double s12 = 0;
            GeographicLib::Geodesic::WGS84().Inverse(
                p.lat, p.lon, back->second->lat, back->second->lon, s12);
            // The synthesiser's metres are a sphere's (111,320 m a degree),
            // some 0.2 % off the ellipsoid's near 54 N, and its line wobbles:
            // 10 s of it are not quite 25 m of the track.
            EXPECT_LT(s12, 0.25) << p.line;
        }
    }
    EXPECT_NE(m_host.log.find("\tOffsets applied: forward 0 m, starboard 0 m, layback 25 m\r\n"),
              std::string::npos);
}

// What the job cannot use stops it before anything is written.
class NavigationRefused : public NavigationFileJob, public ::testing::WithParamInterface<int>
{
};

TEST_P(NavigationRefused, StartsNothing)
{
    m_settings.input_files = Survey("bare", false);
    const std::string csv = m_dir.File("track.csv");
    std::string message;
    if (GetParam() == 0) {
        std::ofstream(csv) << "time,latitude\n2003-09-12T17:35:00,54.5\n";
        m_settings.navigation_files = {csv};
        message = "Navigation file " + csv + ": no longitude column (lon, long or longitude)";
    } else {
        m_settings.layback = 30;
        message = "The antenna offset and layback need a navigation file or positions in degrees "
                  "or arc-seconds in the inputs' trace headers";
    }
    m_host.expectedMessages = {message};
    std::filesystem::create_directories(m_dir.File("out"));
    CCombineJob job(m_settings, m_host);
    EXPECT_EQ(job.Run(m_dir.File("out")), CombineOutcome::InvalidSettings);
    EXPECT_EQ(m_host.messages, std::vector<std::string>{message});
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, NavigationRefused, ::testing::Values(0, 1), [](const ::testing::TestParamInfo<int>& p) {
        return p.param == 0 ? "csv_without_longitude" : "layback_on_headers_without_positions";
    });

} // namespace
} // namespace tessara::test
