#include "segy_file_in.h"

#include "segy/format/sample_codec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit for files of 2 GiB and more");

namespace tessara
{

namespace
{

// pread that is not cut short by a signal: bytes read, 0 at the end of the
// file, -1 on an error.
ssize_t ReadAt(int fd, unsigned char* to, std::size_t n, std::int64_t offset)
{
    for (;;) {
        const ssize_t got = ::pread(fd, to, n, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace

CSegyFileIn::~CSegyFileIn()
{
    Close();
}

void CSegyFileIn::Close()
{
    if (m_fd >= 0) {
        (void)::close(m_fd); // a read-only descriptor has nothing to flush
        m_fd = -1;
    }
    m_head = 0;
    m_tail = 0;
    m_tailOffset = 0;
    m_eof = false;
    m_lastRecordBytes = 0;
}

bool CSegyFileIn::Seek(std::int64_t position)
{
    if (m_fd < 0 || position < 0)
        return false;
    m_eof = false;
    // A position inside the buffered bytes is reached without a system call:
    // the constant-length test and reads by index often land there.
    const std::int64_t bufferStart = m_tailOffset - static_cast<std::int64_t>(m_tail);
    if (position >= bufferStart && position <= m_tailOffset) {
        m_head = static_cast<std::size_t>(position - bufferStart);
        return true;
    }
    m_head = 0;
    m_tail = 0;
    m_tailOffset = position;
    return true;
}

bool CSegyFileIn::Fill(std::size_t need)
{
    if (m_tail - m_head >= need)
        return true;
    if (m_eof)
        return false;
    if (m_head > 0) {
        // The start of a record that straddles the buffer's end moves to the
        // front so that the record is whole in the buffer after the refill.
        std::memmove(m_buffer.get(), m_buffer.get() + m_head, m_tail - m_head);
        m_tail -= m_head;
        m_head = 0;
    }
    while (m_tail < need) {
        const ssize_t got =
            ReadAt(m_fd, m_buffer.get() + m_tail, kBufferBytes - m_tail, m_tailOffset);
        if (got <= 0) {
            // A read error ends this Read only; the end of the file is kept.
            m_eof = got == 0;
            return false;
        }
        m_tail += static_cast<std::size_t>(got);
        m_tailOffset += got;
    }
    return true;
}

bool CSegyFileIn::ReadLargeRecord(std::size_t rawBytes)
{
    if (m_raw.size() < rawBytes)
        m_raw.resize(rawBytes);
    // The buffer holds the header (Fill made sure) and perhaps some samples.
    const std::size_t buffered = m_tail - m_head - kTraceHeaderBytes;
    std::memcpy(m_raw.data(), m_buffer.get() + m_head + kTraceHeaderBytes, buffered);
    std::size_t have = buffered;
    std::int64_t offset = m_tailOffset;
    while (have < rawBytes) {
        if (m_eof)
            return false;
        const ssize_t got = ReadAt(m_fd, m_raw.data() + have, rawBytes - have, offset);
        if (got <= 0) {
            m_eof = got == 0;
            return false;
        }
        have += static_cast<std::size_t>(got);
        offset += got;
    }
    m_head = 0;
    m_tail = 0;
    m_tailOffset = offset;
    return true;
}

bool CSegyFileIn::Open(const std::string& path)
{
    Close();
    // Whatever happens below, the reader delivers nothing until Open succeeds.
    isValid = false;
    atEnd = true;
    currentTrace = 0;

    SegyOpenError error;
    const auto fail = [&](SegyOpenReason reason) {
        error.reason = reason;
        m_error = error;
        Close();
        return false;
    };

    // O_NONBLOCK so that a FIFO without a writer, or a device, cannot hold the
    // open; such files are refused before anything is read from them.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        error.errorNumber = errno;
        return fail(errno == ENOENT || errno == ENOTDIR ? SegyOpenReason::NoSuchFile
                    : errno == EACCES || errno == EPERM ? SegyOpenReason::PermissionDenied
                                                        : SegyOpenReason::CannotOpen);
    }
    struct stat info {
    };
    if (::fstat(m_fd, &info) != 0) {
        error.errorNumber = errno;
        return fail(SegyOpenReason::ReadError);
    }
    if (!S_ISREG(info.st_mode))
        return fail(SegyOpenReason::NotRegularFile);
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags == -1 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        error.errorNumber = errno;
        return fail(SegyOpenReason::CannotOpen);
    }
    const std::int64_t size = info.st_size;
    error.fileBytes = size;
    if (size < kFileHeaderBytes)
        return fail(SegyOpenReason::TooShort);
    if (!m_buffer)
        m_buffer = std::make_unique<unsigned char[]>(kBufferBytes);
    // Reads run front to back: a larger read-ahead window. Only a hint.
    (void)::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    errno = 0;
    if (!Seek(0) || !Fill(kFileHeaderBytes)) {
        // A file that shrank since fstat reads short without an errno.
        error.errorNumber = errno;
        return fail(errno != 0 ? SegyOpenReason::ReadError : SegyOpenReason::TooShort);
    }
    SegyTapeHeaderType fileHeader;
    std::memcpy(&fileHeader, m_buffer.get() + m_head, kFileHeaderBytes);
    m_head += kFileHeaderBytes;

    const bool isEbcdic = CheckEBCDIC(fileHeader.textHeader);
    const bool swap = IsBigEndianFileHeader(reinterpret_cast<const unsigned char*>(&fileHeader));
    if (swap)
        SwapFileHeader(fileHeader);
    error.formatCode = fileHeader.binFormatCode;
    error.extendedHeaders = fileHeader.binExtendedHeaders;
    const std::int32_t bps = ReaderBytesPerSample(fileHeader.binFormatCode);
    if (bps == 0)
        return fail(SegyOpenReason::UnsupportedFormat);

    // Extended text headers exist from revision 1 on; in a revision-0 file
    // those bytes are unassigned and may hold anything.
    std::int64_t dataStart = kFileHeaderBytes;
    FirstTraceSource placement = FirstTraceSource::FileHeader;
    const std::int64_t afterExtended =
        kFileHeaderBytes + std::int64_t{kTextHeaderBytes} * fileHeader.binExtendedHeaders;
    if (SegyRevisionAtLeast1(fileHeader)) {
        if (fileHeader.binExtendedHeaders < 0)
            return fail(SegyOpenReason::ExtendedHeaders); // -1: ended by a stanza, not read
        dataStart = afterExtended;
        if (size < dataStart)
            return fail(SegyOpenReason::TooShort);
        if (fileHeader.binExtendedHeaders > 0)
            placement = FirstTraceSource::ExtendedHeaders;
    } else if (fileHeader.binExtendedHeaders > 0) {
        // Writers that put extended headers into a file they call revision 0
        // exist. Only the file length tells such a file from one whose
        // unassigned bytes happen to hold a count.
        placement = FirstTraceSource::Revision0ExtendedHeadersNotSkipped;
        if (!WholeRecordsFrom(kFileHeaderBytes, fileHeader, swap, bps, size) &&
            WholeRecordsFrom(afterExtended, fileHeader, swap, bps, size)) {
            dataStart = afterExtended;
            placement = FirstTraceSource::Revision0ExtendedHeaders;
        }
    }

    const std::uint32_t binarySamples = fileHeader.binSamplesPerTrace;
    std::uint32_t spt = binarySamples;
    std::uint32_t firstSamples = 0;
    SampleCountSource source = SampleCountSource::BinaryHeader;
    auto interval = static_cast<std::int16_t>(fileHeader.binSampleInterval);
    SegyHeaderType first;
    if (Seek(dataStart) && Fill(kTraceHeaderBytes)) {
        std::memcpy(&first, m_buffer.get() + m_head, kTraceHeaderBytes);
        if (swap)
            SwapHeader(first);
        firstSamples = first.sampleCount;
        // A trace count is whole when the bytes after the headers are an exact
        // number of records of that many samples.
        const auto whole = [&](std::uint32_t n) {
            const std::int64_t record = kTraceHeaderBytes + std::int64_t{bps} * n;
            return n > 0 && (size - dataStart) % record == 0;
        };
        if (firstSamples == 0) {
            source = SampleCountSource::BinaryHeader;
        } else if (firstSamples == binarySamples) {
            source = SampleCountSource::BinaryHeaderAndFirstTrace;
        } else if (!whole(firstSamples) && whole(binarySamples)) {
            // Writers that leave the trace headers' count stale exist; the file
            // length decides between the two.
            source = SampleCountSource::BinaryHeaderFitsFileLength;
        } else {
            // The first trace is closer to the truth than a binary header that
            // recorders often leave stale.
            source = SampleCountSource::FirstTrace;
            spt = firstSamples;
            fileHeader.binSamplesPerTrace = first.sampleCount;
        }
        if (first.sampleInterval != 0 &&
            static_cast<std::uint16_t>(first.sampleInterval) != fileHeader.binSampleInterval) {
            interval = first.sampleInterval;
            fileHeader.binSampleInterval = static_cast<std::uint16_t>(first.sampleInterval);
        }
    }

    // Every check has passed: from here on the object describes this file.
    m_error = SegyOpenError{};
    *tapeHeader = fileHeader;
    textIsEbcdic = isEbcdic;
    swapBytes = swap;
    formatCode = fileHeader.binFormatCode;
    samplesPerTrace = spt;
    sampleIntervalUs = interval;
    bytesPerSample = bps;
    byteCount = size;
    m_countSource = source;
    m_binarySamples = binarySamples;
    m_firstTraceSamples = firstSamples;
    m_dataStart = dataStart;
    m_firstTraceSource = placement;
    m_forceSampleCount = source == SampleCountSource::BinaryHeaderFitsFileLength;
    isValid = true;
    CheckIfConstantLengthTrace();
    return true;
}

bool CSegyFileIn::WholeRecordsFrom(std::int64_t offset,
                                   const SegyTapeHeaderType& fileHeader,
                                   bool swap,
                                   std::int32_t bps,
                                   std::int64_t size)
{
    if (size - offset < kTraceHeaderBytes || !Seek(offset) || !Fill(kTraceHeaderBytes))
        return false;
    SegyHeaderType h;
    std::memcpy(&h, m_buffer.get() + m_head, kTraceHeaderBytes);
    if (swap)
        SwapHeader(h);
    const std::uint32_t samples =
        h.sampleCount != 0 ? h.sampleCount : fileHeader.binSamplesPerTrace;
    const std::int64_t record = kTraceHeaderBytes + std::int64_t{bps} * samples;
    return (size - offset) % record == 0;
}

void CSegyFileIn::Rewind()
{
    if (m_fd >= 0)
        (void)Seek(m_dataStart); // cannot fail on an open file
    atEnd = !isValid;
    currentTrace = 0;
}

void CSegyFileIn::CheckIfConstantLengthTrace()
{
    traceLength = static_cast<std::int64_t>(bytesPerSample) * samplesPerTrace + kTraceHeaderBytes;
    traceCount = (byteCount - m_dataStart) / traceLength;
    constantLength = false; // Read must not seek while the test runs

    // Headers only: the samples of the first traces would otherwise be read
    // twice, here and by the first pass over the file.
    SegyHeaderType h{};
    bool constant = true;
    Rewind();
    for (int i = 0; i < 100; ++i) {
        ReadHeader(h);
        if (atEnd)
            break;
        if (h.sampleCount != tapeHeader->binSamplesPerTrace) {
            constant = false;
            break;
        }
    }
    // One trace near the end, by the size arithmetic. A file of fewer than two
    // traces has no second-to-last trace and is not taken as constant-length.
    if (constant) {
        Rewind();
        if (traceCount < 2 || !Seek(m_dataStart + (traceCount - 2) * traceLength)) {
            constant = false;
        } else {
            ReadHeader(h);
            if (atEnd || h.sampleCount != tapeHeader->binSamplesPerTrace)
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
        if (index > (INT64_MAX - m_dataStart) / traceLength)
            return false;
        return Seek(m_dataStart + index * traceLength);
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

void CSegyFileIn::RepairHeader(SegyHeaderType& h) const
{
    if (m_forceSampleCount)
        h.sampleCount = tapeHeader->binSamplesPerTrace;
    SetTraceNullsWithSensibleValues(h);
    if (h.coordinateUnits == 0)
        h.coordinateUnits = 1;
    const std::int16_t s = h.sampleInterval;
    const std::int16_t f = sampleIntervalUs;
    if (s != f && (s <= 0 || s > 10 * static_cast<std::int32_t>(f)))
        h.sampleInterval = f;
}

bool CSegyFileIn::NextRecord(SegyHeaderType& h, const unsigned char*& raw, std::size_t& rawBytes)
{
    if (!isValid || m_fd < 0)
        return false;

    // Everything is read into the buffer (or locals) first and committed to
    // the caller only when the record is complete.
    if (!Fill(kTraceHeaderBytes))
        return false;
    std::memcpy(&h, m_buffer.get() + m_head, kTraceHeaderBytes);
    if (swapBytes)
        SwapHeader(h);
    RepairHeader(h);

    const std::size_t n = h.sampleCount;
    rawBytes = n * static_cast<std::size_t>(bytesPerSample);
    const std::size_t recordBytes = kTraceHeaderBytes + rawBytes;
    if (recordBytes <= kBufferBytes) {
        if (!Fill(recordBytes))
            return false;
        // The samples stay in the buffer; nothing refills it before the
        // caller is done with them.
        raw = m_buffer.get() + m_head + kTraceHeaderBytes;
        m_head += recordBytes;
    } else {
        if (!ReadLargeRecord(rawBytes))
            return false;
        raw = m_raw.data();
    }
    return true;
}

void CSegyFileIn::Read(CSegyTrace& trace, std::int64_t index)
{
    const StoredSamples stored = ReadStored(trace, index);
    if (!atEnd)
        DecodeStored(stored, trace);
}

StoredSamples CSegyFileIn::ReadStored(CSegyTrace& trace, std::int64_t index)
{
    atEnd = false;
    SegyHeaderType h;
    const unsigned char* raw = nullptr;
    std::size_t rawBytes = 0;
    if (!SkipToTrace(index) || !NextRecord(h, raw, rawBytes)) {
        atEnd = true;
        return {};
    }
    if (!trace.header)
        trace.header = std::make_unique<SegyHeaderType>();
    *trace.header = h;
    trace.tailLittleEndian = !swapBytes;
    trace.ReAllocate();
    ++currentTrace;
    return {{raw, rawBytes}, formatCode, swapBytes};
}

void CSegyFileIn::DecodeStored(const StoredSamples& stored, CSegyTrace& trace) const
{
    const std::size_t bytes = ReaderBytesPerSample(stored.format) > 0
                                  ? static_cast<std::size_t>(ReaderBytesPerSample(stored.format))
                                  : 1;
    const std::size_t count = std::min(stored.bytes.size() / bytes, trace.samples.size());
    (void)DecodeSamples(stored.format,
                        stored.bytes.data(),
                        static_cast<std::int64_t>(count),
                        stored.swapBytes,
                        trace.samples.data()); // the format was checked by Open
}

void CSegyFileIn::ReadHeader(SegyHeaderType& header)
{
    atEnd = false;
    if (!isValid || m_fd < 0) {
        atEnd = true;
        return;
    }
    // Records of a few kilobytes are read through the buffer as Read does.
    // Of longer ones only the header is read, with one small read, and the
    // samples are skipped: a pass over the headers of a file of long traces
    // then costs a fraction of reading it.
    const std::int64_t position = GetPosition();
    SegyHeaderType h;
    if (m_tail - m_head >= kTraceHeaderBytes ||
        m_lastRecordBytes < static_cast<std::int64_t>(kBufferBytes / 8)) {
        if (!Fill(kTraceHeaderBytes)) {
            atEnd = true;
            return;
        }
        std::memcpy(&h, m_buffer.get() + m_head, kTraceHeaderBytes);
    } else if (m_eof ||
               ReadAt(m_fd, reinterpret_cast<unsigned char*>(&h), kTraceHeaderBytes, position) !=
                   static_cast<ssize_t>(kTraceHeaderBytes)) {
        atEnd = true;
        return;
    }
    if (swapBytes)
        SwapHeader(h);
    const SegyHeaderType stored = h;
    RepairHeader(h);
    const std::int64_t recordBytes =
        kTraceHeaderBytes + static_cast<std::int64_t>(h.sampleCount) * bytesPerSample;
    // Only a complete record counts, as for Read. The size is the one Open
    // found: a file that grows meanwhile is not read past it either.
    if (position + recordBytes > byteCount) {
        atEnd = true;
        return;
    }
    m_lastRecordBytes = recordBytes;
    m_lastHeaderRepaired = std::memcmp(&stored, &h, kTraceHeaderBytes) != 0;
    if (static_cast<std::int64_t>(m_tail - m_head) >= recordBytes)
        m_head += static_cast<std::size_t>(recordBytes);
    else
        (void)Seek(position + recordBytes); // cannot fail: open, position >= 0
    header = h;
    ++currentTrace;
}

bool CSegyFileIn::PeekHeader(SegyHeaderType& header) const
{
    if (!isValid || m_fd < 0)
        return false;
    const std::int64_t position = GetPosition();
    SegyHeaderType h;
    // The buffer is not refilled: that would move the bytes of the trace
    // the caller still holds.
    if (m_tail - m_head >= kTraceHeaderBytes)
        std::memcpy(&h, m_buffer.get() + m_head, kTraceHeaderBytes);
    else if (m_eof ||
             ReadAt(m_fd, reinterpret_cast<unsigned char*>(&h), kTraceHeaderBytes, position) !=
                 static_cast<ssize_t>(kTraceHeaderBytes))
        return false;
    if (swapBytes)
        SwapHeader(h);
    RepairHeader(h);
    const std::int64_t recordBytes =
        kTraceHeaderBytes + static_cast<std::int64_t>(h.sampleCount) * bytesPerSample;
    if (position + recordBytes > byteCount)
        return false;
    header = h;
    return true;
}

std::span<const unsigned char> CSegyFileIn::ReadRaw(SegyHeaderType& header)
{
    atEnd = false;
    SegyHeaderType h;
    const unsigned char* raw = nullptr;
    std::size_t rawBytes = 0;
    if (!NextRecord(h, raw, rawBytes)) {
        atEnd = true;
        return {};
    }
    header = h;
    ++currentTrace;
    return {raw, rawBytes};
}

std::int64_t CSegyFileIn::GetPosition() const
{
    return m_tailOffset - static_cast<std::int64_t>(m_tail - m_head);
}

bool CSegyFileIn::SetPosition(std::int64_t position)
{
    atEnd = !isValid;
    return Seek(position);
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
