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
#include <map>
#include <sstream>

namespace tessara::test
{
namespace
{

const std::string kCli = TESSARA_CLI_PATH;
const std::string kCs2cs = "/usr/bin/cs2cs";

using CsvRow = std::map<std::string, std::string>;

/// The CSV's rows, each field by its column's name; empty fields kept, and
/// a row of another length than the names is empty.
std::vector<CsvRow> CsvRows(const std::string& text)
{
    const auto split = [](const std::string& line) {
        std::vector<std::string> fields{""};
        for (const char c : line)
            if (c == ',')
                fields.emplace_back();
            else
                fields.back() += c;
        return fields;
    };
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> names = split(line);
    std::vector<CsvRow> rows;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = split(line);
        CsvRow& row = rows.emplace_back();
        for (std::size_t k = 0; k < names.size() && fields.size() == names.size(); ++k)
            row[names[k]] = fields[k];
    }
    return rows;
}

/// A line of fixes in decimal degrees from (lat, lon), one second apart.
std::vector<FixSpec> DegreeLine(int count, double lat, double lon, double dLat, double dLon)
{
    std::vector<FixSpec> fixes;
    for (int i = 0; i < count; ++i) {
        FixSpec f;
        f.units = 3;
        f.scalar = -10000;
        f.x = std::llround((lon + i * dLon) * 10000);
        f.y = std::llround((lat + i * dLat) * 10000);
        f.second = i;
        f.sequence = i + 1;
        fixes.push_back(f);
    }
    return fixes;
}

struct UtmCase {
    const char* name;
    double lat, lon, dLat, dLon; ///< the first fix and the step, degrees
    const char* zone;            ///< the zone column on every row
};

class UtmColumns : public ::testing::TestWithParam<UtmCase>
{
protected:
    TempDir m_tmp;
};

// The frame the listing names must be the one its coordinates are in: PROJ
// turns each listed latitude and longitude into the listed easting and
// northing, south of the equator with the false northing.
TEST_P(UtmColumns, EqualPROJInTheZoneNamed)
{
    const UtmCase& c = GetParam();
    ASSERT_TRUE(WriteFixFile(m_tmp.File("line.sgy"), DegreeLine(9, c.lat, c.lon, c.dLat, c.dLon)));
    const ChildEnd nav = RunProgram(kCli, {"nav", m_tmp.File("line.sgy")});
    ASSERT_EQ(nav.code, 0) << nav.err;
    const auto rows = CsvRows(nav.out);
    ASSERT_EQ(rows.size(), 9u);
    std::ofstream positions(m_tmp.File("positions.txt"));
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 13u) << nav.out;
        EXPECT_EQ(row.at("zone"), c.zone);
        EXPECT_EQ(row.at("epsg"), rows.front().at("epsg"));
        positions << row.at("latitude") << ' ' << row.at("longitude") << '\n';
    }
    positions.close();
    if (!std::filesystem::exists(kCs2cs))
        GTEST_SKIP() << "cs2cs (proj-bin) is not installed";
    const ChildEnd proj = RunProgram(kCs2cs,
                                     {"-f",
                                      "%.4f",
                                      "EPSG:4326",
                                      "EPSG:" + rows.front().at("epsg"),
                                      m_tmp.File("positions.txt")});
    ASSERT_EQ(proj.code, 0) << proj.err;
    std::istringstream projected(proj.out);
    for (const auto& row : rows) {
        double easting = 0, northing = 0, height = 0;
        ASSERT_TRUE(projected >> easting >> northing >> height) << proj.out;
        // The listed degrees have 8 decimals: a millimetre.
        EXPECT_NEAR(std::stod(row.at("easting")), easting, 0.005) << row.at("latitude");
        EXPECT_NEAR(std::stod(row.at("northing")), northing, 0.005) << row.at("latitude");
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
    bool spacing;  ///< a spacing is defined
};

class UndefinedValues : public ::testing::TestWithParam<UndefinedCase>
{
protected:
    TempDir m_tmp;
};

