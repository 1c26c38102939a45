// Internal to the trace library: the FFT backends behind CTraceResampler.
//
// Every backend computes the same operation, defined on GSL's half-complex
// layout of a real spectrum of length n:
//   h[0] = r0, h[2k-1] = rk, h[2k] = ik (1 <= k < n/2 or k <= (n-1)/2),
//   and for an even n, h[n-1] = r(n/2), the real Nyquist term.
// Resampling from n to m samples forward-transforms the n samples
// (unnormalised), keeps every element at the same index in the layout of the
// new length m (h'[i] = h[i] for i < min(n, m), 0 above), and inverse-
// transforms the m elements with a division by m. Two consequences of keeping
// the index are part of the result, not accidents of one library:
//  - an even n up-sampled: h[n-1] = r(n/2) becomes an ordinary real part of
//    the longer spectrum and its imaginary part h'[n] is 0, so the old Nyquist
//    term counts at +n/2 and -n/2;
//  - an even m: the inverse reads h'[m-1] as the Nyquist term and drops any
//    imaginary part at m/2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessara::detail
{

/// One FFT backend. Not thread-safe.
class IResampleEngine
{
public:
    virtual ~IResampleEngine() = default;

    /// Resamples in[0, n) to m values (see the layout rule above), n >= 1 and
    /// m >= 1. Returns engine-owned storage holding the m values, valid until
    /// the next call, or nullptr when an allocation or a transform failed.
    [[nodiscard]] virtual const double*
    Resample(const double* in, std::size_t n, std::size_t m) = 0;
};

/// GSL mixed-radix transforms; wavetables per length cached when `cachePlans`.
[[nodiscard]] std::unique_ptr<IResampleEngine> MakeGslEngine(bool cachePlans);
/// FFTW r2c/c2r transforms; plans per length cached when `cachePlans`.
/// Null when FFTW was not compiled in.
[[nodiscard]] std::unique_ptr<IResampleEngine> MakeFftwEngine(bool cachePlans);

/// Lengths whose FFT set-ups a cache keeps. A combine job meets a handful of
/// trace lengths; files whose length changes from trace to trace would
/// otherwise let the cache grow without bound.
constexpr std::size_t kMaxCachedLengths = 16;

/// A small least-recently-used cache of per-length FFT set-ups. `Entry` has a
/// `length`, a `lastUse` stamp and releases its resources in its destructor;
/// it must be movable. Lookups allocate nothing; only a new length may.
template <class Entry> class CLengthCache
{
public:
    /// With `enabled` false nothing is kept: every For hands out a fresh
    /// set-up for one call.
    explicit CLengthCache(bool enabled) : m_enabled(enabled) {}

    /// The set-up of `length`: the cached one, made and cached when missing,
    /// or, with caching off, `local` reset to that length for this call only.
    /// A later For may move cached entries, so the caller finishes with one
    /// set-up before asking for the next.
    Entry* For(std::size_t length, Entry& local)
    {
        if (!m_enabled) {
            local.length = length;
            return &local;
        }
        if (Entry* cached = Find(length))
            return cached;
        Entry fresh;
        fresh.length = length;
        return &Add(std::move(fresh));
    }

    /// The entry for `length`, or nullptr.
    Entry* Find(std::size_t length)
    {
        for (Entry& entry : m_entries)
            if (entry.length == length) {
                entry.lastUse = ++m_clock;
                return &entry;
            }
        return nullptr;
    }

    /// Stores `entry`, evicting the least recently used one when full.
    Entry& Add(Entry&& entry)
    {
        entry.lastUse = ++m_clock;
        if (m_entries.size() < kMaxCachedLengths) {
            m_entries.push_back(std::move(entry));
            return m_entries.back();
        }
        Entry* oldest = &m_entries.front();
        for (Entry& candidate : m_entries)
            if (candidate.lastUse < oldest->lastUse)
                oldest = &candidate;
        *oldest = std::move(entry);
        return *oldest;
    }

private:
    bool m_enabled;
    std::vector<Entry> m_entries;
    std::uint64_t m_clock = 0;
};

} // namespace tessara::detail
