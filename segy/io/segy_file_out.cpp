#include "segy_file_out.h"

#include "segy/format/byte_order.h"
#include "segy/format/sample_codec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace tessara
{

CSegyFileOut::CSegyFileOut()
{
    swapBytes = true;
    textIsEbcdic = false;
    traceCount = 0;
}

CSegyFileOut::~CSegyFileOut()
{
    Close();
}

bool CSegyFileOut::Open(const std::string& path)
{
    Close();
    return Adopt(::open(path.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                        0666), // less umask
                 false);
}

bool CSegyFileOut::OpenStream(int fd)
{
    Close();
    return Adopt(fd, true);
}

bool CSegyFileOut::Adopt(int fd, bool stream)
{
    headerWritten = false;
    m_fd = fd;
    m_stream = stream;
    isValid = m_fd >= 0;
    if (isValid && !m_buffer)
        m_buffer = std::make_unique<unsigned char[]>(kBufferBytes);
    m_used = 0;
    samplesPerTrace = 0;
    constantLength = true;
    byteCount = 0;
    m_otherLength = 0;
    m_failed = !isValid;
    m_failureErrno = isValid ? 0 : errno;
    return isValid;
}

void CSegyFileOut::Fail(int error)
{
    if (!m_failed)
        m_failureErrno = error;
    m_failed = true;
}

void CSegyFileOut::Close()
{
    if (m_fd < 0)
        return;
    // The last buffered traces go out here: this is where a full disk shows up.
    Flush();
    if (::close(m_fd) != 0)
        Fail(errno);
    m_fd = -1;
    isValid = false;
}

bool CSegyFileOut::WriteAll(const unsigned char* bytes, std::size_t n)
{
    while (n > 0) {
        const ssize_t put = ::write(m_fd, bytes, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) { // an error, or no progress (a full disk, a file size limit)
            Fail(put < 0 ? errno : ENOSPC);
            return false;
        }
        bytes += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

void CSegyFileOut::Flush()
{
    if (m_used > 0 && !WriteAll(m_buffer.get(), m_used))
        m_failed = true;
    m_used = 0;
}

void CSegyFileOut::SetFormat(std::int32_t code)
{
    formatCode = code;
    bytesPerSample = WriterBytesPerSample(code);
}

void CSegyFileOut::SetSamples(std::uint16_t n)
{
    samplesPerTrace = n;
    tapeHeader->binSamplesPerTrace = n;
    tapeHeader->binOriginalSamplesPerTrace = n;
}

void CSegyFileOut::StartLike(const CSegyFile& like, std::uint16_t samples)
{
    *tapeHeader = *like.tapeHeader;
    SetFormat(like.GetFormat());
    SetSamples(samples);
}

void CSegyFileOut::WriteHeader()
{
    if (m_fd < 0) {
        m_failed = true;
        return;
    }
    SegyTapeHeaderType bigEndian;
    EncodeFileHeader(bigEndian);
    // Whatever is buffered belongs where the position was; the header and
    // the traces after it go from the start of the file.
    Flush();
    // A stream cannot go back: its header goes out only as its first bytes.
    if (m_stream ? byteCount != 0 : ::lseek(m_fd, 0, SEEK_SET) != 0) {
        Fail(m_stream ? ESPIPE : errno);
    } else {
        std::memcpy(m_buffer.get(), &bigEndian, kFileHeaderBytes); // Flush emptied it
        m_used = kFileHeaderBytes;
    }
    headerWritten = true;
    SetFormat(tapeHeader->binFormatCode);
    byteCount = kFileHeaderBytes;
}

void CSegyFileOut::EncodeFileHeader(SegyTapeHeaderType& bigEndian) const
{
    bigEndian = *tapeHeader;
    bigEndian.binExtendedHeaders = 0;
    SwapFileHeader(bigEndian);
}

void CSegyFileOut::MarkVariableLength()
{
    tapeHeader->binFixedLengthFlag = 0;
    if (!headerWritten || m_fd < 0)
        return;
    // The buffer may still hold the header as first written: out with it
    // before the rewrite, or it would land on top of it.
    Flush();
    SegyTapeHeaderType bigEndian;
    EncodeFileHeader(bigEndian);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&bigEndian);
    constexpr std::size_t at = offsetof(SegyTapeHeaderType, binFixedLengthFlag);
    const ssize_t put = ::pwrite(m_fd, bytes + at, 2, static_cast<off_t>(at));
    if (put != 2)
        Fail(put < 0 ? errno : ENOSPC);
}

unsigned char* CSegyFileOut::BeginRecord(std::size_t recordBytes)
{
    // The record is put straight into the buffer; only one larger than the
    // whole buffer goes through m_record and out in one write.
    if (recordBytes <= kBufferBytes) {
        if (kBufferBytes - m_used < recordBytes)
            Flush();
        return m_buffer.get() + m_used;
    }
    Flush();
    if (m_record.size() < recordBytes)
        m_record.resize(recordBytes);
    return m_record.data();
}

void CSegyFileOut::EndRecord(std::size_t recordBytes)
{
    if (recordBytes <= kBufferBytes)
        m_used += recordBytes;
    else if (!WriteAll(m_record.data(), recordBytes))
        m_failed = true;
    byteCount += static_cast<std::int64_t>(recordBytes);
    ++traceCount;
}

void CSegyFileOut::Write(const CSegyTrace& trace)
{
    WriteRecord(trace, trace.header.get(), nullptr);
}

void CSegyFileOut::WriteStored(const CSegyTrace& trace, const StoredSamples& stored)
{
    WriteRecord(trace, trace.header.get(), &stored);
}

void CSegyFileOut::WriteWithHeader(const CSegyTrace& trace,
                                   const SegyHeaderType& header,
                                   const StoredSamples* stored)
{
    WriteRecord(trace, &header, stored);
}

void CSegyFileOut::WriteRecord(const CSegyTrace& trace,
                               const SegyHeaderType* header,
                               const StoredSamples* stored)
{
    if (!headerWritten)
        WriteHeader();
    if (m_fd < 0 || header == nullptr) {
        m_failed = true;
        return;
    }
    const std::int64_t n = header->sampleCount;
    if (stored != nullptr) {
        const int storedBytes = ReaderBytesPerSample(stored->format);
        if (storedBytes == 0 || stored->bytes.size() != static_cast<std::size_t>(n * storedBytes)) {
            m_failed = true;
            return;
        }
    }
    const std::size_t recordBytes = RecordBytes(*header);
    unsigned char* record = BeginRecord(recordBytes);
    EncodeHeader(*header, trace.tailLittleEndian, record);
    unsigned char* out = record + kTraceHeaderBytes;
    if (stored != nullptr)
        EncodeStored(*stored, n, out);
    else
        EncodeSamples(trace, n, formatCode, out);
    CountLength(*header);
    EndRecord(recordBytes);
}

void CSegyFileOut::EncodeSamples(const CSegyTrace& trace,
                                 std::int64_t count,
                                 std::int32_t format,
                                 unsigned char* out)
{
    const auto n = static_cast<std::size_t>(count);
    const auto width = static_cast<std::size_t>(WriterBytesPerSample(format));
    const std::size_t have = std::min<std::size_t>({n, trace.numSamples, trace.samples.size()});
    EncodeSamplesBigEndian(format, trace.samples.data(), static_cast<std::int64_t>(have), out);
    // Zero encodes to zero bytes in every format, so the samples the trace
    // lacks are plain zero bytes.
    std::memset(out + have * width, 0, (n - have) * width);
}

void CSegyFileOut::EncodeHeader(const SegyHeaderType& header,
                                bool tailLittleEndian,
                                unsigned char* record)
{
    SegyHeaderType h = header;
    SwapHeader(h);
    if (tailLittleEndian)
        SwapHeaderTail(h);
    std::memcpy(record, &h, kTraceHeaderBytes);
}

void CSegyFileOut::CountLength(const SegyHeaderType& header)
{
    if (header.sampleCount != tapeHeader->binSamplesPerTrace)
        ++m_otherLength;
}

namespace
{
std::atomic<bool> g_passThrough{true};
} // namespace

void CSegyFileOut::SetPassThrough(bool enabled)
{
    g_passThrough = enabled;
}

std::size_t CSegyFileOut::RecordBytes(const SegyHeaderType& header) const
{
    return kTraceHeaderBytes +
           static_cast<std::size_t>(header.sampleCount) * static_cast<std::size_t>(bytesPerSample);
}

void CSegyFileOut::EncodeStored(const StoredSamples& stored, std::int64_t n, unsigned char* out)
{
    const bool copied =
        g_passThrough && stored.format == formatCode &&
        ReaderBytesPerSample(stored.format) == bytesPerSample &&
        PassSamplesThrough(formatCode, stored.bytes.data(), n, stored.swapBytes, out);
    if (!copied) {
        m_decoded.resize(static_cast<std::size_t>(n));
        (void)DecodeSamples(
            stored.format, stored.bytes.data(), n, stored.swapBytes, m_decoded.data());
        EncodeSamplesBigEndian(formatCode, m_decoded.data(), n, out);
    }
}

void CSegyFileOut::WriteRaw(const SegyHeaderType& header, std::span<const unsigned char> samples)
{
    if (!headerWritten)
        WriteHeader();
    const std::size_t sampleBytes =
        static_cast<std::size_t>(header.sampleCount) * static_cast<std::size_t>(bytesPerSample);
    if (m_fd < 0 || samples.size() != sampleBytes) {
        m_failed = true;
        return;
    }
    const std::size_t recordBytes = kTraceHeaderBytes + sampleBytes;
    unsigned char* record = BeginRecord(recordBytes);
    EncodeHeader(header, false, record);
    CountLength(header);
    if (sampleBytes > 0)
        std::memcpy(record + kTraceHeaderBytes, samples.data(), sampleBytes);
    EndRecord(recordBytes);
}

} // namespace tessara
