#include "combine/output_file.h"

#include "segy/format/sample_codec.h"

#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tessara
{

COutputFile::COutputFile(std::string workingPath) : m_path(std::move(workingPath)) {}

bool COutputFile::Open(const CSegyFile& input,
                       std::uint16_t samplesPerTrace,
                       std::optional<std::uint16_t> sampleIntervalUs)
{
    m_traces = 0;
    m_fillTraces = 0;
    m_firstTraceTime = 0;
    m_delays.clear();
    m_delayBytes = kFileHeaderBytes;
    m_delaysExact = false;
    // The writer counts records of another length per file.
    m_otherLength += m_out.TracesOfOtherLength();
    if (!m_out.Open(m_path))
        return false;
    m_out.StartLike(input, samplesPerTrace);
    if (sampleIntervalUs)
        m_out.tapeHeader->binSampleInterval = *sampleIntervalUs;
    m_out.WriteHeader();
    // The histogram can stand for a read of the file only when the reader
    // walks the records as they were written, which it does when it takes as
    // many bytes per sample as the writer put.
    m_delaysExact = FileIdentity(m_path, m_device, m_inode) &&
                    ReaderBytesPerSample(m_out.formatCode) == m_out.bytesPerSample;
    return !m_out.bHasFailed();
}

bool COutputFile::Close()
{
    // Readers that go by the file header must not take such a file for one
    // of equal trace lengths.
    if (m_out.bIsOpen() && m_out.TracesOfOtherLength() > 0)
        m_out.MarkVariableLength();
    m_out.Close();
    return !m_out.bHasFailed();
}

void COutputFile::Discard()
{
    m_out.Close();
    std::error_code ignored; // already gone is as good as deleted
    std::filesystem::remove(m_path, ignored);
}

namespace
{

// Bytes of an integer sample format, 0 for the floating-point ones.
int IntegerBytes(std::int32_t format)
{
    switch (format) {
    case 2:
        return 4;
    case 3:
        return 2;
    case 8:
        return 1;
    default:
        return 0;
    }
}

// Samples of format `from` written in format `to` lose value: a float
// becomes an integer, or an integer a narrower one.
bool LosesSamples(std::int32_t from, std::int32_t to)
{
    const int fromBytes = IntegerBytes(from);
    const int toBytes = IntegerBytes(to);
    if (toBytes == 0)
        return false;
    return fromBytes == 0 || toBytes < fromBytes;
}

} // namespace

void COutputFile::BeginInput(std::uint32_t samplesPerTrace, std::int32_t inputFormat)
{
    m_lossyInput = LosesSamples(inputFormat, m_out.formatCode);
    m_traceCount = 0;
    m_averageInterval = 1.0;
    // Fill traces must always carry a real trace's header: the template
    // keeps the header of the last trace written in the job, and only its
    // storage follows this input's samples per trace.
    m_nullTrace.ResizeZeroed(samplesPerTrace);
}

void COutputFile::CountTrace(double time, double inputStart)
{
    if (m_traceCount > 1)
        m_averageInterval = (time - inputStart) / (m_traceCount - 1);
    ++m_traceCount;
}

bool COutputFile::WriteReal(const CSegyTrace& trace,
                            double time,
                            bool keepAsFillTemplate,
                            const StoredSamples* stored)
{
    if (!WriteRecord(trace, false, stored))
        return false;
    m_lastTraceTime = time;
    if (keepAsFillTemplate) {
        // Its samples are only ever zero, so they need clearing only when resized.
        const SegyHeaderType& h = *trace.header;
        if (!m_nullTrace.header || m_nullTrace.numSamples != h.sampleCount)
            m_nullTrace.SetN(h.sampleCount);
        m_nullTrace.CopyHeaderFrom(trace);
    }
    return true;
}

bool COutputFile::WriteFill(CSegyTrace& fill, std::int32_t count)
{
    SegyHeaderType& h = *fill.header;
    double t = m_lastTraceTime;
    for (std::int32_t k = 1; k <= count; ++k) {
        t += m_averageInterval;
        const CJobTimeScale::YearTime inYear = m_scale.InItsYear(t);
        if (inYear.year > m_scale.BaseYear())
            h.year = To16(inYear.year);
        const SplitTime split = SplitSecondsOfYear(inYear.secondsOfYear);
        const double second = std::trunc(split.seconds);
        const double millisecond = std::trunc((split.seconds - second) * 1000);
        // Through 64 bits: a double outside the 16-bit range must not be
        // converted to it directly.
        h.dayOfYear = To16(static_cast<std::int64_t>(split.day));
        h.hour = To16(static_cast<std::int64_t>(split.hour));
        h.minute = To16(static_cast<std::int64_t>(split.minute));
        h.second = To16(static_cast<std::int64_t>(second));
        h.millisecond = To16(static_cast<std::int64_t>(millisecond));
        ++m_traceCount;
        if (!WriteRecord(fill, true))
            return false;
    }
    return true;
}

std::int64_t COutputFile::RecordBytes(const SegyHeaderType& h) const
{
    return kTraceHeaderBytes + static_cast<std::int64_t>(h.sampleCount) * m_out.bytesPerSample;
}

void COutputFile::MarkCompleted()
{
    m_traces = 0;
    m_fillTraces = 0;
}

bool COutputFile::WriteRecord(const CSegyTrace& trace, bool isFill, const StoredSamples* stored)
{
    if (stored != nullptr)
        m_out.WriteStored(trace, *stored);
    else
        m_out.Write(trace);
    if (!isFill && m_lossyInput)
        ++m_lossy;
    // Counted even when the write failed: the trace then belongs to the
    // output that the failure leaves unfinished.
    if (isFill)
        ++m_fillTraces;
    else if (m_traces == m_fillTraces)
        m_firstTraceTime = m_scale.Seconds(*trace.header);
    ++m_traces;
    if (m_out.bHasFailed())
        return false;
    CountDelay(*trace.header);
    return true;
}

void COutputFile::CountDelay(const SegyHeaderType& h)
{
    ++m_delays[h.delayRecordingTime];
    m_delayBytes += RecordBytes(h);
    // A record without samples is read back with the file header's count of
    // samples: the file then reads as other traces than were written.
    if (h.sampleCount == 0)
        m_delaysExact = false;
}

std::optional<DelayHistogram> COutputFile::TakeDelayHistogram()
{
    DelayHistogram delays = std::move(m_delays);
    m_delays.clear();
    if (!m_delaysExact)
        return std::nullopt;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!FileIdentity(m_path, device, inode) || device != m_device || inode != m_inode)
        return std::nullopt;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(m_path, ec);
    if (ec || size != static_cast<std::uintmax_t>(m_delayBytes))
        return std::nullopt;
    return delays;
}

} // namespace tessara
