#include "segy_file_out.h"

#include "segy/sample_codec.h"

#include <algorithm>
#include <cstring>
#include <sys/types.h>

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
    isValid = false;
    headerWritten = false;
    m_file = std::fopen(path.c_str(), "wb");
    isValid = m_file != nullptr;
    if (isValid) {
        if (!m_streamBuffer)
            m_streamBuffer = std::make_unique<char[]>(kStreamBufferBytes);
        (void)std::setvbuf(m_file, m_streamBuffer.get(), _IOFBF, kStreamBufferBytes);
    }
    samplesPerTrace = 0;
    constantLength = true;
    byteCount = 0;
    m_failed = !isValid;
    return isValid;
}

void CSegyFileOut::Close()
{
    if (m_file == nullptr)
        return;
    // fclose flushes the stream buffer: this is where a full disk shows up.
    if (std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
    isValid = false;
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

void CSegyFileOut::WriteHeader()
{
    if (m_file == nullptr) {
        m_failed = true;
        return;
    }
    SegyTapeHeaderType bigEndian = *tapeHeader;
    SwapFileHeader(bigEndian);
    if (fseeko(m_file, 0, SEEK_SET) != 0 ||
        std::fwrite(&bigEndian, 1, kFileHeaderBytes, m_file) != kFileHeaderBytes)
        m_failed = true;
    headerWritten = true;
    SetFormat(tapeHeader->binFormatCode);
    byteCount = kFileHeaderBytes;
}

void CSegyFileOut::Write(const CSegyTrace& trace)
{
    if (!headerWritten)
        WriteHeader();
    if (m_file == nullptr || !trace.header) {
        m_failed = true;
        return;
    }
    const std::size_t n = trace.header->sampleCount;
    const std::size_t sampleBytes = n * static_cast<std::size_t>(bytesPerSample);
    const std::size_t recordBytes = kTraceHeaderBytes + sampleBytes;
    if (m_record.size() < recordBytes)
        m_record.resize(recordBytes);

    SegyHeaderType h = *trace.header;
    SwapHeader(h);
    std::memcpy(m_record.data(), &h, kTraceHeaderBytes);

    const std::size_t have = std::min<std::size_t>({n, trace.numSamples, trace.samples.size()});
    unsigned char* out = m_record.data() + kTraceHeaderBytes;
    EncodeSamplesBigEndian(formatCode, trace.samples.data(), static_cast<std::int64_t>(have), out);
    // Zero encodes to zero bytes in every format, so the samples the trace
    // lacks are plain zero bytes.
    std::memset(out + have * static_cast<std::size_t>(bytesPerSample),
                0,
                (n - have) * static_cast<std::size_t>(bytesPerSample));

    if (std::fwrite(m_record.data(), 1, recordBytes, m_file) != recordBytes)
        m_failed = true;
    byteCount += static_cast<std::int64_t>(recordBytes);
    ++traceCount;
}

} // namespace tessara
