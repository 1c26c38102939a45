// Reading SEG-Y files of either byte order, trace by trace.
#pragma once

#include "segy/io/segy_file.h"
#include "trace/segy_trace.h"

#include <span>
#include <vector>

namespace tessara
{

/// Why CSegyFileIn::Open failed. The reader makes no text of it: the front
/// ends word the message from SegyOpenError.
enum class SegyOpenReason {
    None,              ///< the last Open succeeded (or none was made)
    NoSuchFile,        ///< the path names nothing (ENOENT, ENOTDIR)
    PermissionDenied,  ///< EACCES or EPERM
    CannotOpen,        ///< any other open failure; errorNumber tells which
    NotRegularFile,    ///< a directory, FIFO, socket or device: refused unread
    ReadError,         ///< the file header could not be read; errorNumber tells why
    TooShort,          ///< fewer bytes than the file header (with its extended text headers)
    UnsupportedFormat, ///< binFormatCode is not 1, 2, 3, 5 or 8
    ExtendedHeaders,   ///< revision 1 or later with a negative extended text header count
};

/// The facts a message about a failed Open needs. Fields that do not apply,
/// or were not learnt before the failure, keep their defaults.
struct SegyOpenError {
    SegyOpenReason reason = SegyOpenReason::None;
    std::int64_t fileBytes = -1;      ///< size of the file in bytes, -1 when unknown
    std::int32_t formatCode = 0;      ///< binFormatCode in host order, once read
    std::int32_t extendedHeaders = 0; ///< binExtendedHeaders in host order, once read
    int errorNumber = 0;              ///< errno of the failed system call, 0 if none
};

/// Which count Open took for the file's samples per trace.
enum class SampleCountSource {
    BinaryHeaderAndFirstTrace, ///< both say the same
    FirstTrace,                ///< they differ and the first trace's count holds
    /// They differ, and only the binary header's count makes the file length a
    /// whole number of traces: every trace is read with that count.
    BinaryHeaderFitsFileLength,
    BinaryHeader, ///< the first trace says 0, or there is no trace header at all
};

/// Where Open put the first trace.
enum class FirstTraceSource {
    FileHeader,      ///< at 3600: no extended text headers declared
    ExtendedHeaders, ///< revision 1 or later: after the N extended text headers it declares
    /// Revision 0 declaring N extended text headers: the file from 3600 on is
    /// no whole number of records of the length the trace header there gives,
    /// from 3600 + 3200 N on it is, so the first trace is taken there.
    Revision0ExtendedHeaders,
    /// Revision 0 declaring N extended text headers, first trace at 3600: the
    /// file length does not tell that they are there.
    Revision0ExtendedHeadersNotSkipped,
};

/// Reader of one SEG-Y file. Failures are flags, never messages or exceptions:
/// Open returns false and `atEnd` is set after a Read that found no complete
/// trace. A trace is never delivered half read: a Read that runs into the end
/// of the file leaves the caller's trace exactly as it was.
class CSegyFileIn : public CSegyFile
{
public:
    CSegyFileIn() = default;
    ~CSegyFileIn() override;

    /// Opens and examines `path`: file header (text header made printable
    /// ASCII, binary header in host order), byte order, bytes per sample, where
    /// the first trace starts, the samples per trace, the constant-length test.
    ///
    /// Samples per trace: the first trace's non-zero sampleCount holds where it
    /// differs from the binary header's, unless the file length is a whole
    /// number of traces of the binary header's count and not of the first
    /// trace's; then the binary header's count holds for every trace (see
    /// CountSource()). The count taken is also written into the in-memory
    /// binSamplesPerTrace.
    ///
    /// The first trace starts at 3600, or at 3600 + 3200 N when the binary
    /// header says revision 1 or later and N > 0 extended text headers (their
    /// text is skipped, not kept). A revision-0 file that declares N > 0
    /// starts there too when the file from 3600 + 3200 N on is one or more
    /// whole records of the length the trace header there gives (240 + its
    /// sampleCount, or the binary header's when it says 0, times the bytes per
    /// sample) and the file from 3600 on is not, by the trace header at 3600;
    /// otherwise at 3600 (see FirstTraceFrom()).
    ///
    /// False, with the reason in OpenError(), when the path cannot be opened,
    /// is not a regular file (checked without blocking on a FIFO or device),
    /// cannot be read, is shorter than its file header, its format code is not
    /// 1, 2, 3, 5 or 8, or it announces a variable number of extended headers.
    /// A failed Open leaves a closed reader (isValid false, atEnd set,
    /// currentTrace 0; it delivers no traces) and every other public field as
    /// it was before the call.
    [[nodiscard]] bool Open(const std::string& path) override;
    void Close() override;

