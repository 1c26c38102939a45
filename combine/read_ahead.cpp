#include "combine/read_ahead.h"

#include "segy/io/segy_file_in.h"

#include <atomic>
#include <exception>
#include <sched.h>
#include <utility>

namespace tessara
{

unsigned UsableProcessors()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    const int count = CPU_COUNT(&set);
    return count > 1 ? static_cast<unsigned>(count) : 1U;
}

namespace
{
std::atomic<unsigned> g_resamplingThreads{0};
} // namespace

unsigned ResamplingThreads()
{
    const unsigned set = g_resamplingThreads;
    return set > 0 ? set : UsableProcessors();
}

void SetResamplingThreads(unsigned threads)
{
    g_resamplingThreads = threads;
}

namespace
{

// Traces in flight per worker: enough that a worker finds the next trace
// read when it is done with one, few enough that memory stays small.
constexpr unsigned kTracesPerWorker = 4;

enum class SlotState {
    Free,    ///< the reading thread may fill it
    Read,    ///< read and decoded, waiting for a worker
    Working, ///< a worker has it
    Done,    ///< ready for the job (or the end of the input)
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

struct CResamplingReadAhead::Slot {
    SlotState state = SlotState::Free;
    std::uint64_t sequence = 0;
    bool end = false;              // no trace: the input ended
    std::exception_ptr readError;  // what the read threw, for the job to rethrow
    CSegyTrace trace;              // as read, samples decoded
    CSegyTrace result;             // the trace resampled, when tried
    bool tried = false;            // a worker resampled a copy of `trace`
    bool resampled = false;        // ... and the resampler said yes
    std::int16_t fromInterval = 0; // the header the result was made from
    std::uint16_t fromCount = 0;
};

CResamplingReadAhead::CResamplingReadAhead(CSegyFileIn& in,
                                           std::int32_t targetIntervalUs,
                                           unsigned workers)
    : m_in(in), m_target(targetIntervalUs)
{
    workers = workers > 0 ? workers : 1;
    for (unsigned k = 0; k < kTracesPerWorker * workers; ++k)
        m_slots.push_back(std::make_unique<Slot>());
    m_reader = std::thread([this] { ReadLoop(); });
    for (unsigned k = 0; k < workers; ++k)
        m_workers.emplace_back([this] { WorkLoop(); });
}

CResamplingReadAhead::~CResamplingReadAhead()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_reader.join();
    for (std::thread& worker : m_workers)
        worker.join();
}

CResamplingReadAhead::Slot& CResamplingReadAhead::SlotOf(std::uint64_t sequence)
{
    return *m_slots[static_cast<std::size_t>(sequence % m_slots.size())];
}

void CResamplingReadAhead::ReadLoop()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stop || SlotOf(m_read).state == SlotState::Free; });
        if (m_stop)
            return;
        Slot& slot = SlotOf(m_read);
        slot.sequence = m_read;
        lock.unlock();

        // Only this thread touches the slot until its state changes.
        slot.tried = false;
        try {
            const StoredSamples stored = m_in.ReadStored(slot.trace);
            slot.end = m_in.atEnd;
            if (!slot.end)
                m_in.DecodeStored(stored, slot.trace);
        } catch (...) {
            slot.readError = std::current_exception();
            slot.end = true;
        }

        lock.lock();
        slot.state = slot.end ? SlotState::Done : SlotState::Read;
        ++m_read;
        const bool end = slot.end;
        lock.unlock();
        m_changed.notify_all();
        if (end)
            return;
    }
}

void CResamplingReadAhead::WorkLoop()
{
    CTraceResampler resampler;
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // The oldest trace read first: the job waits for that one.
            m_changed.wait(lock, [this, &slot] {
                if (m_stop)
                    return true;
                for (const std::unique_ptr<Slot>& s : m_slots) {
                    if (s->state == SlotState::Read && (!slot || s->sequence < slot->sequence))
                        slot = s.get();
                }
                return slot != nullptr;
            });
            if (m_stop)
                return;
            slot->state = SlotState::Working;
        }

        const SegyHeaderType& h = *slot->trace.header;
        if (h.sampleInterval != m_target && h.sampleCount != 0) {
            try {
                slot->fromInterval = h.sampleInterval;
                slot->fromCount = h.sampleCount;
                slot->result.CopyHeaderFrom(slot->trace);
                slot->result.samples = slot->trace.samples;
                slot->result.numSamples = slot->trace.numSamples;
                slot->result.allocatedCount = slot->trace.allocatedCount;
                slot->result.allocated = true;
                slot->resampled = resampler.Resample(slot->result, m_target);
                slot->tried = true;
            } catch (...) {
                slot->tried = false; // the job resamples it itself
            }
        }

        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            slot->state = SlotState::Done;
        }
        m_changed.notify_all();
    }
}

bool CResamplingReadAhead::Next(CSegyTrace& trace)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // The trace delivered before is the job's own now: its slot is free.
    if (m_holding) {
        SlotOf(m_taken - 1).state = SlotState::Free;
        m_holding = false;
        m_changed.notify_all();
    }
    Slot& slot = SlotOf(m_taken);
    m_changed.wait(
        lock, [this, &slot] { return slot.sequence == m_taken && slot.state == SlotState::Done; });
    if (slot.end) {
        if (slot.readError)
            std::rethrow_exception(slot.readError);
        return false;
    }
    ++m_taken;
    m_holding = true;
    lock.unlock();
    SwapStorage(trace, slot.trace);
    return true;
}

bool CResamplingReadAhead::Resample(CSegyTrace& trace, CTraceResampler& resampler)
{
    if (m_holding && trace.header) {
        Slot& slot = SlotOf(m_taken - 1);
        SegyHeaderType& h = *trace.header;
        if (slot.tried && slot.fromInterval == h.sampleInterval &&
            slot.fromCount == h.sampleCount) {
            slot.tried = false;
            if (!slot.resampled)
                return false;
            // What the resampler leaves in the trace: the two fields and the
            // samples, nothing else.
            h.sampleInterval = slot.result.header->sampleInterval;
            h.sampleCount = slot.result.header->sampleCount;
            std::swap(trace.samples, slot.result.samples);
            trace.numSamples = slot.result.numSamples;
            trace.allocatedCount = slot.result.allocatedCount;
            trace.allocated = slot.result.allocated;
            return true;
        }
    }
    return resampler.Resample(trace, m_target);
}

} // namespace tessara
