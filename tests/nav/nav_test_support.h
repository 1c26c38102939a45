// Helpers of the navigation tests: fixture files with chosen positions and
// times, written by the independent byte writer, read back field by field,
// and a front end that records the log, the messages and the chart.
#pragma once

#include "combine/api/job_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessara::test
{

/// One trace of a fixture file.
struct FixSpec {
    int units = 1;      ///< coordinateUnits (88)
    int scalar = 0;     ///< coordinateScalar (70)
    std::int64_t x = 0; ///< sourceX (72)
    std::int64_t y = 0; ///< sourceY (76)
    int year = 2003;
    int day = 100;
    int hour = 12;
    int minute = 0;
    int second = 0;
    int ms = 0;
    int sequence = 1; ///< traceSequenceFile (4)
};

/// Projected fixes along a straight east-going line: x = 500000 + i * step,
/// y = 6000000, one second apart from day 100 12:00:00.
std::vector<FixSpec> LineFixes(int count, int stepMetres);

/// Writes the fixture: format 5 (IEEE), 4 samples per trace; trace k carries
/// traceSequenceLine (0) = k + 1 and samples k + 1, k + 1.25, k + 1.5, k + 1.75,
/// so that every written trace can be traced back to its source.
bool WriteFixFile(const std::string& path,
                  const std::vector<FixSpec>& fixes,
                  bool bigEndian = true);

/// A trace read back from a big-endian file of 4-sample IEEE traces.
struct TraceFields {
    int source = 0; ///< traceSequenceLine: 1-based index of the recorded trace
    int units = 0;
    int scalar = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    int year = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int ms = 0;
    float firstSample = 0;
};
std::vector<TraceFields> ReadBackTraces(const std::string& path);

/// Records what the speed correction tells its front end.
class CNavHost : public IJobHost
{
public:
    void ClearLog() override { log.clear(); }
    void AppendLog(std::string_view text) override { log += text; }
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view text) override { status = text; }
    void PumpEvents() override { ++pumps; }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}

    void ChartBegin(std::string_view title) override
    {
        chartTitle = title;
        chartFixes.clear();
        ++chartBegins;
    }
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override
    {
        chartFixes.push_back({ticks, speedMps, spacingM});
    }
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override
    {
        spacingLine = {fromTicks, toTicks, spacingM};
        chartTitle += titleSuffix;
    }
    void ChartEnd() override { ++chartEnds; }

    struct Point {
        std::int64_t ticks;
        double speedMps;
        double spacingM;
    };
    struct Line {
        std::int64_t fromTicks;
        std::int64_t toTicks;
        double spacingM;
    };
    std::string log;
    std::string status;
    std::vector<std::string> messages;
    int pumps = 0;
    std::string chartTitle;
    std::vector<Point> chartFixes;
    Line spacingLine{0, 0, 0};
    int chartBegins = 0;
    int chartEnds = 0;
};

} // namespace tessara::test
