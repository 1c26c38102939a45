#include "combine/read_ahead.h"

#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <utility>

namespace tessara
{

namespace
{

// Processors this process may run on (its affinity mask), at least 1.
unsigned UsableProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    const int count = CPU_COUNT(&set);
    return count > 1 ? static_cast<unsigned>(count) : 1U;
}

std::atomic<unsigned> g_resamplingThreads{0};
// More threads than this would only wait for the job's own thread, and hold
// memory while they wait.
constexpr unsigned kMaxResamplingThreads = 8;
} // namespace

unsigned ResamplingThreads()
{
    const unsigned set = g_resamplingThreads;
    return set > 0 ? set : std::min(UsableProcessors(), kMaxResamplingThreads);
}

void SetResamplingThreads(unsigned threads)
{
    g_resamplingThreads = threads;
}

namespace
{

// Batches in flight per worker, and the traces of a batch: enough that a
// worker finds the next batch read when it is done with one, few enough
// that memory stays small (a few megabytes for traces of 5000 samples).
constexpr unsigned kBatchesPerWorker = 3;
constexpr std::size_t kTracesPerBatch = 8;
// A batch of long traces ends sooner: after the trace that takes its
// decoded samples to this many bytes.
constexpr std::size_t kBatchBytes = 1 << 18;

enum class BatchState {
    Free,    ///< the reading thread may fill it
    Read,    ///< read and decoded, waiting for a worker
    Working, ///< a worker has it
    Done,    ///< ready for the job
};

void SwapStorage(CSegyTrace& a, CSegyTrace& b)
{
    std::swap(a.header, b.header);
    std::swap(a.samples, b.samples);
    std::swap(a.numSamples, b.numSamples);
    std::swap(a.allocatedCount, b.allocatedCount);
    std::swap(a.allocated, b.allocated);
    std::swap(a.tailLittleEndian, b.tailLittleEndian);
}

} // namespace

struct CResamplingReadAhead::Item {
    CSegyTrace trace;              // as read, samples decoded
    CSegyTrace result;             // the trace resampled, when tried
    bool tried = false;            // a worker resampled `trace` into `result`
    bool resampled = false;        // ... and the resampler said yes
    std::int16_t fromInterval = 0; // the header the result was made from
    std::uint16_t fromCount = 0;
};

struct CResamplingReadAhead::Batch {
    BatchState state = BatchState::Free;
    std::uint64_t sequence = 0;
    Item items[kTracesPerBatch];
    std::size_t count = 0;        // traces read into it
    bool end = false;             // the input ends after them
    std::exception_ptr readError; // what the read threw, for the job to rethrow
};

CResamplingReadAhead::CResamplingReadAhead(CSegyFileIn& in,
                                           std::int32_t targetIntervalUs,
                                           const std::vector<CTraceResampler*>& resamplers)
    : m_in(in), m_target(targetIntervalUs)
{
    for (std::size_t k = 0; k < kBatchesPerWorker * std::max<std::size_t>(resamplers.size(), 1);
         ++k)
        m_batches.push_back(std::make_unique<Batch>());
    m_reader = std::thread([this] { ReadLoop(); });
    for (CTraceResampler* resampler : resamplers)
        m_workers.emplace_back([this, resampler] { WorkLoop(*resampler); });
}

CResamplingReadAhead::~CResamplingReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_space.notify_all();
    m_work.notify_all();
    m_ready.notify_all();
    m_reader.join();
    for (std::thread& worker : m_workers)
        worker.join();
}

CResamplingReadAhead::Batch& CResamplingReadAhead::BatchOf(std::uint64_t sequence)
{
    return *m_batches[static_cast<std::size_t>(sequence % m_batches.size())];
}

void CResamplingReadAhead::ReadLoop()
{
    (void)pthread_setname_np(pthread_self(), "tessara-read");
    for (bool end = false; !end;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_space.wait(lock, [this] { return m_stop || BatchOf(m_read).state == BatchState::Free; });
        if (m_stop)
            return;
        Batch& batch = BatchOf(m_read);
        batch.sequence = m_read;
        lock.unlock();

        // Only this thread touches the batch until its state changes.
        batch.count = 0;
        batch.end = false;
        try {
            std::size_t bytes = 0;
            while (batch.count < kTracesPerBatch && bytes < kBatchBytes) {
                Item& item = batch.items[batch.count];
                item.tried = false;
                const StoredSamples stored = m_in.ReadStored(item.trace);
                if (m_in.atEnd) {
                    batch.end = true;
                    break;
                }
                m_in.DecodeStored(stored, item.trace);
                bytes += item.trace.samples.size() * sizeof(double);
                ++batch.count;
            }
        } catch (...) {
            batch.readError = std::current_exception();
            batch.end = true;
        }
        end = batch.end;

        lock.lock();
        batch.state = batch.count > 0 ? BatchState::Read : BatchState::Done;
        ++m_read;
        lock.unlock();
        if (batch.count > 0)
            m_work.notify_one();
        else
            m_ready.notify_one();
    }
}