// A GIS types a column with one "nan" in it as text.
TEST_P(UndefinedValues, AreEmptyFieldsAndJsonNull)
{
    const UndefinedCase& c = GetParam();
    std::vector<FixSpec> fixes = DegreeLine(c.fixes, 54.5, 10.25, 0.0001, 0.0);
    for (FixSpec& f : fixes)
        f.second = c.sameTime ? 0 : f.second;
    ASSERT_TRUE(WriteFixFile(m_tmp.File("f.sgy"), fixes));
    const ChildEnd csv = RunProgram(kCli, {"nav", m_tmp.File("f.sgy")});
    ASSERT_EQ(csv.code, 0) << csv.err;
    EXPECT_EQ(csv.out.find("nan"), std::string::npos) << csv.out;
    EXPECT_EQ(csv.out.find("inf"), std::string::npos) << csv.out;
    const auto rows = CsvRows(csv.out);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.fixes));
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 13u) << csv.out;
        EXPECT_EQ(row.at("speed_m_s").empty(), c.sameTime || !c.spacing) << csv.out;
        EXPECT_EQ(row.at("spacing_m").empty(), !c.spacing) << csv.out;
    }
    const ChildEnd json = RunProgram(kCli, {"nav", "--json", m_tmp.File("f.sgy")});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_EQ(json.out.find("\"speed_m_s\":null") != std::string::npos, c.sameTime || !c.spacing)
        << json.out;
}

INSTANTIATE_TEST_SUITE_P(Fixes,
                         UndefinedValues,
                         ::testing::Values(UndefinedCase{"EqualTimes", 6, true, true},
                                           UndefinedCase{"SingleFix", 1, false, false},
                                           UndefinedCase{"TwoFixes", 2, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });

struct PointsCase {
    const char* name;
    std::vector<std::int64_t> traceNumbers; ///< of the fixes, ascending
    std::int64_t every;
    std::vector<std::size_t> points; ///< fixes chosen
};

class ShotPoints : public ::testing::TestWithParam<PointsCase>
{
};

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
    const char* file;        ///< in the folder, or under the input file
    long long fileSizeBytes; ///< the command's file-size limit; -1 none
};

class FailedTrackWrite : public ::testing::TestWithParam<FailedWriteCase>
{
protected:
    TempDir m_tmp;
};

// A track that cannot be written whole leaves no file of its own, and a
// track of that name from before stays as it was.
TEST_P(FailedTrackWrite, LeavesNothingAndKeepsTheOldFile)
{
    const FailedWriteCase& c = GetParam();
    const std::string input = m_tmp.File("line.sgy");
    ASSERT_TRUE(WriteFixFile(input, DegreeLine(200, 54.5, 10.25, 0.0001, 0.0002)));
    const std::string path = m_tmp.File(c.file);
    const bool folder = std::filesystem::is_directory(std::filesystem::path(path).parent_path());
    if (folder)
        std::ofstream(path) << "earlier track";
    ChildOptions limit;
    limit.fileSizeBytes = c.fileSizeBytes;
    const ChildEnd end = RunProgram(kCli, {"nav", "--points", "10", c.option, path, input}, limit);
    EXPECT_EQ(end.code, 1) << end.err;
    EXPECT_EQ(end.err.rfind("tessara-cli: " + path + ": track not written: ", 0), 0u) << end.err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(m_tmp.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::vector<std::string> before = folder ? std::vector<std::string>{"line.sgy", c.file}
                                                   : std::vector<std::string>{"line.sgy"};
    EXPECT_EQ(left, before);
    if (folder) {
        std::ifstream old(path);
        std::string text;
        std::getline(old, text);
        EXPECT_EQ(text, "earlier track");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writes,
    FailedTrackWrite,
    ::testing::Values(FailedWriteCase{"GeoPackageOverTheSizeLimit", "--gpkg", "t.gpkg", 40000},
                      FailedWriteCase{"KmlOverTheSizeLimit", "--kml", "t.kml", 4000},
                      FailedWriteCase{"FolderIsAFile", "--gpkg", "line.sgy/t.gpkg", -1}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