    /// Reads one trace into `trace`. `index` -1 reads the next trace; 0 or
    /// more reads that trace when the file is constant-length (otherwise the
    /// next one). Repairs: zero sampleCount / sampleInterval from the binary
    /// header, zero coordinateUnits to 1, a sampleInterval <= 0 or above ten
    /// times the file's to the file's. When Open took the binary header's
    /// count because it fits the file length, every trace is read with that
    /// count and its header's sampleCount says so. The trace's
    /// tailLittleEndian tells whether the file is little-endian.
    void Read(CSegyTrace& trace, std::int64_t index);
    /// Reads one trace as Read does but leaves its samples undecoded: header,
    /// tailLittleEndian and the storage's size are set as by Read, the values
    /// in `samples` are those of an earlier trace until DecodeStored. The
    /// returned bytes stay valid until the next call on this object; empty
    /// bytes with `atEnd` set when no complete trace was found.
    [[nodiscard]] StoredSamples ReadStored(CSegyTrace& trace, std::int64_t index = -1);
    /// Decodes `stored` (from ReadStored, for this `trace`) into its samples.
    void DecodeStored(const StoredSamples& stored, CSegyTrace& trace) const;
    /// Reads the next trace's header only, with the repairs of Read, and
    /// moves past its samples without decoding them. Sets `atEnd` as Read
    /// does; `header` is left as it was when no complete trace was found.
    void ReadHeader(SegyHeaderType& header);
    /// The header of the next trace, with the repairs of Read, without
    /// reading it: the next Read delivers that trace, and bytes handed out
    /// by the last read stay valid. False, with `header` untouched, when no
    /// complete trace follows.
    [[nodiscard]] bool PeekHeader(SegyHeaderType& header) const;
    /// Whether a repair changed the header the last successful ReadHeader
    /// delivered: false when it is the file's own, byte-reversed as needed.
    [[nodiscard]] bool LastHeaderRepaired() const { return m_lastHeaderRepaired; }
    /// Reads the next trace as Read does but hands out its samples as they
    /// are stored in the file (format GetFormat(), the file's byte order),
    /// header->sampleCount * bytesPerSample bytes. The bytes stay valid until
    /// the next call on this object. Empty with `atEnd` set when no complete
    /// trace was found; `header` is then left as it was.
    [[nodiscard]] std::span<const unsigned char> ReadRaw(SegyHeaderType& header);
    /// Byte offset in the file at which the next trace record starts.
    [[nodiscard]] std::int64_t GetPosition() const;
    /// Moves to the trace record that starts at byte `position` and clears
    /// `atEnd`. False when the file is not open or `position` < 0; a position
    /// past the end shows as atEnd on the next read.
    [[nodiscard]] bool SetPosition(std::int64_t position);
    /// Back to the first trace: clears `atEnd`, `currentTrace` = 0.
    void Rewind();

    /// Plausibility test of a trace header in host order (all bounds
    /// inclusive): sampleCount 250..10000, sampleInterval >= 0, year 1990 to
    /// the current calendar year + 1, dayOfYear 0..366, hour 0..24, minute and
    /// second 0..59, millisecond 0..999, coordinateUnits 0..10,
    /// delayRecordingTime 0..10000.
    [[nodiscard]] static bool sensibleHeaderValues(const CSegyTrace& trace);

