// SEG-Y files on disk: the common base of the reader and the writer.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tessara
{

/// The sample bytes of one trace as its file stores them, undecoded.
struct StoredSamples {
    std::span<const unsigned char> bytes;
    std::int32_t format = 0; ///< data sample format code of the file
    bool swapBytes = false;  ///< the file's byte order is not the host's
};

/// Common state of an input or output SEG-Y file. Sizes and offsets are 64-bit
/// so that files of 2 GiB and more are read and written correctly.
class CSegyFile
{
public:
    CSegyFile();
    virtual ~CSegyFile();

    CSegyFile(const CSegyFile&) = delete;
    CSegyFile& operator=(const CSegyFile&) = delete;

    [[nodiscard]] virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;
    /// Samples per trace of the file.
    [[nodiscard]] virtual std::uint32_t GetSamples() const { return samplesPerTrace; }
    /// Sample interval of the file in microseconds.
    [[nodiscard]] virtual std::int16_t GetSampleInterval() const { return sampleIntervalUs; }
    /// Data sample format code.
    [[nodiscard]] virtual std::int32_t GetFormat() const { return formatCode; }

    [[nodiscard]] bool bIsOpen() const { return m_fd >= 0; }

    /// The file header; zero-filled at construction.
    std::unique_ptr<SegyTapeHeaderType> tapeHeader;
    bool swapBytes = false;
    bool textIsEbcdic = false;
    std::int32_t bytesPerSample = 0;
    std::int64_t traceLength = 0;
    std::int64_t traceCount = 0;
    std::int64_t byteCount = 0;
    bool isValid = false;
    bool constantLength = false;
    std::uint32_t samplesPerTrace = 0;
    std::int16_t sampleIntervalUs = 0;
    std::int32_t formatCode = 0;

protected:
    /// The classes' own I/O buffer: samples are decoded straight out of it
    /// and encoded straight into it, with no stdio buffer in between. A few
    /// traces per system call, yet small enough that the reader's and the
    /// writer's buffers stay in a core's L2 cache along with the trace being
    /// converted. With 1 MiB buffers the kernel's copies into and out of the
    /// page cache ran from main memory and a combine job took several times as
    /// long as with 128 KiB.
    static constexpr std::size_t kBufferBytes = 1 << 17;
    /// The open file's descriptor, -1 when closed.
    int m_fd = -1;
    std::unique_ptr<unsigned char[]> m_buffer; // kBufferBytes, allocated by the first Open
};

} // namespace tessara
