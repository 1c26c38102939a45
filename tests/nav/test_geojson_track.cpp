// nav --geojson seen from outside: the document is read back by Python's json
// and PROJ, and its positions are held against GeographicLib's inverse UTM
// and against the header positions themselves.
#include "tests/nav/nav_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;
const std::string kReadBack = TESSARA_GEOJSON_READ_BACK;
const std::string kPython = "/usr/bin/python3";

struct ReadPosition {
    double lon = 0, lat = 0, easting = 0, northing = 0;
};

struct ReadFeature {
    std::string firstTime, lastTime, geometry;
    int traceCount = 0;
    std::vector<ReadPosition> positions;
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double GroundDistance(double lat1, double lon1, double lat2, double lon2)
{
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, metres);
    return metres;
}

class GeoJsonTrack : public ::testing::Test
{
protected:
    /// Runs the command; its exit code. Standard output and error are kept.
    int RunCli(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"nav", "--geojson"};
        all.insert(all.end(), args.begin(), args.end());
        const ChildEnd end = RunProgram(kCli, all);
        std::ofstream(m_tmp.File("out.json"), std::ios::binary) << end.out;
        m_err = end.err;
        return end.code;
    }

    /// The features as the second reader saw them, keyed by file name;
    /// empty with the test skipped when that reader is not installed.
    std::map<std::string, ReadFeature> ReadBack(const std::string& utmEpsg)
    {
        const ChildEnd end = RunProgram(kPython, {kReadBack, m_tmp.File("out.json"), utmEpsg});
        std::map<std::string, ReadFeature> features;
        if (end.exited && (end.code == 77 || end.code == 127))
            return features;
        EXPECT_TRUE(end.exited && end.code == 0) << ReadText(m_tmp.File("out.json"));
        std::istringstream lines(end.out);
        std::string kind, name;
        while (lines >> kind >> name) {
            ReadFeature& f = features[name];
            if (kind == "feature") {
                lines >> f.firstTime >> f.lastTime >> f.traceCount >> f.geometry;
            } else {
                ReadPosition p;
                lines >> p.lon >> p.lat >> p.easting >> p.northing;
                f.positions.push_back(p);
            }
        }
        return features;
    }

    TempDir m_tmp;
    std::string m_err; ///< standard error of the last command
};

// Projected positions on a straight line in zone 31N (smoothing leaves them
// where they are): GeographicLib's inverse UTM of every header position and
// PROJ's forward UTM of every GeoJSON position must meet within a centimetre.
TEST_F(GeoJsonTrack, ProjectedTrackComesBackThroughItsZone)
{
    std::vector<FixSpec> fixes = LineFixes(6, 7);
    for (std::size_t i = 0; i < fixes.size(); ++i)
        fixes[i].y = 5'987'654 + static_cast<std::int64_t>(i) * 3;
    ASSERT_TRUE(WriteFixFile(m_tmp.File("line.sgy"), fixes, false));
    ASSERT_EQ(RunCli({"--utm-zone", "31N", m_tmp.File("line.sgy")}), 0) << m_err;

    const auto features = ReadBack("EPSG:32631");
    if (features.empty())
        GTEST_SKIP() << "python3-pyproj is not installed";
    ASSERT_EQ(features.size(), 1u);
    const ReadFeature& f = features.at("line.sgy");
    EXPECT_EQ(f.geometry, "LineString");
    EXPECT_EQ(f.traceCount, 6);
    EXPECT_EQ(f.firstTime, "2003-04-10T12:00:00.000");
    EXPECT_EQ(f.lastTime, "2003-04-10T12:00:05.000");
    ASSERT_EQ(f.positions.size(), fixes.size());
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const double x = static_cast<double>(fixes[i].x);
        const double y = static_cast<double>(fixes[i].y);
        double lat = 0, lon = 0;
        GeographicLib::UTMUPS::Reverse(31, true, x, y, lat, lon);
        EXPECT_LT(GroundDistance(lat, lon, f.positions[i].lat, f.positions[i].lon), 0.01) << i;
        EXPECT_NEAR(f.positions[i].easting, x, 0.01) << i;
        EXPECT_NEAR(f.positions[i].northing, y, 0.01) << i;
    }
}

