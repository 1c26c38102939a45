// Writing big-endian SEG-Y files.
#pragma once

#include "segy/io/segy_file.h"
#include "trace/segy_trace.h"

#include <span>
#include <vector>

namespace tessara
{

/// Writer of one SEG-Y file at a time; the object may be reopened on another
/// path. Output is always big-endian with the text header as held in memory.
/// Every write and the final close are checked: bHasFailed() tells whether
/// anything since Open did not reach the file.
class CSegyFileOut : public CSegyFile
{
public:
    CSegyFileOut();
    ~CSegyFileOut() override;

    /// Creates or truncates `path`. Resets byteCount to 0 and the failure
    /// flag; traceCount counts on across files. False when it cannot be created,
    /// and when `path` is a symbolic link: a link planted at a working name
    /// must not make the writer replace the file it points to.
    [[nodiscard]] bool Open(const std::string& path) override;
    /// Takes `fd`, open for writing on a pipe, a terminal or a device, as the
    /// file to write; Close closes it. A stream is written front to back and
    /// never positioned: WriteHeader must come before anything else, and
    /// MarkVariableLength fails. False when `fd` < 0.
    [[nodiscard]] bool OpenStream(int fd);
    /// Flushes and closes; a failure to do so marks the writer as failed.
    void Close() override;

    /// Sample encoding of the traces (see EncodeSamplesBigEndian). The binary
    /// header is not touched; WriteHeader takes the code from it again.
    void SetFormat(std::int32_t code);
    /// Declares n samples per trace in the binary header (both count fields).
    void SetSamples(std::uint16_t n);
    /// Takes `like`'s file header and sample format and declares `samples`
    /// per trace: an output that starts as a copy of an input. The header
    /// is not written yet (WriteHeader).
    void StartLike(const CSegyFile& like, std::uint16_t samples);
    /// Writes the 3600-byte file header at the start of the file. Afterwards
    /// byteCount is 3600 and the sample encoding follows binFormatCode. The
    /// written binExtendedHeaders is 0 whatever the in-memory header says: an
    /// output never carries extended text headers.
    void WriteHeader();
    /// Writes one trace: its header and header->sampleCount samples, the
    /// samples the trace lacks as 0. Bytes 188-239 of a header read from a
    /// little-endian file (trace.tailLittleEndian) are written big-endian by
    /// the standard's field widths. The caller's trace is not changed.
    void Write(const CSegyTrace& trace);
    /// Writes `trace` as Write does, its samples taken from `stored` (the
    /// bytes of its file, see CSegyFileIn::ReadStored) instead of `samples`:
    /// copied as they are, or byte-reversed, when they are in this writer's
    /// format and every one comes back unchanged from decoding and encoding
    /// (PassSamplesThrough); decoded and encoded otherwise. The file gets the
    /// same bytes either way. `stored` must hold header->sampleCount samples
    /// of its format; otherwise the writer is marked as failed.
    void WriteStored(const CSegyTrace& trace, const StoredSamples& stored);
    /// Writes `trace` with its header replaced by `header`: the record that
    /// Write (`stored` null) or WriteStored (`*stored`) writes for a trace
    /// carrying `header`, encoded straight into the write buffer. Bytes
    /// 188-239 of `header` are taken in the order trace.tailLittleEndian
    /// says. The sample count is header.sampleCount, which `stored` must
    /// hold, as for WriteStored; otherwise the writer is marked as failed and
    /// nothing is written. For a record written more than once, each time
    /// with another header.
    void WriteWithHeader(const CSegyTrace& trace,
                         const SegyHeaderType& header,
                         const StoredSamples* stored);
    /// Bytes of the record Write or WriteStored puts in the file for `trace`.
    [[nodiscard]] std::size_t RecordBytes(const SegyHeaderType& header) const;
    /// Whether WriteStored may copy samples that need no conversion (on by
    /// default, for every writer of the process). Off, every sample is
    /// decoded and encoded: the reference the copies are compared with.
    static void SetPassThrough(bool enabled);
    /// Sets the binary header's fixed-length flag (bytes 3502-3503) to 0: the
    /// traces do not all have binSamplesPerTrace samples. In memory at once;
    /// in the file too when the header was already written, rewritten in place
    /// without moving the write position. Call it before Close. A failure to
    /// rewrite marks the writer as failed.
    void MarkVariableLength();
    /// Traces written since Open whose sampleCount differs from the binary
    /// header's binSamplesPerTrace at the time they were written.
    [[nodiscard]] std::int64_t TracesOfOtherLength() const { return m_otherLength; }
    /// Writes one trace whose samples are already encoded as this writer
    /// encodes them (big-endian, format GetFormat()): `header` in host order
    /// and exactly header.sampleCount * bytesPerSample sample bytes, copied
    /// as they are. Any other byte count marks the writer as failed and
    /// writes nothing.
    void WriteRaw(const SegyHeaderType& header, std::span<const unsigned char> samples);