    /// Why the last Open failed; reason None after a successful one.
    [[nodiscard]] const SegyOpenError& OpenError() const { return m_error; }
    /// Which count the last successful Open took for the samples per trace.
    [[nodiscard]] SampleCountSource CountSource() const { return m_countSource; }
    /// The samples per trace the binary header stated, before Open chose a
    /// count (binSamplesPerTrace in memory holds the chosen one).
    [[nodiscard]] std::uint32_t BinaryHeaderSamples() const { return m_binarySamples; }
    /// The first trace's own sampleCount (0 when it has none).
    [[nodiscard]] std::uint32_t FirstTraceSamples() const { return m_firstTraceSamples; }
    /// Byte offset of the first trace: 3600 plus the extended text headers.
    [[nodiscard]] std::int64_t FirstTraceOffset() const { return m_dataStart; }
    /// Why the last successful Open put the first trace where it did.
    [[nodiscard]] FirstTraceSource FirstTraceFrom() const { return m_firstTraceSource; }

    std::int64_t currentTrace = 0;
    bool atEnd = false;

private:
    /// False when the position of trace `index` cannot be reached.
    [[nodiscard]] bool SkipToTrace(std::int64_t index);
    /// Reads the next complete record: its header, repaired, into `h`; its
    /// raw sample bytes at `raw`. False, consuming nothing usable, when no
    /// complete record is left.
    [[nodiscard]] bool
    NextRecord(SegyHeaderType& h, const unsigned char*& raw, std::size_t& rawBytes);
    void SetTraceNullsWithSensibleValues(SegyHeaderType& header) const;
    /// The repairs every read applies to a header in host order.
    void RepairHeader(SegyHeaderType& header) const;
    void CheckIfConstantLengthTrace();
    /// Whether the `size`-byte file from `offset` to its end is one or more
    /// whole records of the length the trace header at `offset` gives.
    /// Moves the read position.
    [[nodiscard]] bool WholeRecordsFrom(std::int64_t offset,
                                        const SegyTapeHeaderType& fileHeader,
                                        bool swap,
                                        std::int32_t bps,
                                        std::int64_t size);
    /// Moves the read position; false only when closed or `position` < 0 (a
    /// position past the end shows as atEnd on the next Read).
    bool Seek(std::int64_t position);
    /// Makes at least `need` (<= kBufferBytes) unread bytes available at
    /// m_head, moving the unread tail to the front and refilling as needed.
    /// False at the end of the file or on a read error; nothing is consumed.
    [[nodiscard]] bool Fill(std::size_t need);
    /// Reads the `rawBytes` sample bytes of a record too large for the buffer
    /// into m_raw, past the header at m_head; false when the file ends first.
    /// On success the whole record is consumed and the buffer left empty.
    [[nodiscard]] bool ReadLargeRecord(std::size_t rawBytes);

    SegyOpenError m_error;
    SampleCountSource m_countSource = SampleCountSource::BinaryHeaderAndFirstTrace;
    std::uint32_t m_binarySamples = 0;
    std::uint32_t m_firstTraceSamples = 0;
    std::int64_t m_dataStart = kFileHeaderBytes;
    FirstTraceSource m_firstTraceSource = FirstTraceSource::FileHeader;
    // Every trace is read with samplesPerTrace, whatever its header says
    // (SampleCountSource::BinaryHeaderFitsFileLength).
    bool m_forceSampleCount = false;
    std::vector<unsigned char> m_raw; // sample bytes of a record larger than the buffer
    std::size_t m_head = 0;           // first unread byte in m_buffer
    std::size_t m_tail = 0;           // end of the valid bytes in m_buffer
    std::int64_t m_tailOffset = 0;    // file offset of m_tail, bytes
    // Once a read has found the end of the file, sequential Reads report atEnd
    // without asking the system again, until Seek or Rewind; a file that grows
    // meanwhile is not read on past its old end.
    bool m_eof = false;
    // Bytes of the last record ReadHeader met: decides whether the next header
    // is read through the buffer or alone.
    std::int64_t m_lastRecordBytes = 0;
    bool m_lastHeaderRepaired = false; // see LastHeaderRepaired
};

} // namespace tessara
