// Reading an input ahead of the job, with its resampling done on every core.
#pragma once

#include "trace/resample.h"
#include "trace/segy_trace.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tessara
{

class CSegyFileIn;

/// Threads a job resamples on: the processors this process may run on (its
/// affinity mask), up to 8, unless set otherwise for the whole process with
/// SetResamplingThreads (0 goes back to that). One means resampling trace by
/// trace on the job's own thread.
[[nodiscard]] unsigned ResamplingThreads();
/// For comparing the two ways of resampling: jobs started from now on use
/// `threads` resampling threads.
void SetResamplingThreads(unsigned threads);

/// Reads an open input on a thread of its own and resamples its traces on
/// worker threads while the job works on the traces before them. The job
/// takes the traces one by one in file order (Next) and decides everything
/// about them itself, in the order it always has; only the samples of a
/// trace it resamples have been worked out ahead (Resample). So the output
/// and the log are those of reading and resampling trace by trace. At most
/// a few batches of traces per worker are in memory at once, whatever the
/// input's size.
class CResamplingReadAhead
{
public:
    /// Starts reading `in` at its current position. Traces whose interval
    /// differs from `targetIntervalUs` are resampled to it ahead of time, by
    /// one worker thread per resampler in `resamplers` (at least one; they
    /// outlive this object, so that their FFT set-ups serve a whole job).
    /// `in` belongs to the reading thread until this object is destroyed.
    CResamplingReadAhead(CSegyFileIn& in,
                         std::int32_t targetIntervalUs,
                         const std::vector<CTraceResampler*>& resamplers);
    /// Stops the threads, waiting for the trace each is working on.
    ~CResamplingReadAhead();
    CResamplingReadAhead(const CResamplingReadAhead&) = delete;
    CResamplingReadAhead& operator=(const CResamplingReadAhead&) = delete;

    /// The next trace in file order into `trace`: header and byte order of
    /// its tail as CSegyFileIn::Read gives them, samples decoded. False, with
    /// `trace` untouched, at the end of the input.
    [[nodiscard]] bool Next(CSegyTrace& trace);
    /// The header of the trace the next Next delivers, waiting for it to be
    /// read; false at the end of the input.
    [[nodiscard]] bool PeekHeader(SegyHeaderType& header);
    /// Resamples `trace`, the one the last Next delivered, to the target
    /// interval exactly as `resampler` would (CTraceResampler::Resample, the
    /// same result and the same failures): with the result worked out ahead
    /// when it was made from the header `trace` has now, by `resampler` itself
    /// otherwise.
    [[nodiscard]] bool Resample(CSegyTrace& trace, CTraceResampler& resampler);

private:
    struct Item;
    struct Batch;

    void ReadLoop();
    void WorkLoop(CTraceResampler& resampler);
    /// The batch holding batch number `sequence`.
    [[nodiscard]] Batch& BatchOf(std::uint64_t sequence);

    CSegyFileIn& m_in;
    const std::int32_t m_target;
    // Traces travel in batches, so that the threads meet once per batch
    // rather than once per trace.
    std::vector<std::unique_ptr<Batch>> m_batches;

    std::mutex m_mutex;
    std::condition_variable m_space; // a batch was freed: for the reading thread
    std::condition_variable m_work;  // a batch was read: for the workers
    std::condition_variable m_ready; // a batch is done: for the job
    std::uint64_t m_read = 0;        // batches the reading thread has started
    std::uint64_t m_taken = 0;       // batches the job has started on
    Batch* m_current = nullptr;      // the one it takes traces from
    std::size_t m_next = 0;          // the next trace of it to deliver
    bool m_stop = false;

    std::thread m_reader;
    std::vector<std::thread> m_workers;
};

} // namespace tessara
