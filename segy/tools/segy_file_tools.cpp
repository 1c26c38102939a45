#include "segy/tools/segy_file_tools.h"

#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "segy/io/segy_finishing_writer.h"
#include "segy/tools/open_failure.h"
#include "trace/resample.h"

#include <cerrno>
#include <limits>

namespace tessara
{

namespace
{

TraceTimeStamp TimeOf(const SegyHeaderType& h)
{
    return {h.year, h.dayOfYear, h.hour, h.minute, h.second, h.millisecond};
}

} // namespace

std::string SegyOpenFailure(const std::string& path)
{
    CSegyFileIn reader;
    if (reader.Open(path))
        return {};
    return OpenFailureText(path, reader);
}

std::optional<SegyFileDescription> DescribeSegyFile(const std::string& path, std::string& why)
{
    CSegyFileIn reader;
    if (!reader.Open(path)) {
        why = OpenFailureText(path, reader);
        return std::nullopt;
    }
    SegyFileDescription d;
    d.bigEndian = reader.swapBytes;
    d.format = reader.GetFormat();
    d.bytesPerSample = reader.bytesPerSample;
    d.samplesPerTrace = reader.GetSamples();
    d.sampleIntervalUs = reader.GetSampleInterval();
    d.constantLength = reader.constantLength;
    d.textIsEbcdic = reader.textIsEbcdic;
    d.fileBytes = reader.byteCount;
    const std::string binary = std::to_string(reader.BinaryHeaderSamples());
    const std::string first = std::to_string(reader.FirstTraceSamples());
    switch (reader.CountSource()) {
    case SampleCountSource::BinaryHeaderAndFirstTrace:
        d.samplesPerTraceSource = "binary header and first trace agree";
        break;
    case SampleCountSource::FirstTrace:
        d.samplesPerTraceSource =
            "first trace (" + first + "), not the binary header (" + binary + ")";
        break;
    case SampleCountSource::BinaryHeaderFitsFileLength:
        d.samplesPerTraceSource = "binary header (" + binary + "): the first trace's " + first +
                                  " makes the file length no whole number of traces";
        break;
    case SampleCountSource::BinaryHeader:
        d.samplesPerTraceSource = "binary header: the first trace gives none";
        break;
    }

    d.firstTraceOffset = reader.FirstTraceOffset();
    const std::int16_t declared = reader.tapeHeader->binExtendedHeaders;
    const std::string extended =
        std::to_string(declared) + " extended text header" + (declared == 1 ? "" : "s");
    switch (reader.FirstTraceFrom()) {
    case FirstTraceSource::FileHeader:
        d.firstTraceSource = "after the file header";
        break;
    case FirstTraceSource::ExtendedHeaders:
        d.firstTraceSource = "after " + extended;
        break;
    case FirstTraceSource::Revision0ExtendedHeaders:
        d.firstTraceSource = "after " + extended +
                             " in a revision-0 file: only from there is "
                             "the file length a whole number of traces";
        break;
    case FirstTraceSource::Revision0ExtendedHeadersNotSkipped:
        d.firstTraceSource = "after the file header: a revision-0 file, whose length does not "
                             "show the " +
                             extended + " it declares";
        break;
    }

    CSegyTrace trace(reader.GetSamples());
    for (;;) {
        reader.Read(trace, -1);
        if (reader.atEnd)
            break;
        if (d.traceCount == 0)
            d.firstTime = TimeOf(*trace.header);
        ++d.traceCount;
    }
    if (d.traceCount > 0)
        d.lastTime = TimeOf(*trace.header); // untouched by the final, failed read
    return d;
}

bool ForEachTraceHeader(const std::string& path,
                        std::int64_t count,
                        const std::function<void()>& opened,
                        const std::function<void(std::int64_t, const TraceHeaderFields&)>& each,
                        std::string& why)
{
    CSegyFileIn reader;
    if (!reader.Open(path)) {
        why = OpenFailureText(path, reader);
        return false;
    }
    opened();
    CSegyTrace trace(reader.GetSamples());
    for (std::int64_t i = 0; count < 0 || i < count; ++i) {
        reader.Read(trace, -1);
        if (reader.atEnd)
            break;
        const SegyHeaderType& h = *trace.header;
        TraceHeaderFields f;
        f.traceSequenceLine = h.traceSequenceLine;
        f.traceSequenceFile = h.traceSequenceFile;
        f.traceInEnsemble = h.traceInEnsemble;
        f.traceIdCode = h.traceIdCode;
        f.digitizerChannel = h.digitizerChannel;
        f.time = TimeOf(h);
        f.delayMs = h.delayRecordingTime;
        f.sampleCount = h.sampleCount;
        f.sampleIntervalUs = h.sampleInterval;
        f.sourceX = h.sourceX;
        f.sourceY = h.sourceY;
        f.coordinateUnits = h.coordinateUnits;
        f.coordinateScalar = h.coordinateScalar;
        each(i, f);
    }
    return true;
}

namespace
{

/// Opens `input` and finds the samples per trace its copy declares; false,
/// with `result` saying why (the input at fault), when there is no copy.
bool OpenForCopy(const std::string& input,
                 std::optional<int> sampleIntervalUs,
                 CSegyFileIn& in,
                 std::uint32_t& samples,
                 SegyCopyResult& result)
{
    result.inputAtFault = true;
    if (!in.Open(input)) {
        result.why = OpenFailureText(input, in);
        return false;
    }
    samples = in.GetSamples();
    // The declared count follows the file's own traces to the new interval.
    if (sampleIntervalUs && in.GetSampleInterval() > 0)
        samples = ResampledCount(samples, in.GetSampleInterval(), *sampleIntervalUs);
    // Its low 16 bits would make every reader that goes by the file header
    // misread the copy; the resampling refuses such traces alike.
    if (samples > std::numeric_limits<std::uint16_t>::max()) {
        result.why = "resampled to " + std::to_string(*sampleIntervalUs) + " us, its traces of " +
                     std::to_string(in.GetSamples()) + " samples would hold " +
                     std::to_string(samples) + ", more than the 65535 a SEG-Y header can state";
        return false;
    }
    result.inputAtFault = false;
    return true;
}

/// Every trace of `in` into `out`. The file header goes out with the first
/// trace: a stream cannot take back a header whose traces all fail. False,
/// with `result` saying why, when the copy is no copy.
bool CopyTraces(CSegyFileIn& in,
                CSegyFileOut& out,
                std::uint32_t samples,
                std::optional<int> sampleIntervalUs,
                SegyCopyResult& result)
{
    out.StartLike(in, static_cast<std::uint16_t>(samples));
    if (sampleIntervalUs)
        out.tapeHeader->binSampleInterval = static_cast<std::uint16_t>(*sampleIntervalUs);
    CTraceResampler resampler;
    CSegyTrace trace(in.GetSamples());
    for (;;) {
        // Samples are decoded only for resampling; otherwise they are
        // copied, or converted only where a word needs it.
        const StoredSamples stored = in.ReadStored(trace);
        if (in.atEnd)
            break;
        if (sampleIntervalUs && trace.header->sampleInterval != *sampleIntervalUs) {
            in.DecodeStored(stored, trace);
            if (!resampler.Resample(trace, *sampleIntervalUs)) {
                ++result.dropped;
                continue;
            }
            out.Write(trace);
        } else {
            out.WriteStored(trace, stored);
        }
        ++result.copied;
    }
    in.Close();
    // A file of no trace in place of one whose traces all failed would pass
    // for a copy of an empty input.
    if (result.copied == 0 && result.dropped > 0) {
        result.inputAtFault = true;
        result.why = "no trace could be resampled";
        return false;
    }
    if (!out.headerWritten)
        out.WriteHeader(); // an input without traces
    out.Close();
    if (out.bHasFailed()) {
        result.why = "write failed (" + WriteFailureText(out.FailureErrno()) +
                     "); nothing written under this name";
        return false;
    }
    return true;
}

} // namespace

SegyCopyResult CopySegyFile(const std::string& input,
                            const std::string& output,
                            std::optional<int> sampleIntervalUs,
                            const std::function<void(const std::string&)>& temporaryCreated)
{
    SegyCopyResult result;
    CSegyFileIn in;
    std::uint32_t samples = 0;
    if (!OpenForCopy(input, sampleIntervalUs, in, samples, result))
        return result;
    // The copy is written beside the output under a name of its own and
    // takes the output's name only when complete: a copy cut short (a full
    // disk, a signal, a file-size limit) never passes for a whole file.
    CSegyFinishingWriter file;
    if (!file.OpenBeside(output, temporaryCreated)) {
        result.why = file.Error() == EACCES ? "permission denied" : "cannot be created";
        return result;
    }
    try {
        if (!CopyTraces(in, file.Out(), samples, sampleIntervalUs, result)) {
            file.Abandon();
            return result;
        }
    } catch (...) {
        file.Abandon(); // no memory: no partial copy either
        throw;
    }
    if (file.Finish(output) != CSegyFinishingWriter::Finished::Done) {
        file.Abandon();
        result.why = "cannot be replaced";
        return result;
    }
    result.ok = true;
    return result;
}

SegyCopyResult
CopySegyFileInto(const std::string& input, int fd, std::optional<int> sampleIntervalUs)
{
    SegyCopyResult result;
    CSegyFileIn in;
    std::uint32_t samples = 0;
    CSegyFileOut out;
    if (!out.OpenStream(fd) || !OpenForCopy(input, sampleIntervalUs, in, samples, result))
        return result;
    // A stream keeps what reached it: the why of a failure says so.
    result.ok = CopyTraces(in, out, samples, sampleIntervalUs, result);
    if (!result.ok && !result.inputAtFault)
        result.why = "write failed (" + WriteFailureText(out.FailureErrno()) + ")";
    return result;
}

} // namespace tessara