    /// True when a write or Close since the last Open failed, or Open itself.
    [[nodiscard]] bool bHasFailed() const { return m_failed; }
    /// errno of the first write or close that failed since Open (EFBIG past
    /// a file-size limit, ENOSPC on a full disk, EPIPE when the reader of a
    /// stream went away); 0 when none did or the failure set none.
    [[nodiscard]] int FailureErrno() const { return m_failureErrno; }

    bool headerWritten = false;

private:
    /// Write, WriteStored and WriteWithHeader: `trace` as `header` says
    /// (null: the writer is marked as failed), samples from `stored` when
    /// given, else from trace.samples.
    void
    WriteRecord(const CSegyTrace& trace, const SegyHeaderType* header, const StoredSamples* stored);
    /// `count` samples of `trace` in `format`, zero where the trace has none.
    static void EncodeSamples(const CSegyTrace& trace,
                              std::int64_t count,
                              std::int32_t format,
                              unsigned char* out);
    /// `n` stored samples (their size checked) in this writer's format:
    /// copied where they pass through, decoded and encoded otherwise.
    void EncodeStored(const StoredSamples& stored, std::int64_t n, unsigned char* out);
    /// Room for one record of `recordBytes`: in the buffer, or in m_record
    /// for a record larger than the buffer.
    [[nodiscard]] unsigned char* BeginRecord(std::size_t recordBytes);
    /// Counts the record BeginRecord gave room for and sends it on its way.
    void EndRecord(std::size_t recordBytes);
    /// The record's header as written: big-endian, with its tail turned
    /// big-endian for a header read from a little-endian file.
    static void
    EncodeHeader(const SegyHeaderType& header, bool tailLittleEndian, unsigned char* record);
    /// Counts a record of another length than the binary header states.
    void CountLength(const SegyHeaderType& header);
    /// Writes the buffered bytes; a failure marks the writer as failed and
    /// the bytes are dropped.
    void Flush();
    /// Writes all `n` bytes at the file position, resuming after partial
    /// writes and interruptions; false on any other failure.
    [[nodiscard]] bool WriteAll(const unsigned char* bytes, std::size_t n);
    /// Open and OpenStream: `fd` (-1: none) as the file, everything reset.
    bool Adopt(int fd, bool stream);
    /// Marks the writer as failed, keeping the first failure's errno.
    void Fail(int error);

    std::vector<unsigned char> m_record; // one record larger than the buffer
    std::vector<double> m_decoded;       // samples of a stored trace that must be converted
    /// The 3600 bytes of the file header as written: big-endian, no extended
    /// text headers.
    void EncodeFileHeader(SegyTapeHeaderType& bigEndian) const;

    std::size_t m_used = 0;         // bytes waiting in m_buffer
    std::int64_t m_otherLength = 0; // see TracesOfOtherLength
    bool m_failed = false;
    int m_failureErrno = 0;
    bool m_stream = false;
};

} // namespace tessara
