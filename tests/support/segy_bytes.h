// An independent SEG-Y byte writer for test fixtures. It shares no code with
// the reader or writer under test: every field is put at its byte offset by
// hand, in the chosen byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessara::test
{

/// Builds a SEG-Y file image in memory, field by field.
class SegyBytes
{
public:
    explicit SegyBytes(bool bigEndian = true);

    /// Starts the file: 3600-byte header with `text` (padded with blanks, or
    /// taken as raw bytes when exactly 3200 long), format code, samples per
    /// trace and interval in the binary header.
    SegyBytes& FileHeader(int formatCode,
                          int samplesPerTrace,
                          int sampleIntervalUs,
                          const std::string& text = "C 1 TEST FIXTURE");

    /// Appends a 240-byte trace header with sampleCount and sampleInterval;
    /// further fields are set with Put16/Put32 on TraceHeaderOffset().
    SegyBytes& TraceHeader(int sampleCount, int sampleIntervalUs);
    /// Appends samples encoded in `formatCode` (1 IBM, 2 int32, 3 int16,
    /// 5 IEEE, 8 int8) in the file's byte order.
    SegyBytes& Samples(int formatCode, const std::vector<double>& values);
    /// Appends raw bytes as they are.
    SegyBytes& Raw(const std::vector<unsigned char>& bytes);

    /// Offset of the last trace header appended.
    [[nodiscard]] std::size_t TraceHeaderOffset() const { return m_lastTrace; }

    /// Field writers at an absolute offset, in the file's byte order.
    SegyBytes& Put8(std::size_t offset, int value);
    SegyBytes& Put16(std::size_t offset, int value);
    SegyBytes& Put32(std::size_t offset, std::int64_t value);
    /// Trace-header field of the last trace, by its offset within the header.
    SegyBytes& Trace16(std::size_t fieldOffset, int value)
    {
        return Put16(m_lastTrace + fieldOffset, value);
    }
    SegyBytes& Trace32(std::size_t fieldOffset, std::int64_t value)
    {
        return Put32(m_lastTrace + fieldOffset, value);
    }
    /// Sets the trace time stamp of the last trace (bytes 156-167).
    SegyBytes& TraceTime(int year, int day, int hour, int minute, int second, int millisecond = 0);

    [[nodiscard]] const std::vector<unsigned char>& Bytes() const { return m_bytes; }
    std::vector<unsigned char>& MutableBytes() { return m_bytes; }
    /// Writes the image to `path`; returns false on any failure.
    [[nodiscard]] bool WriteTo(const std::string& path) const;

    /// Independent reference encoders (IBM by arithmetic, not by bit tricks).
    static std::uint32_t IbmWordOf(double value);
    static double ValueOfIbmWord(std::uint32_t word);

private:
    bool m_big;
    std::vector<unsigned char> m_bytes;
    std::size_t m_lastTrace = 0;
};

/// Reads a whole file into memory (empty on failure).
std::vector<unsigned char> ReadFileBytes(const std::string& path);
/// Big-endian field readers on a byte image.
int Get16BE(const std::vector<unsigned char>& b, std::size_t offset);
std::int32_t Get32BE(const std::vector<unsigned char>& b, std::size_t offset);

/// The shared sample-data folder, or empty when it is absent.
std::string SharedSegyDir();

} // namespace tessara::test
