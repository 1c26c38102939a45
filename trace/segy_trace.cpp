#include "segy_trace.h"

namespace tessara
{

CSegyTrace::CSegyTrace()
{
    zero_class();
}

CSegyTrace::CSegyTrace(std::uint32_t n)
{
    zero_class();
    numSamples = n;
    Allocate();
}

CSegyTrace::~CSegyTrace()
{
    Delete();
}

void CSegyTrace::zero_class()
{
    allocated = false;
    numSamples = 0;
    samples.clear();
    samples.shrink_to_fit();
}

void CSegyTrace::Allocate()
{
    header = std::make_unique<SegyHeaderType>();
    header->sampleCount = static_cast<std::uint16_t>(numSamples);
    samples.assign(static_cast<std::size_t>(numSamples) + 2, 0.0);
    allocated = true;
}

void CSegyTrace::ReAllocate()
{
    // The storage must really be of that size too: SetN resizes it without
    // touching allocatedCount, and trusting the count alone would then let a
    // reader fill more samples than were allocated. Delete releases the
    // storage but keeps both counts, so the storage itself is checked as well.
    if (allocatedCount == header->sampleCount && numSamples == header->sampleCount &&
        samples.size() >= static_cast<std::size_t>(numSamples) + 2)
        return;
    numSamples = header->sampleCount;
    // resize keeps the capacity, so a reader that alternates between a few
    // trace lengths stops allocating after the first of each.
    samples.resize(static_cast<std::size_t>(numSamples) + 2);
    allocated = true;
    allocatedCount = header->sampleCount;
}

void CSegyTrace::SetN(std::uint32_t n)
{
    samples.clear();
    header.reset();
    numSamples = n;
    Allocate();
}

void CSegyTrace::ResizeZeroed(std::uint32_t n)
{
    if (!header) {
        header = std::make_unique<SegyHeaderType>();
        header->sampleCount = static_cast<std::uint16_t>(n);
    }
    samples.assign(static_cast<std::size_t>(n) + 2, 0.0);
    numSamples = n;
    allocated = true;
    allocatedCount = -1;
}

void CSegyTrace::CopyHeaderFrom(const CSegyTrace& other)
{
    if (!other.header)
        return;
    if (!header)
        header = std::make_unique<SegyHeaderType>();
    *header = *other.header;
    tailLittleEndian = other.tailLittleEndian;
}

void CSegyTrace::Delete()
{
    if (allocated) {
        samples.clear();
        samples.shrink_to_fit();
        header.reset();
    }
    allocated = false;
}

} // namespace tessara
