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

class ResizeZeroedTest : public ::testing::Test
{
protected:
    /// A trace as the job holds one: a copied header with fields set, and
    /// samples left over from an earlier, longer trace.
    void SetUp() override
    {
        m_trace.SetN(8);
        m_trace.header->traceSequenceFile = 17;
        m_trace.header->year = 2003;
        m_trace.header->sampleInterval = 83;
        m_trace.header->carried188[0] = 0x5A;
        for (double& v : m_trace.samples)
            v = 7.5;
    }
    CSegyTrace m_trace;
};

TEST_F(ResizeZeroedTest, KeepsTheHeaderAsItIsAndZeroesEverySample)
{
    m_trace.ResizeZeroed(5);
    EXPECT_EQ(m_trace.numSamples, 5u);
    EXPECT_EQ(m_trace.header->sampleCount, 8) << "the header is the caller's";
    EXPECT_EQ(m_trace.header->traceSequenceFile, 17);
    EXPECT_EQ(m_trace.header->year, 2003);
    EXPECT_EQ(m_trace.header->sampleInterval, 83);
    EXPECT_EQ(m_trace.header->carried188[0], 0x5A);
    ASSERT_EQ(m_trace.samples.size(), 7u) << "5 samples and the two spare values";
    for (double v : m_trace.samples)
        EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(m_trace.allocated);
}

TEST_F(ResizeZeroedTest, GrowingGivesZerosBeyondTheOldSamplesToo)
{
    m_trace.ResizeZeroed(1000);
    ASSERT_EQ(m_trace.samples.size(), 1002u);
    for (double v : m_trace.samples)
        EXPECT_EQ(v, 0.0);
}

TEST_F(ResizeZeroedTest, NextReAllocateSizesTheStorageForTheHeadersCount)
{
    m_trace.ResizeZeroed(70000);
    EXPECT_EQ(m_trace.numSamples, 70000u);
    EXPECT_EQ(m_trace.samples.size(), 70002u);
    m_trace.ReAllocate(); // as Read does with the next header
    EXPECT_EQ(m_trace.numSamples, 8u);
    EXPECT_GE(m_trace.samples.size(), 10u);
    EXPECT_EQ(m_trace.allocatedCount, 8);
}

TEST(ResizeZeroed, TraceWithoutHeaderGetsAZeroOne)
{
    CSegyTrace t;
    t.ResizeZeroed(70003);
    ASSERT_NE(t.header, nullptr);
    EXPECT_EQ(t.header->sampleCount, 4467) << "70003 modulo 65536";
    EXPECT_EQ(t.numSamples, 70003u);
    EXPECT_EQ(t.samples.size(), 70005u);
    t.ResizeZeroed(3);
    EXPECT_EQ(t.header->sampleCount, 4467) << "now it has a header of its own";
    EXPECT_TRUE(HeaderIsZeroApartFromSampleCount(*t.header));
    EXPECT_EQ(t.samples.size(), 5u);

    t.Delete(); // header released: a fresh one again
    t.ResizeZeroed(2);
    ASSERT_NE(t.header, nullptr);
    EXPECT_EQ(t.header->sampleCount, 2);
    EXPECT_EQ(t.samples.size(), 4u);
}

} // namespace
} // namespace tessara
