#include "segy_file_in.h"

#include "segy/sample_codec.h"

#include <chrono>
#include <cstring>
#include <sys/types.h>

namespace tessara
{

CSegyFileIn::~CSegyFileIn()
{
    Close();
}

void CSegyFileIn::Close()
{
    if (m_file != nullptr) {
        (void)std::fclose(m_file); // a read-only stream has nothing to flush
        m_file = nullptr;
    }
}

bool CSegyFileIn::Seek(std::int64_t position)
{
    return m_file != nullptr && position >= 0 &&
           fseeko(m_file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool CSegyFileIn::Open(const std::string& path)
{
    Close();
    isValid = false;
    constantLength = false;
    textIsEbcdic = false;
    atEnd = true; // nothing can be read until Open succeeds
    currentTrace = 0;

    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr)
        return false;
    if (!m_streamBuffer)
        m_streamBuffer = std::make_unique<char[]>(kStreamBufferBytes);
    (void)std::setvbuf(m_file, m_streamBuffer.get(), _IOFBF, kStreamBufferBytes);

    std::int64_t size = -1;
    if (fseeko(m_file, 0, SEEK_END) == 0)
        size = ftello(m_file);
    SegyTapeHeaderType fileHeader;
    if (size < kFileHeaderBytes || !Seek(0) ||
        std::fread(&fileHeader, 1, kFileHeaderBytes, m_file) != kFileHeaderBytes) {
        Close();
        return false;
    }
    byteCount = size;

    const bool isEbcdic = CheckEBCDIC(fileHeader.textHeader);
    const bool swap = IsBigEndianFileHeader(reinterpret_cast<const unsigned char*>(&fileHeader));
    if (swap)
        SwapFileHeader(fileHeader);

    std::uint32_t spt = fileHeader.binSamplesPerTrace;
    auto interval = static_cast<std::int16_t>(fileHeader.binSampleInterval);
    SegyHeaderType first;
    if (std::fread(&first, 1, kTraceHeaderBytes, m_file) == kTraceHeaderBytes) {
        if (swap)
            SwapHeader(first);
        // The first trace is closer to the truth than a binary header that
        // recorders often leave stale.
        if (first.sampleCount != 0 && first.sampleCount != fileHeader.binSamplesPerTrace) {
            spt = first.sampleCount;
            fileHeader.binSamplesPerTrace = first.sampleCount;
        }
        if (first.sampleInterval != 0 &&
            static_cast<std::uint16_t>(first.sampleInterval) != fileHeader.binSampleInterval) {
            interval = first.sampleInterval;
            fileHeader.binSampleInterval = static_cast<std::uint16_t>(first.sampleInterval);
        }
    }

    *tapeHeader = fileHeader;
    textIsEbcdic = isEbcdic;
    swapBytes = swap;
    formatCode = fileHeader.binFormatCode;
    samplesPerTrace = spt;
    sampleIntervalUs = interval;
    bytesPerSample = ReaderBytesPerSample(formatCode);
    if (bytesPerSample == 0) {
        Close();
        return false;
    }
    isValid = true;
    CheckIfConstantLengthTrace();
    return true;
}

void CSegyFileIn::Rewind()
{
    if (m_file != nullptr) {
        std::clearerr(m_file);
        (void)Seek(kFileHeaderBytes); // a failed seek shows as atEnd on the next Read
    }
    atEnd = !isValid;
    currentTrace = 0;
}

void CSegyFileIn::CheckIfConstantLengthTrace()
{
    traceLength = static_cast<std::int64_t>(bytesPerSample) * samplesPerTrace + kTraceHeaderBytes;
    traceCount = (byteCount - kFileHeaderBytes) / traceLength;
    constantLength = false; // Read must not seek while the test runs

    CSegyTrace scratch(samplesPerTrace);
    bool constant = true;
    Rewind();
    for (int i = 0; i < 100; ++i) {
        Read(scratch, -1);
        if (atEnd)
            break;
        if (scratch.header->sampleCount != tapeHeader->binSamplesPerTrace) {
            constant = false;
            break;
        }
    }
    // One trace near the end, by the size arithmetic. A file of fewer than two
    // traces has no second-to-last trace and is not taken as constant-length.
    if (constant) {
        Rewind();
        if (traceCount < 2 || !Seek(kFileHeaderBytes + (traceCount - 2) * traceLength)) {
            constant = false;
        } else {
            Read(scratch, -1);
            if (atEnd || scratch.header->sampleCount != tapeHeader->binSamplesPerTrace)
                constant = false;
        }
    }
    constantLength = constant;
    Rewind();
}

bool CSegyFileIn::SkipToTrace(std::int64_t index)
{
    if (index >= 0 && constantLength) {
        currentTrace = index;
        // Past the end Read finds atEnd, but only if the seek happened: an
        // offset that overflows, or one the system refuses, must not leave the
        // read at the old position and deliver the wrong trace.
        if (index > (INT64_MAX - kFileHeaderBytes) / traceLength)
            return false;
        return Seek(kFileHeaderBytes + index * traceLength);
    }
    return true;
}

void CSegyFileIn::SetTraceNullsWithSensibleValues(SegyHeaderType& h) const
{
    if (h.sampleCount == 0)
        h.sampleCount = tapeHeader->binSamplesPerTrace;
    if (h.sampleInterval == 0)
        h.sampleInterval = static_cast<std::int16_t>(tapeHeader->binSampleInterval);
}

void CSegyFileIn::Read(CSegyTrace& trace, std::int64_t index)
{
    atEnd = false;
    if (!isValid || m_file == nullptr) {
        atEnd = true;
        return;
    }
    if (!SkipToTrace(index)) {
        atEnd = true;
        return;
    }

    // Everything is read into locals first and committed to the trace only
    // when the record is complete.
    SegyHeaderType h;
    if (std::fread(&h, 1, kTraceHeaderBytes, m_file) != kTraceHeaderBytes) {
        atEnd = true;
        return;
    }
    if (swapBytes)
        SwapHeader(h);
    SetTraceNullsWithSensibleValues(h);
    if (h.coordinateUnits == 0)
        h.coordinateUnits = 1;

    const std::size_t n = h.sampleCount;
    const std::size_t rawBytes = n * static_cast<std::size_t>(bytesPerSample);
    if (m_raw.size() < rawBytes)
        m_raw.resize(rawBytes);
    if (rawBytes > 0 && std::fread(m_raw.data(), 1, rawBytes, m_file) != rawBytes) {
        atEnd = true;
        return;
    }

    const std::int16_t s = h.sampleInterval;
    const std::int16_t f = sampleIntervalUs;
    if (s != f && (s <= 0 || s > 10 * static_cast<std::int32_t>(f)))
        h.sampleInterval = f;

    if (!trace.header)
        trace.header = std::make_unique<SegyHeaderType>();
    *trace.header = h;
    trace.ReAllocate();
    (void)DecodeSamples(formatCode,
                        m_raw.data(),
                        static_cast<std::int64_t>(n),
                        swapBytes,
                        trace.samples.data()); // formatCode was checked by Open
    ++currentTrace;
}

bool CSegyFileIn::sensibleHeaderValues(const CSegyTrace& trace)
{
    if (!trace.header)
        return false;
    const SegyHeaderType& h = *trace.header;
    // Recorders of today write this year; the bound follows the calendar.
    static const int latestYear = [] {
        const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
        return static_cast<int>(std::chrono::year_month_day(today).year()) + 1;
    }();
    return h.sampleCount >= 250 && h.sampleCount <= 10000 && h.sampleInterval >= 0 &&
           h.year >= 1990 && h.year <= latestYear && h.dayOfYear >= 0 && h.dayOfYear <= 366 &&
           h.hour >= 0 && h.hour <= 24 && h.minute >= 0 && h.minute <= 59 && h.second >= 0 &&
           h.second <= 59 && h.millisecond >= 0 && h.millisecond <= 999 && h.coordinateUnits >= 0 &&
           h.coordinateUnits <= 10 && h.delayRecordingTime >= 0 && h.delayRecordingTime <= 10000;
}

} // namespace tessara
