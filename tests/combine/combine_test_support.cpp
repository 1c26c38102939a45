#include "tests/combine/combine_test_support.h"

#include "combine/api/output_directory.h"
#include "segy/io/segy_file_in.h"
#include "tests/support/segy_bytes.h"

#include <algorithm>
#include <filesystem>

namespace tessara::test
{

namespace fs = std::filesystem;

std::vector<Stamp> Series(Stamp first, int count, int stepMs)
{
    std::vector<Stamp> stamps;
    const long long start =
        ((((first.day * 24LL + first.hour) * 60 + first.minute) * 60) + first.second) * 1000 +
        first.millisecond;
    for (int k = 0; k < count; ++k) {
        const long long ms = start + static_cast<long long>(k) * stepMs;
        Stamp s;
        s.millisecond = static_cast<int>(ms % 1000);
        s.second = static_cast<int>(ms / 1000 % 60);
        s.minute = static_cast<int>(ms / 60000 % 60);
        s.hour = static_cast<int>(ms / 3600000 % 24);
        s.day = static_cast<int>(ms / 86400000);
        stamps.push_back(s);
    }
    return stamps;
}

InputSpec Input(int id, Stamp first, int count, int stepMs)
{
    InputSpec spec;
    spec.id = id;
    spec.times = Series(first, count, stepMs);
    return spec;
}

std::string WriteInput(const std::string& path, const InputSpec& spec)
{
    SegyBytes b(spec.bigEndian);
    b.FileHeader(spec.format, spec.samples, spec.intervalUs, spec.text);
    for (std::size_t k = 0; k < spec.times.size(); ++k) {
        const Stamp& s = spec.times[k];
        b.TraceHeader(spec.samples, spec.intervalUs);
        b.Trace32(4, static_cast<std::int64_t>(k) + 1); // traceSequenceFile
        b.Trace16(108, spec.delayMs);
        b.TraceTime(
            s.year != 0 ? s.year : spec.year, s.day, s.hour, s.minute, s.second, s.millisecond);
        std::vector<double> values;
        for (int j = 0; j < spec.samples; ++j)
            values.push_back(SampleValue(spec.id, static_cast<int>(k), j));
        b.Samples(spec.format, values);
    }
    EXPECT_TRUE(b.WriteTo(path)) << path;
    return path;
}

ReadOutput ReadBack(const std::string& path)
{
    ReadOutput out;
    CSegyFileIn in;
    out.opened = in.Open(path);
    if (!out.opened)
        return out;
    out.format = in.GetFormat();
    out.samplesPerTrace = static_cast<int>(in.GetSamples());
    out.sampleIntervalUs = in.GetSampleInterval();
    out.textStart.assign(in.tapeHeader->textHeader, 40);
    CSegyTrace trace(in.GetSamples());
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        const SegyHeaderType& h = *trace.header;
        ReadTrace r;
        r.time = {h.dayOfYear, h.hour, h.minute, h.second, h.millisecond, h.year};
        r.sampleCount = h.sampleCount;
        r.intervalUs = h.sampleInterval;
        r.delayMs = h.delayRecordingTime;
        r.samples.assign(trace.samples.begin(), trace.samples.begin() + h.sampleCount);
        out.traces.push_back(r);
    }
    return out;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string LogLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string ProcessingBlock(const std::string& path, int samples)
{
    return "\r\n\r\n\r\nProcessing file " + path +
           "\r\n\tNumber of samples = " + std::to_string(samples) + "\r\n";
}

void ExpectAccounted(const CombineSummary& s)
{
    EXPECT_EQ(s.traces_read,
              s.traces_written + s.traces_unfinished + s.merged_into_pairs + s.dropped_reference +
                  s.dropped_before_start + s.dropped_resampling + s.dropped_empty +
                  s.dropped_channel + s.dropped_implausible + s.dropped_navigation +
                  s.dropped_clock_glitch)
        << "every trace read is written, merged or dropped for a reason";
}

CombineJobTest::CombineJobTest()
{
    m_in = (m_tmp.Path() / "in").string();
    m_out = (m_tmp.Path() / "out").string();
    fs::create_directory(m_in);
    fs::create_directory(m_out);
    // The delay scan rewrites outputs; these tests look at the job alone.
    m_settings.delayscan = false;
}

std::string CombineJobTest::AddInput(const std::string& name, const InputSpec& spec)
{
    const std::string path = WriteInput((fs::path(m_in) / name).string(), spec);
    m_settings.input_files.push_back(path);
    return path;
}

CombineOutcome CombineJobTest::Run()
{
    m_job = std::make_unique<CCombineJob>(m_settings, m_host);
    const CombineOutcome outcome = m_job->Run(m_out);
    if (outcome == CombineOutcome::Done) {
        EXPECT_FALSE(fs::exists(Out("SegyOut.sgy"))) << "the working file must not remain";
        EXPECT_EQ(m_host.Status(), "Done....");
    }
    ExpectAccounted(Result().summary);
    return outcome;
}

std::string CombineJobTest::Out(const std::string& name) const
{
    return (fs::path(m_out) / name).string();
}

void CombineJobTest::ExpectTraces(
    const ReadOutput& out, std::size_t at, const InputSpec& spec, int first, int last)
{
    for (int k = first; k <= last; ++k, ++at) {
        ASSERT_LT(at, out.traces.size()) << "trace " << k << " of input " << spec.id << " missing";
        const ReadTrace& t = out.traces[at];
        const Stamp& s = spec.times[static_cast<std::size_t>(k)];
        EXPECT_EQ(t.time.day, s.day) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.time.hour, s.hour) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.time.minute, s.minute) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.time.second, s.second) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.time.millisecond, s.millisecond) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.delayMs, spec.delayMs);
        ASSERT_EQ(t.sampleCount, spec.samples) << "input " << spec.id << " trace " << k;
        EXPECT_EQ(t.intervalUs, spec.intervalUs);
        for (int j = 0; j < spec.samples; ++j)
            EXPECT_EQ(t.samples[static_cast<std::size_t>(j)], SampleValue(spec.id, k, j))
                << "input " << spec.id << " trace " << k << " sample " << j;
    }
}

} // namespace tessara::test
