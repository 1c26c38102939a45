#include "combine/output_file.h"

#include "nav/navigation.h"
#include "nav/speed_correction.h"
#include "segy/format/sample_codec.h"

#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

namespace tessara
{

COutputRecords::COutputRecords(std::string workingPath) : m_path(std::move(workingPath)) {}

void COutputRecords::StartOutput(const CSegyFile& input,
                                 std::uint16_t samplesPerTrace,
                                 std::optional<std::uint16_t> sampleIntervalUs)
{
    m_state.traces = 0;
    m_state.fillTraces = 0;
    m_state.firstTraceTime = 0;
    m_state.bytes = kFileHeaderBytes;
    m_state.otherLength += m_state.otherLengthNow;
    m_state.otherLengthNow = 0;
    m_out.StartLike(input, samplesPerTrace);
    if (sampleIntervalUs)
        m_out.tapeHeader->binSampleInterval = *sampleIntervalUs;
}

void COutputTally::Open(const CSegyFile& input,
                        std::uint16_t samplesPerTrace,
                        std::optional<std::uint16_t> sampleIntervalUs)
{
    StartOutput(input, samplesPerTrace, sampleIntervalUs);
    m_fixes.clear();
    m_delays.clear();
    m_bytesByDelay.clear();
    m_recordDelays.clear();
    m_recordSizes.clear();
    // The encoding WriteHeader would take, for the sizes of the records.
    m_out.SetFormat(m_out.tapeHeader->binFormatCode);
    m_open = true;
}

bool COutputFile::Open(const CSegyFile& input,
                       std::uint16_t samplesPerTrace,
                       std::optional<std::uint16_t> sampleIntervalUs)
{
    m_written = 0;
    m_removed = 0;
    if (m_edits.correction != nullptr)
        m_selection =
            CCorrectedSelection(m_edits.correction->fixes, m_edits.correction->spacingMetres);
    if (!m_file.OpenAt(Path()))
        return false;
    StartOutput(input, samplesPerTrace, sampleIntervalUs);
    m_out.WriteHeader();
    return !m_out.bHasFailed();
}

bool COutputFile::Close()
{
    // Readers that go by the file header must not take such a file for one
    // of equal trace lengths.
    if (m_out.bIsOpen() && OtherLengthNow() > 0)
        m_out.MarkVariableLength();
    m_out.Close();
    return !m_out.bHasFailed();
}

void COutputFile::Discard()
{
    m_file.Abandon();
}

bool COutputFile::Finish(const std::string& path)
{
    return m_file.Finish(path) == CSegyFinishingWriter::Finished::Done;
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

void COutputRecords::BeginInput(std::uint32_t samplesPerTrace, std::int32_t inputFormat)
{
    m_state.lossyInput = LosesSamples(inputFormat, m_out.formatCode);
    // Fill traces must always carry a real trace's header: the template
    // keeps the header of the last trace written in the job, and only its
    // storage follows this input's samples per trace.
    m_nullTrace.ResizeZeroed(samplesPerTrace);
}

bool COutputRecords::WriteReal(const CSegyTrace& trace,
                               double time,
                               bool keepAsFillTemplate,
                               const StoredSamples* stored)
{
    if (!WriteRecord(trace, false, stored))
        return false;
    m_state.lastTraceTime = time;
    if (keepAsFillTemplate) {
        // Its samples are only ever zero, so they need clearing only when resized.
        const SegyHeaderType& h = *trace.header;
        if (!m_nullTrace.header || m_nullTrace.numSamples != h.sampleCount)
            m_nullTrace.SetN(h.sampleCount);
        m_nullTrace.CopyHeaderFrom(trace);
    }
    return true;
}

bool COutputRecords::WriteFill(CSegyTrace& fill, std::int32_t count, double interval)
{
    SegyHeaderType& h = *fill.header;
    // Each fill trace starts from the last trace's header, whatever position
    // the one before it took, and the template keeps it for the next gap.
    const SegyHeaderType recorded = h;
    double t = m_state.lastTraceTime;
    for (std::int32_t k = 1; k <= count; ++k) {
        t += interval;
        h = recorded;
        const CJobTimeScale::YearTime inYear = m_state.scale.InItsYear(t);
        if (inYear.year > m_state.scale.BaseYear())
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
        if (m_positions)
            (void)m_positions->Apply(h, t, m_state.scale); // without one it keeps the last trace's
        if (!WriteRecord(fill, true)) {
            h = recorded;
            return false;
        }
    }
    h = recorded;
    return true;
}

std::int64_t COutputRecords::RecordBytes(const SegyHeaderType& h) const
{
    return static_cast<std::int64_t>(m_out.RecordBytes(h));
}

void COutputRecords::MarkCompleted()
{
    m_state.traces = 0;
    m_state.fillTraces = 0;
}

bool COutputRecords::WriteRecord(const CSegyTrace& trace, bool isFill, const StoredSamples* stored)
{
    const SegyHeaderType& h = *trace.header;
    const std::int64_t bytes = RecordBytes(h);
    const bool written = Record(trace, stored, m_state.traces, bytes);
    if (!isFill && m_state.lossyInput)
        ++m_state.lossy;
    if (h.sampleCount != m_out.tapeHeader->binSamplesPerTrace)
        ++m_state.otherLengthNow;
    // Counted even when the write failed: the trace then belongs to the
    // output that the failure leaves unfinished.
    if (isFill)
        ++m_state.fillTraces;
    else if (m_state.traces == m_state.fillTraces)
        m_state.firstTraceTime = m_state.scale.Seconds(h);
    ++m_state.traces;
    m_state.bytes += bytes;
    return written;
}

bool COutputTally::Record(const CSegyTrace& trace,
                          const StoredSamples* /*stored*/,
                          std::int64_t record,
                          std::int64_t bytes)
{
    const SegyHeaderType& h = *trace.header;
    ++m_delays[h.delayRecordingTime];
    m_bytesByDelay[h.delayRecordingTime] += bytes;
    if (m_keepFixes) {
        (void)AddFixOfHeader(m_fixes, h, record, static_cast<std::int32_t>(record + 1));
        m_recordDelays.push_back(h.delayRecordingTime);
        m_recordSizes.push_back(bytes);
    }
    return true;
}

bool COutputFile::Record(const CSegyTrace& trace,
                         const StoredSamples* stored,
                         std::int64_t record,
                         std::int64_t /*bytes*/)
{
    Emit(trace, stored, record);
    return !m_out.bHasFailed();
}

std::int64_t COutputTally::DecidedBytes(const OutputEdits& edits) const
{
    std::int64_t bytes = kFileHeaderBytes;
    if (edits.correction == nullptr) {
        for (const auto& [delay, delayBytes] : m_bytesByDelay)
            if (!edits.delays.Drops(delay))
                bytes += delayBytes;
        return bytes;
    }
    CCorrectedSelection selection(edits.correction->fixes, edits.correction->spacingMetres);
    for (CCorrectedSelection::Entry e; selection.Peek(e); selection.Advance()) {
        const auto k = static_cast<std::size_t>(e.record);
        if (e.record >= 0 && k < m_recordSizes.size() && !edits.delays.Drops(m_recordDelays[k]))
            bytes += m_recordSizes[k];
    }
    return bytes;
}

void COutputFile::Emit(const CSegyTrace& trace, const StoredSamples* stored, std::int64_t record)
{
    const SpeedCorrectionPlan* correction = m_edits.correction;
    if (correction == nullptr) {
        if (m_edits.delays.Drops(trace.header->delayRecordingTime)) {
            ++m_removed;
            return;
        }
        m_out.WriteWithHeader(trace, *trace.header, stored);
        ++m_written;
        return;
    }
    // The record is written as often as the selection takes it, each time
    // with the header of the point it stands for, and encoded each time
    // straight into the writer's buffer: repeats are few, and a copy of
    // every record would cost more than encoding the odd one again.
    CCorrectedSelection::Entry e;
    for (; m_selection.Peek(e) && e.record <= record; m_selection.Advance()) {
        if (e.record < record)
            continue;
        SegyHeaderType h = *trace.header;
        if (e.between)
            InterpolateHeader(h, *e.a, *e.b, e.f);
        if (m_edits.delays.Drops(h.delayRecordingTime)) {
            ++m_removed;
            continue;
        }
        // Stored samples of the wrong size mark the writer as failed here as
        // anywhere.
        m_out.WriteWithHeader(trace, h, stored);
        ++m_written;
        if (m_out.bHasFailed())
            return;
    }
}

} // namespace tessara