// Geographic positions in arc seconds, east longitudes past 180 degrees, and a
// trace without a position: that trace is not in the line, the longitudes
// come back west of Greenwich, and a second file gets its own feature.
TEST_F(GeoJsonTrack, GeographicTracksOnePerFileWithoutUnpositionedTraces)
{
    std::vector<FixSpec> west;
    for (int i = 0; i < 4; ++i) {
        FixSpec f;
        f.units = 2;
        f.scalar = -100;
        // 350.5 degrees east is 9.5 degrees west; 54.25 degrees north.
        f.x = (350 * 3600 + 1800 + i * 2) * 100LL;
        f.y = (54 * 3600 + 900 + i) * 100LL;
        f.second = 10 * i;
        f.sequence = i + 1;
        west.push_back(f);
    }
    west[2].x = 0; // no position: left out of the track
    west[2].y = 0;
    std::vector<FixSpec> east = west;
    for (FixSpec& f : east) {
        f.x = (3 * 3600 + 17) * 100LL;
        f.hour = 13;
    }
    east[2].y = (54 * 3600 + 902) * 100LL;
    ASSERT_TRUE(WriteFixFile(m_tmp.File("west.sgy"), west));
    ASSERT_TRUE(WriteFixFile(m_tmp.File("east.sgy"), east));
    ASSERT_EQ(RunCli({m_tmp.File("west.sgy"), m_tmp.File("east.sgy")}), 0) << m_err;

    const auto features = ReadBack("EPSG:32629");
    if (features.empty())
        GTEST_SKIP() << "python3-pyproj is not installed";
    ASSERT_EQ(features.size(), 2u);
    const ReadFeature& w = features.at("west.sgy");
    EXPECT_EQ(w.traceCount, 3);
    EXPECT_EQ(w.firstTime, "2003-04-10T12:00:00.000");
    EXPECT_EQ(w.lastTime, "2003-04-10T12:00:30.000");
    ASSERT_EQ(w.positions.size(), 3u);
    const int kept[] = {0, 1, 3};
    for (std::size_t k = 0; k < 3; ++k) {
        const int i = kept[k];
        const double lon = -9.5 + i * 2 / 3600.0;
        const double lat = 54.25 + i / 3600.0;
        EXPECT_LT(GroundDistance(lat, lon, w.positions[k].lat, w.positions[k].lon), 0.01) << k;
        EXPECT_GT(w.positions[k].easting, 400'000) << "zone 29 holds 9.5 W";
        // The last fix, which the smoothing leaves, too.
        EXPECT_TRUE(w.positions[k].lon >= -180.0 && w.positions[k].lon <= 180.0) << k;
    }
    EXPECT_EQ(features.at("east.sgy").traceCount, 4);
    EXPECT_EQ(features.at("east.sgy").firstTime, "2003-04-10T13:00:00.000");
}

// A projected file without its zone cannot be placed: it is named, the exit
// code says so, and the file that can be placed is still written.
TEST_F(GeoJsonTrack, ProjectedFileWithoutZoneIsNamedAndOthersKept)
{
    ASSERT_TRUE(WriteFixFile(m_tmp.File("line.sgy"), LineFixes(4, 5)));
    std::vector<FixSpec> geo = LineFixes(3, 5);
    for (FixSpec& f : geo) {
        f.units = 3;
        f.scalar = -10000;
        f.x = 30000 + f.sequence;
        f.y = 500000;
    }
    ASSERT_TRUE(WriteFixFile(m_tmp.File("geo.sgy"), geo));
    EXPECT_EQ(RunCli({m_tmp.File("line.sgy"), m_tmp.File("missing.sgy"), m_tmp.File("geo.sgy")}),
              1);
    const std::string err = m_err;
    EXPECT_NE(err.find(m_tmp.File("line.sgy") + ": positions are projected: give their zone"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(m_tmp.File("missing.sgy") + ": no such file"), std::string::npos) << err;

    const auto features = ReadBack("EPSG:32631");
    if (features.empty())
        GTEST_SKIP() << "python3-pyproj is not installed";
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features.at("geo.sgy").traceCount, 3);
    EXPECT_NEAR(features.at("geo.sgy").positions[0].lat, 50.0, 1e-9);
}

// trace_count counted the fixes, not the positions written; every test
// placed projected positions in the northern hemisphere.
TEST_F(GeoJsonTrack, SouthernTrackWithALastFixOffTheGlobe)
{
    std::vector<FixSpec> fixes = LineFixes(8, 7);
    for (FixSpec& f : fixes)
        f.y = 7'400'000; // about 23.5 degrees south in zone 23S
    fixes.back().x = 2'000'000'000;
    ASSERT_TRUE(WriteFixFile(m_tmp.File("line.sgy"), fixes));
    ASSERT_EQ(RunCli({"--utm-zone", "23S", m_tmp.File("line.sgy")}), 0) << m_err;
    EXPECT_EQ(m_err,
              "tessara-cli: " + m_tmp.File("line.sgy") +
                  ": 1 of 8 positions off the globe left out\n");
    const auto features = ReadBack("EPSG:32723");
    if (features.empty())
        GTEST_SKIP() << "python3-pyproj is not installed";
    const ReadFeature& f = features.at("line.sgy");
    EXPECT_EQ(f.traceCount, 7);
    ASSERT_EQ(f.positions.size(), 7u);
    for (const ReadPosition& p : f.positions)
        EXPECT_NEAR(p.lat, -23.5, 0.1);
}

// Decimal degrees from 179.9997 E 10 S on, east and south, counted east past
// 180 degrees: the line is cut between 179.9999 and 180.0001 into parts that
// meet at +180 and -180 at the latitude halfway.
TEST_F(GeoJsonTrack, TrackAcrossTheAntimeridianIsCutThere)
{
    std::vector<FixSpec> fixes;
    for (int i = 0; i < 6; ++i)
        fixes.push_back({3, -10000, 1'799'997 + 2 * i, -100'000 - 2 * i, 2003, 100, 12, 0, i});
    ASSERT_TRUE(WriteFixFile(m_tmp.File("dateline.sgy"), fixes));
    ASSERT_EQ(RunCli({m_tmp.File("dateline.sgy")}), 0) << m_err;
    const auto features = ReadBack("EPSG:32701");
    if (features.empty())
        GTEST_SKIP() << "python3-pyproj is not installed";
    const ReadFeature& f = features.at("dateline.sgy");
    EXPECT_EQ(f.geometry, "MultiLineString");
    EXPECT_EQ(f.traceCount, 6);
    ASSERT_EQ(f.positions.size(), 8u);
    EXPECT_EQ(f.positions[2].lon, 180.0);
    EXPECT_EQ(f.positions[3].lon, -180.0);
    EXPECT_EQ(f.positions[2].lat, f.positions[3].lat);
    EXPECT_NEAR(f.positions[2].lat, -10.0003, 1e-7);
}

TEST_F(GeoJsonTrack, MeanSpeedOfFixesAtOneTimeIsUnknown)
{
    std::vector<FixSpec> fixes = LineFixes(5, 10);
    for (FixSpec& f : fixes)
        f.second = 0;
    ASSERT_TRUE(WriteFixFile(m_tmp.File("still.sgy"), fixes));
    const ChildEnd end = RunProgram(kCli, {"nav", m_tmp.File("still.sgy")});
    EXPECT_NE(end.err.find(", mean speed unknown\n"), std::string::npos) << end.err;
}

TEST_F(GeoJsonTrack, ZoneOutsideItsRangeIsAUsageError)
{
    ASSERT_TRUE(WriteFixFile(m_tmp.File("line.sgy"), LineFixes(4, 5)));
    EXPECT_EQ(RunCli({"--utm-zone", "61N", m_tmp.File("line.sgy")}), 2);
    EXPECT_EQ(m_err, "tessara-cli: --utm-zone 61N not in 1N..60N, 1S..60S\n");
    EXPECT_EQ(RunCli({"--utm-zone", "31", m_tmp.File("line.sgy")}), 2);
}

} // namespace
} // namespace tessara::test
