// Helpers of the navigation tests: fixture files with chosen positions and
// times, written by the independent byte writer, and read back field by field.
#pragma once

#include "tests/support/recording_host.h"

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
    int delay = 0;    ///< delayRecordingTime (108), ms
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

} // namespace tessara::test
