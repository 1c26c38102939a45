// nav for GIS: the listing's UTM columns held against PROJ's cs2cs with the
// EPSG code the listing names, undefined values left empty, the shot-point
// rule, and a track file that cannot be written leaving nothing behind.
#include "nav/track.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;
const std::string kCs2cs = "/usr/bin/cs2cs";

/// A file of `count` fixes in decimal degrees from (lat, lon) on, one second
/// apart (all at one second when `sameTime`).
bool WriteDegreeLine(const std::string& path,
                     int count,
                     double lat,
                     double lon,
                     double dLat,
                     double dLon,
                     bool sameTime = false)
{
    std::vector<FixSpec> fixes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        FixSpec& f = fixes[static_cast<std::size_t>(i)];
        f.units = 3;
        f.scalar = -10000;
        f.x = std::llround((lon + i * dLon) * 10000);
        f.y = std::llround((lat + i * dLat) * 10000);
        f.second = sameTime ? 0 : i;
        f.sequence = i + 1;
    }
    return WriteFixFile(path, fixes);
}

/// The fixes nav --json lists for `path`; the CSV of the same file must
/// hold 13 columns on every line and no "nan" or "inf".
nlohmann::json ListedFixes(const std::string& path)
{
    const ChildEnd csv = RunProgram(kCli, {"nav", path});
    EXPECT_EQ(csv.code, 0) << csv.err;
    EXPECT_EQ(csv.out.find("nan"), std::string::npos) << csv.out;
    EXPECT_EQ(csv.out.find("inf"), std::string::npos) << csv.out;
    std::istringstream lines(csv.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 12) << line;
    const ChildEnd json = RunProgram(kCli, {"nav", "--json", path});
    EXPECT_EQ(json.code, 0) << json.err;
    return nlohmann::json::parse(json.out, nullptr, false).value("fixes", nlohmann::json::array());
}

/// A table's test with a temporary folder of its own.
template <typename Row> class WithTempDir : public ::testing::TestWithParam<Row>
{
protected:
    TempDir m_tmp;
};

struct UtmCase {
    const char* name;
    double lat, lon, dLat, dLon; ///< the first fix and the step, degrees
    const char* zone;            ///< the zone of every fix
};

using UtmColumns = WithTempDir<UtmCase>;

