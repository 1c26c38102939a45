// Navigation logs read as a GPS writes them and as a surveyor exports them:
// sentences good and bad, days that change without a date, tables with and
// without the columns they need.
#include "nav/navigation_log.h"
#include "tests/support/temp_dir.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

std::string Nmea(const std::string& body)
{
    return synth::NmeaSentence(body);
}

std::string Gga(const std::string& time, const std::string& quality = "1")
{
    return Nmea("GPGGA," + time + ",5430.000,N,01015.000,E," + quality + ",08,0.9,5.0,M,40.0,M,,");
}

// One digit of the latitude changed after the checksum was made.
std::string Corrupted(std::string sentence)
{
    sentence[sentence.find("5430") + 3] = '1';
    return sentence;
}

// The sentence without its "*hh".
std::string Unchecked(const std::string& sentence)
{
    return sentence.substr(0, sentence.find('*'));
}

struct LogCase {
    const char* name;
    std::vector<std::string> lines;
    std::int64_t fixes;
    std::int64_t LogReadStats::*skip; ///< the count that must be 1; null: none
    const char* last;                 ///< the last fix: time, latitude, longitude
};

// Published sentences with their checksums anchor the helper's.
const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
const std::string kZda = "$GPZDA,201530.00,04,07,2002,00,00*60";
const char* const kRmcFix = "1994-03-23T12:35:19.000 48.117300 11.516667";
const char* const kGgaFix = "2002-07-04T20:15:31.000 54.500000 10.250000";

// clang-format off
const LogCase kLogCases[] = {
    {"rmc_gives_date_and_fix", {kRmc}, 1, nullptr, kRmcFix},
    {"any_talker_south_west", {kZda, Nmea("GNGGA,201531.00,5430.000,N,01015.000,E,1,08,0.9,5.0,M,40.0,M,,"),
      Nmea("INGGA,201532.50,1030.000,S,15315.000,W,2,08,0.9,5.0,M,40.0,M,,")}, 2, nullptr,
     "2002-07-04T20:15:32.500 -10.500000 -153.250000"},
    {"bad_checksum", {kZda, Gga("201531.00"), Corrupted(Gga("201532.00"))}, 1,
     &LogReadStats::badChecksum, kGgaFix},
    {"missing_checksum", {kZda, Gga("201531.00"), Unchecked(Gga("201532.00"))}, 1,
     &LogReadStats::badChecksum, kGgaFix},
    {"midnight_and_new_year_without_zda", {Nmea("GPZDA,235958.00,31,12,2002,00,00"),
      Gga("235959.00"), Gga("000000.00"), Gga("000001.00")}, 3, nullptr,
     "2003-01-01T00:00:01.000 54.500000 10.250000"},
    {"late_sentence_of_the_day_before", {Nmea("GPZDA,000000.00,01,01,2003,00,00"),
      Gga("000000.00"), Gga("235959.00")}, 1, &LogReadStats::outOfOrder,
     "2003-01-01T00:00:00.000 54.500000 10.250000"},
    {"out_of_order", {kZda, Gga("201531.00"), Gga("201530.50")}, 1, &LogReadStats::outOfOrder,
     kGgaFix},
    {"no_time", {kZda, Gga("201531.00"), Gga("")}, 1, &LogReadStats::noTime, kGgaFix},
    {"fix_quality_zero", {kZda, Gga("201531.00"), Gga("201532.00", "0")}, 1,
     &LogReadStats::noFix, kGgaFix},
    {"rmc_status_void", {kRmc,
      Nmea("GPRMC,123520,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")}, 1,
     &LogReadStats::noFix, kRmcFix},
    {"gga_before_first_date", {Gga("201529.00"), kZda, Gga("201531.00")}, 1,
     &LogReadStats::noDate, kGgaFix},
    {"gga_and_rmc_of_one_second", {kRmc,
      Nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")}, 1,
     &LogReadStats::repeated, kRmcFix},
};
// clang-format on

// The last fix as the tables give it.
std::string LastFix(const std::vector<LogFix>& fixes)
{
    char text[96];
    std::snprintf(text,
                  sizeof text,
                  "%s %.6f %.6f",
                  fixes.back().t.IsoText().c_str(),
                  fixes.back().lat,
                  fixes.back().lon);
    return text;
}

class NmeaLog : public ::testing::TestWithParam<LogCase>
{
protected:
    TempDir m_dir;
};

std::string WriteLines(const TempDir& dir, const std::vector<std::string>& lines)
{
    const std::string path = dir.File("log.txt");
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines)
        out << line << "\r\n";
    return path;
}

