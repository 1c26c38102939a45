// The trace record's storage rules: header and samples are sized together,
// ReAllocate keeps storage only when it really fits the header's count.
#include "trace/segy_trace.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tessara
{
namespace
{

bool HeaderIsZeroApartFromSampleCount(const SegyHeaderType& h)
{
    SegyHeaderType copy = h;
    copy.sampleCount = 0;
    static const SegyHeaderType zero{};
    return std::memcmp(&copy, &zero, sizeof copy) == 0;
}

TEST(SegyTrace, SizedTraceHasTwoSpareSamplesAndA16BitCount)
{
    CSegyTrace t(70000);
    EXPECT_EQ(t.numSamples, 70000u);
    EXPECT_EQ(t.header->sampleCount, 4464) << "70000 modulo 65536";
    EXPECT_GE(t.samples.size(), 70002u);
    EXPECT_TRUE(t.allocated);
    EXPECT_TRUE(HeaderIsZeroApartFromSampleCount(*t.header));
    EXPECT_EQ(t.allocatedCount, -1) << "Allocate leaves it alone";
}

TEST(SegyTrace, SetNReplacesTheHeaderWithAZeroOne)
{
    CSegyTrace t(10);
    t.header->year = 2024;
    t.header->traceSequenceFile = 5;
    t.SetN(20);
    EXPECT_EQ(t.numSamples, 20u);
    EXPECT_EQ(t.header->sampleCount, 20);
    EXPECT_TRUE(HeaderIsZeroApartFromSampleCount(*t.header));
    EXPECT_GE(t.samples.size(), 22u);
}

TEST(SegyTrace, ReAllocateKeepsSamplesWhenTheCountIsUnchanged)
{
    CSegyTrace t(4);
    t.header->sampleCount = 6;
    t.ReAllocate();
    EXPECT_EQ(t.numSamples, 6u);
    EXPECT_EQ(t.allocatedCount, 6);
    ASSERT_GE(t.samples.size(), 8u);
    t.samples[5] = 3.25;
    t.ReAllocate(); // the next trace of the same length
    EXPECT_EQ(t.samples[5], 3.25);
    t.header->sampleCount = 9;
    t.ReAllocate();
    EXPECT_EQ(t.numSamples, 9u);
    EXPECT_GE(t.samples.size(), 11u);
}

// SetN shrank the storage without touching allocatedCount; a header of the
// old count then skipped the resize and the reader wrote past the storage.
TEST(SegyTrace, ReAllocateAfterSetNDoesNotKeepTooSmallStorage)
{
    CSegyTrace t;
    t.SetN(1);
    t.header->sampleCount = 100;
    t.ReAllocate();
    t.SetN(10);
    t.header->sampleCount = 100; // the next header read into it
    t.ReAllocate();
    EXPECT_EQ(t.numSamples, 100u);
    EXPECT_GE(t.samples.size(), 102u);
}

// Delete released the storage but kept numSamples and allocatedCount, so a
// header of the same count skipped the resize and left no storage at all.
TEST(SegyTrace, ReAllocateAfterDeleteProvidesStorage)
{
    CSegyTrace t(10);
    t.header->sampleCount = 50;
    t.ReAllocate();
    t.Delete();
    EXPECT_FALSE(t.allocated);
    EXPECT_FALSE(t.header);
    EXPECT_EQ(t.numSamples, 50u) << "Delete keeps the counts";
    EXPECT_EQ(t.allocatedCount, 50);
    t.header = std::make_unique<SegyHeaderType>();
    t.header->sampleCount = 50;
    t.ReAllocate();
    EXPECT_TRUE(t.allocated);
    EXPECT_GE(t.samples.size(), 52u);
    t.Delete();
    t.Delete(); // twice is harmless
    EXPECT_FALSE(t.allocated);
}

} // namespace
} // namespace tessara
