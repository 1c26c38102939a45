// One SEG-Y trace in memory: its 240-byte header in host byte order and its
// samples as 64-bit floats, whatever the file's encoding.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tessara
{

class CTraceResampler;

/// The storage rules are observable and other code relies on them:
///  - after Allocate or a resizing ReAllocate, `samples` holds numSamples + 2
///    values and header->sampleCount holds the low 16 bits of numSamples;
///  - ReAllocate keeps storage and values when the header's sampleCount equals
///    allocatedCount, the count the storage was last sized for (-1 at first).
class CSegyTrace
{
public:
    CSegyTrace();
    explicit CSegyTrace(std::uint32_t n);
    virtual ~CSegyTrace();

    CSegyTrace(const CSegyTrace&) = delete;
    CSegyTrace& operator=(const CSegyTrace&) = delete;

    /// Resets the bookkeeping: allocated false, numSamples 0, no samples.
    /// Leaves header and allocatedCount alone.
    void zero_class();
    /// Fresh all-zero header whose sampleCount is numSamples, and storage for
    /// numSamples + 2 samples (zero-filled).
    void Allocate();
    /// Resizes the sample storage to the header's sampleCount unless it was
    /// already sized for that count. Requires a header.
    void ReAllocate();
    /// Replaces header and samples: n samples, all-zero header.
    void SetN(std::uint32_t n);
    /// Storage for n samples (+2), all zero, numSamples n; an existing header
    /// is kept as it is, a missing one is made all-zero with sampleCount the
    /// low 16 bits of n. The next ReAllocate sizes the storage anew.
    void ResizeZeroed(std::uint32_t n);
    /// Releases header and samples; numSamples and allocatedCount stay.
    void Delete();
    /// Copies `other`'s 240-byte header (making one when this trace has none)
    /// and the byte order of its bytes 188-239 (tailLittleEndian); storage and
    /// numSamples are not touched; nothing happens when `other` has no header.
    /// Use it, not a plain header assignment, for a trace that is written
    /// with another trace's header (fill and pair traces).
    void CopyHeaderFrom(const CSegyTrace& other);

    /// Resamples the trace to `newIntervalUs` microseconds by cutting or
    /// zero-padding its spectrum (see trace/resample.h). Returns false and
    /// leaves the trace unchanged when either interval lies outside 1..32767 us
    /// or either count would be 0.
    [[nodiscard]] bool ReSample(double newIntervalUs);
    /// The same with a caller-owned resampler that caches FFT plans.
    [[nodiscard]] bool ReSample(double newIntervalUs, CTraceResampler& resampler);

    std::unique_ptr<SegyHeaderType> header;
    std::vector<double> samples;
    std::int32_t allocatedCount = -1;
    std::uint32_t numSamples = 0;
    bool allocated = false;
    /// Bytes 188-239 of the header are in little-endian order: the header was
    /// read from a little-endian file, which keeps them as they were in the file
    /// (as does a big-endian one). The writer reverses them by the standard's
    /// field widths so that the big-endian output holds them in its own order.
    bool tailLittleEndian = false;
};

} // namespace tessara