// The frame the listing names must be the one its coordinates are in: PROJ
// turns each listed latitude and longitude into the listed easting and
// northing, south of the equator with the false northing.
TEST_P(UtmColumns, EqualPROJInTheZoneNamed)
{
    const UtmCase& c = GetParam();
    ASSERT_TRUE(WriteDegreeLine(m_tmp.File("line.sgy"), 9, c.lat, c.lon, c.dLat, c.dLon));
    const nlohmann::json fixes = ListedFixes(m_tmp.File("line.sgy"));
    ASSERT_EQ(fixes.size(), 9u);
    std::ofstream positions(m_tmp.File("positions.txt"));
    for (const nlohmann::json& f : fixes) {
        EXPECT_EQ(f.at("zone"), c.zone);
        EXPECT_EQ(f.at("epsg"), fixes[0].at("epsg"));
        positions << std::setprecision(17) << f.at("latitude").get<double>() << ' '
                  << f.at("longitude").get<double>() << '\n';
    }
    positions.close();
    if (!std::filesystem::exists(kCs2cs))
        GTEST_SKIP() << "cs2cs (proj-bin) is not installed";
    const std::string epsg = "EPSG:" + std::to_string(fixes[0].at("epsg").get<int>());
    const ChildEnd proj =
        RunProgram(kCs2cs, {"-f", "%.4f", "EPSG:4326", epsg, m_tmp.File("positions.txt")});
    ASSERT_EQ(proj.code, 0) << proj.err;
    std::istringstream projected(proj.out);
    for (const nlohmann::json& f : fixes) {
        double easting = 0, northing = 0, height = 0;
        ASSERT_TRUE(projected >> easting >> northing >> height) << proj.out;
        // The listed degrees have 8 decimals: a millimetre.
        EXPECT_NEAR(f.at("easting").get<double>(), easting, 0.005) << f;
        EXPECT_NEAR(f.at("northing").get<double>(), northing, 0.005) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frames,
    UtmColumns,
    ::testing::Values(UtmCase{"North", 54.5, 10.25, 0.0001, 0.0002, "32N"},
                      UtmCase{"South", -33.5, 151.3, 0.0001, 0.0002, "56S"},
                      // Five of nine fixes east of 6 degrees: all in zone 32.
                      UtmCase{"ZoneEdge", 50.0, 5.9996, 0.0, 0.0001, "32N"},
                      // Five of nine north of the equator: one frame, whose
                      // northings go negative south of it.
                      UtmCase{"AcrossTheEquator", -0.0007, -70.0, 0.0002, 0.0, "19N"},
                      UtmCase{"MostlySouth", -0.0009, -70.0, 0.0002, 0.0, "19S"}),
    [](const auto& p) { return std::string(p.param.name); });

struct UndefinedCase {
    const char* name;
    int fixes;
    bool sameTime; ///< every fix at one time: no speed
};

using UndefinedValues = WithTempDir<UndefinedCase>;

// A GIS types a column with one "nan" in it as text.
TEST_P(UndefinedValues, AreEmptyFieldsAndJsonNull)
{
    const UndefinedCase& c = GetParam();
    ASSERT_TRUE(WriteDegreeLine(m_tmp.File("f.sgy"), c.fixes, 54.5, 10.25, 0.0001, 0, c.sameTime));
    const nlohmann::json fixes = ListedFixes(m_tmp.File("f.sgy"));
    ASSERT_EQ(fixes.size(), static_cast<std::size_t>(c.fixes));
    for (const nlohmann::json& f : fixes) {
        EXPECT_EQ(f.at("speed_m_s").is_null(), c.sameTime || c.fixes < 2) << f;
        EXPECT_EQ(f.at("spacing_m").is_null(), c.fixes < 2) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixes,
                         UndefinedValues,
                         ::testing::Values(UndefinedCase{"EqualTimes", 6, true},
                                           UndefinedCase{"SingleFix", 1, false},
                                           UndefinedCase{"TwoFixes", 2, false}),
                         [](const auto& p) { return std::string(p.param.name); });

struct PointsCase {
    const char* name;
    std::vector<std::int64_t> traceNumbers; ///< of the fixes, ascending
    std::int64_t every;
    std::vector<std::size_t> points; ///< fixes chosen
};

using ShotPoints = ::testing::TestWithParam<PointsCase>;

TEST_P(ShotPoints, FirstLastAndMultiples)
{
    EXPECT_EQ(ShotPointFixes(GetParam().traceNumbers, GetParam().every), GetParam().points);
}

INSTANTIATE_TEST_SUITE_P(
    Rule,
    ShotPoints,
    ::testing::Values(PointsCase{"EveryLargerThanTheCount", {1, 2, 3, 4, 5}, 10, {0, 4}},
                      PointsCase{"EveryTrace", {1, 2, 3, 4}, 1, {0, 1, 2, 3}},
                      PointsCase{"LastIsAMultipleOnce", {1, 2, 3, 4, 5, 6}, 3, {0, 2, 5}},
                      // Traces 3 and 6 have no position: no point stands in.
                      PointsCase{"TracesWithoutAFix", {1, 2, 4, 5, 7, 8, 9, 10}, 3, {0, 6, 7}},
                      PointsCase{"FirstIsAMultiple", {4, 5, 6, 8}, 2, {0, 2, 3}},
                      PointsCase{"SingleFix", {7}, 5, {0}}),
    [](const auto& p) { return std::string(p.param.name); });

struct FailedWriteCase {
    const char* name;
    const char* option;
    long long fileSizeBytes; ///< the command's file-size limit
};

using FailedTrackWrite = WithTempDir<FailedWriteCase>;

// A track that cannot be written whole leaves no file of its own, and a
// track of that name from before stays as it was. KML's writer does not
// report a full disk itself.
TEST_P(FailedTrackWrite, LeavesNothingAndKeepsTheOldFile)
{
    const FailedWriteCase& c = GetParam();
    const std::string input = m_tmp.File("line.sgy");
    ASSERT_TRUE(WriteDegreeLine(input, 200, 54.5, 10.25, 0.0001, 0.0002));
    const std::string path = m_tmp.File(std::string("t.") + (c.option + 2));
    std::ofstream(path) << "earlier track";
    ChildOptions limit;
    limit.fileSizeBytes = c.fileSizeBytes;
    const ChildEnd end = RunProgram(kCli, {"nav", "--points", "10", c.option, path, input}, limit);
    EXPECT_EQ(end.code, 1) << end.err;
    EXPECT_EQ(end.err.rfind("tessara-cli: " + path + ": track not written: ", 0), 0u) << end.err;
    const auto files = std::distance(std::filesystem::directory_iterator(m_tmp.Path()), {});
    EXPECT_EQ(files, 2);
    std::string text;
    std::getline(std::ifstream(path) >> std::ws, text);
    EXPECT_EQ(text, "earlier track");
}

INSTANTIATE_TEST_SUITE_P(Writes,
                         FailedTrackWrite,
                         ::testing::Values(FailedWriteCase{"GeoPackage", "--gpkg", 40000},
                                           FailedWriteCase{"Kml", "--kml", 4000}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