TEST_P(NmeaLog, GivesTheFixesAndCountsWhatItSkips)
{
    const LogCase& c = GetParam();
    std::vector<LogFix> fixes;
    LogReadStats stats;
    ASSERT_EQ(ReadNavigationFile(WriteLines(m_dir, c.lines), 0, fixes, stats), "");
    ASSERT_EQ(static_cast<std::int64_t>(fixes.size()), c.fixes);
    EXPECT_EQ(stats.fixes, c.fixes);
    for (auto count : {&LogReadStats::badChecksum,
                       &LogReadStats::noTime,
                       &LogReadStats::noFix,
                       &LogReadStats::noDate,
                       &LogReadStats::outOfOrder,
                       &LogReadStats::repeated})
        EXPECT_EQ(stats.*count, count == c.skip ? 1 : 0);
    EXPECT_EQ(LastFix(fixes), c.last);
}

INSTANTIATE_TEST_SUITE_P(Sentences,
                         NmeaLog,
                         ::testing::ValuesIn(kLogCases),
                         [](const ::testing::TestParamInfo<LogCase>& p) { return p.param.name; });

TEST(NmeaLogRefused, WithoutAnyDateNothingIsPlacedInTime)
{
    TempDir dir;
    std::vector<LogFix> fixes;
    LogReadStats stats;
    EXPECT_EQ(
        ReadNavigationFile(WriteLines(dir, {Gga("101010.00"), Gga("101011.00")}), 0, fixes, stats),
        "no date (ZDA or RMC sentence) before any of its 2 fixes");
    EXPECT_TRUE(fixes.empty());
}

struct CsvCase {
    const char* name;
    std::vector<std::string> lines;
    int epsg;
    const char* problem; ///< "" when read
    std::int64_t fixes;
    const char* last; ///< the last fix: time, latitude, longitude
};

// clang-format off
const CsvCase kCsvCases[] = {
    {"iso_with_utc_offset", {"time,lat,lon", "2024-05-01T12:00:00Z,54.5,10.25",
      "2024-05-01T13:00:01.5+01:00,54.6,10.3"}, 0, "", 2,
     "2024-05-01T12:00:01.500 54.600000 10.300000"},
    {"year_day_time_leap_day_366", {"Timestamp;Latitude;Longitude",
      "2024/122/12:00:00;54.5;10.25", "2023/366/12:00:00;1;1", "2024 366 23:59:59.250;-54.5;-10.25"},
     0, "", 2, "2024-12-31T23:59:59.250 -54.500000 -10.250000"},
    // cs2cs EPSG:4326 EPSG:32756: -10.5 153.25 -> 527356.036 8839294.030
    {"utm_south_false_northing", {"DateTime\tEasting\tNorthing",
      "2024-05-01 12:00:00\t527356.036\t8839294.030"}, 32756, "", 1,
     "2024-05-01T12:00:00.000 -10.500000 153.250000"},
    {"no_longitude", {"time,lat", "2024-05-01T12:00:00,54.5"}, 0,
     "no longitude column (lon, long or longitude)", 0, ""},
    {"no_time", {"lat,lon", "54.5,10.25"}, 0, "no time column (time, datetime or timestamp)", 0, ""},
    {"no_position", {"time,depth", "2024-05-01T12:00:00,54.5"}, 0,
     "no latitude and longitude columns (lat, lon) nor easting and northing", 0, ""},
    {"easting_without_epsg", {"time,x,y", "2024-05-01T12:00:00,527356,8839294"}, 0,
     "easting and northing need the EPSG code of their UTM zone", 0, ""},
    {"epsg_not_utm", {"time,easting,northing", "2024-05-01T12:00:00,527356,8839294"}, 4326,
     "EPSG 4326 is not a UTM zone (32601..32660, 32701..32760)", 0, ""},
};
// clang-format on

class CsvLog : public ::testing::TestWithParam<CsvCase>
{
protected:
    TempDir m_dir;
};

TEST_P(CsvLog, GivesTheFixesOrNamesWhatIsMissing)
{
    const CsvCase& c = GetParam();
    std::vector<LogFix> fixes;
    LogReadStats stats;
    ASSERT_EQ(ReadNavigationFile(WriteLines(m_dir, c.lines), c.epsg, fixes, stats), c.problem);
    ASSERT_EQ(static_cast<std::int64_t>(fixes.size()), c.fixes);
    if (c.fixes > 0) {
        EXPECT_EQ(LastFix(fixes), c.last);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables,
                         CsvLog,
                         ::testing::ValuesIn(kCsvCases),
                         [](const ::testing::TestParamInfo<CsvCase>& p) { return p.param.name; });

} // namespace
} // namespace tessara::test
