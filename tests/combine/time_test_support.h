// Helpers of the time-order, time-correction and gap-fill tests: whole trace
// headers read back, and trace times worked out in integer milliseconds.
#pragma once

#include "segy/io/segy_file_in.h"
#include "tests/combine/combine_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tessara::test
{

/// A trace read back whole: the header in host order and its samples.
struct FullTrace {
    SegyHeaderType header{};
    std::vector<double> samples;
};

/// Every trace of `path`, read with the reader; empty when it cannot be opened.
inline std::vector<FullTrace> ReadAllTraces(const std::string& path)
{
    std::vector<FullTrace> traces;
    CSegyFileIn in;
    if (!in.Open(path))
        return traces;
    CSegyTrace trace(in.GetSamples());
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            return traces;
        FullTrace t;
        t.header = *trace.header;
        t.samples.assign(trace.samples.begin(), trace.samples.begin() + t.header.sampleCount);
        traces.push_back(t);
    }
}

/// The stamp `ms` milliseconds after `from`, in whole-millisecond integer
/// arithmetic on the job's day / clock scale (no calendar: day 366 is
/// followed by day 367).
inline Stamp StampAfter(const Stamp& from, long long ms)
{
    const long long start =
        (((from.day * 24LL + from.hour) * 60 + from.minute) * 60 + from.second) * 1000 +
        from.millisecond;
    const long long t = start + ms;
    Stamp s;
    s.millisecond = static_cast<int>(t % 1000);
    s.second = static_cast<int>(t / 1000 % 60);
    s.minute = static_cast<int>(t / 60000 % 60);
    s.hour = static_cast<int>(t / 3600000 % 24);
    s.day = static_cast<int>(t / 86400000);
    return s;
}

/// Expects the header's time fields to be `s` (year not compared).
inline void ExpectStamp(const SegyHeaderType& h, const Stamp& s, const std::string& what)
{
    EXPECT_EQ(h.dayOfYear, s.day) << what;
    EXPECT_EQ(h.hour, s.hour) << what;
    EXPECT_EQ(h.minute, s.minute) << what;
    EXPECT_EQ(h.second, s.second) << what;
    EXPECT_EQ(h.millisecond, s.millisecond) << what;
}

/// Expects `fill` to be `model` in every header byte outside the time
/// stamp's day, hour, minute, second and millisecond (bytes 158-167): a
/// fill trace carries everything else of the trace it was copied from.
inline void ExpectSameHeaderButTime(const SegyHeaderType& fill,
                                    const SegyHeaderType& model,
                                    const std::string& what)
{
    unsigned char a[sizeof(SegyHeaderType)];
    unsigned char b[sizeof(SegyHeaderType)];
    std::memcpy(a, &fill, sizeof a);
    std::memcpy(b, &model, sizeof b);
    for (std::size_t i = 0; i < sizeof a; ++i) {
        if ((i < 158 || i >= 168) && a[i] != b[i]) {
            ADD_FAILURE() << what << ": header byte " << i << " is " << int{a[i]} << ", not "
                          << int{b[i]};
            return;
        }
    }
}

} // namespace tessara::test