void CResamplingReadAhead::WorkLoop(CTraceResampler& resampler)
{
    (void)pthread_setname_np(pthread_self(), "tessara-resamp");
    for (;;) {
        Batch* batch = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // The oldest batch read first: the job waits for that one.
            m_work.wait(lock, [this, &batch] {
                if (m_stop)
                    return true;
                for (const std::unique_ptr<Batch>& b : m_batches) {
                    if (b->state == BatchState::Read && (!batch || b->sequence < batch->sequence))
                        batch = b.get();
                }
                return batch != nullptr;
            });
            if (m_stop)
                return;
            batch->state = BatchState::Working;
        }

        for (std::size_t k = 0; k < batch->count; ++k) {
            Item& item = batch->items[k];
            const SegyHeaderType& h = *item.trace.header;
            if (h.sampleInterval == m_target || h.sampleCount == 0)
                continue;
            try {
                item.fromInterval = h.sampleInterval;
                item.fromCount = h.sampleCount;
                item.resampled = resampler.ResampleInto(item.trace, m_target, item.result);
                item.tried = true;
            } catch (...) {
                item.tried = false; // the job resamples it itself
            }
        }

        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            batch->state = BatchState::Done;
        }
        m_ready.notify_one();
    }
}

bool CResamplingReadAhead::Next(CSegyTrace& trace)
{
    if (m_current == nullptr || m_next == m_current->count) {
        if (m_current != nullptr && m_current->end) {
            if (m_current->readError)
                std::rethrow_exception(m_current->readError);
            return false;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        // The batch delivered before is the job's no longer: it is free.
        if (m_current != nullptr) {
            m_current->state = BatchState::Free;
            m_current = nullptr;
            m_space.notify_one();
        }
        Batch& batch = BatchOf(m_taken);
        m_ready.wait(lock, [this, &batch] {
            return batch.sequence == m_taken && batch.state == BatchState::Done;
        });
        ++m_taken;
        m_current = &batch;
        m_next = 0;
        if (batch.count == 0) {
            if (batch.readError)
                std::rethrow_exception(batch.readError);
            return false;
        }
    }
    SwapStorage(trace, m_current->items[m_next].trace);
    ++m_next;
    return true;
}

bool CResamplingReadAhead::PeekHeader(SegyHeaderType& header)
{
    if (m_current != nullptr && m_next < m_current->count) {
        header = *m_current->items[m_next].trace.header;
        return true;
    }
    if (m_current != nullptr && m_current->end)
        return false;
    // The batch after the current one has a slot of its own: there are at
    // least three, and only the current one is held.
    std::unique_lock<std::mutex> lock(m_mutex);
    Batch& batch = BatchOf(m_taken);
    m_ready.wait(lock, [this, &batch] {
        return batch.sequence == m_taken && batch.state == BatchState::Done;
    });
    if (batch.count == 0)
        return false;
    header = *batch.items[0].trace.header;
    return true;
}

bool CResamplingReadAhead::Resample(CSegyTrace& trace, CTraceResampler& resampler)
{
    if (m_current != nullptr && m_next > 0 && trace.header) {
        Item& item = m_current->items[m_next - 1];
        SegyHeaderType& h = *trace.header;
        if (item.tried && item.fromInterval == h.sampleInterval &&
            item.fromCount == h.sampleCount) {
            item.tried = false;
            if (!item.resampled)
                return false;
            // What the resampler leaves in the trace: the two fields and the
            // samples, nothing else. Copied, not swapped: each trace keeps
            // storage of its own size, and nothing is allocated per trace.
            const std::uint16_t m = item.result.header->sampleCount;
            try {
                trace.samples.reserve(static_cast<std::size_t>(m) + 2);
            } catch (const std::bad_alloc&) {
                return false;
            }
            h.sampleInterval = item.result.header->sampleInterval;
            h.sampleCount = m;
            trace.ReAllocate();
            std::copy_n(item.result.samples.begin(), m, trace.samples.begin());
            return true;
        }
    }
    return resampler.Resample(trace, m_target);
}

} // namespace tessara
