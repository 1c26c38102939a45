#include "ui/window_job_host.h"

#include "ui/processing_log.h"
#include "ui/speed_correction.h"
#include "ui/window_prompts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include <algorithm>

namespace tessara
{
namespace
{

/// Status texts shown at most this often; the eye reads no more, and each
/// one costs a repaint inside the job's time.
constexpr qint64 kStatusIntervalMs = 40;
/// Window events are handled at most this often: a window that answers
/// within 10 ms feels immediate, and a fast job pumps far more often.
constexpr qint64 kPumpIntervalMs = 10;

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Clock(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    const QString minutes = QString::number(seconds / 60 % 60);
    const QString rest = QString("%1").arg(seconds % 60, 2, 10, QChar('0'));
    if (seconds >= 3600)
        return QString::number(seconds / 3600) + ":" + minutes.rightJustified(2, '0') + ":" + rest;
    return minutes + ":" + rest;
}

const char* PhaseName(JobProgress::Phase phase)
{
    switch (phase) {
    case JobProgress::Phase::Scanning:
        return "scanning start times";
    case JobProgress::Phase::Deciding:
        return "deciding";
    case JobProgress::Phase::Reading:
        return "reading";
    case JobProgress::Phase::SpeedCorrection:
        return "speed correction";
    case JobProgress::Phase::DelayScan:
        return "delay scan";
    }
    return "";
}

} // namespace

int ProgressPercent(const JobProgress& progress)
{
    if (progress.bytesTotal <= 0)
        return 0;
    const double share =
        static_cast<double>(progress.bytesDone) / static_cast<double>(progress.bytesTotal);
    return static_cast<int>(std::clamp(share, 0.0, 1.0) * 100.0);
}

QString ProgressText(const JobProgress& progress, qint64 elapsedMs)
{
    QString text = QString::number(ProgressPercent(progress)) + "%";
    if (progress.inputCount > 0)
        text += ", input " + QString::number(progress.input) + " of " +
                QString::number(progress.inputCount);
    text += ", " + QString(PhaseName(progress.phase)) + ", " + Clock(elapsedMs) + " elapsed";
    // The rate of the bytes read so far: only a guess after a few of them.
    if (progress.bytesDone > 0 && progress.bytesTotal > progress.bytesDone &&
        progress.phase != JobProgress::Phase::Scanning) {
        const double left = static_cast<double>(elapsedMs) *
                            static_cast<double>(progress.bytesTotal - progress.bytesDone) /
                            static_cast<double>(progress.bytesDone);
        text += ", " + Clock(static_cast<qint64>(left)) + " left";
    }
    return text;
}

CWindowJobHost::CWindowJobHost(processing_log& log,
                               QLabel& status,
                               QListWidget& inputs,
                               IWindowPrompts& prompts,
                               std::function<SpeedCorrection&()> chart,
                               std::function<bool()> stopRequested)
    : m_log(log), m_status(status), m_inputs(inputs), m_prompts(prompts), m_chart(std::move(chart)),
      m_stopRequested(std::move(stopRequested))
{
}

void CWindowJobHost::ClearLog()
{
    m_log.Clear();
}

void CWindowJobHost::AppendLog(std::string_view text)
{
    m_log.Append(text);
}

bool CWindowJobHost::IsLogVisible() const
{
    return m_log.isVisible();
}

void CWindowJobHost::SetStatus(std::string_view text)
{
    m_pendingStatus = Text(text);
    m_statusPending = true;
    if (!m_sinceStatusShown.isValid() || m_sinceStatusShown.elapsed() >= kStatusIntervalMs)
        ShowPendingStatus();
}

void CWindowJobHost::ShowPendingStatus()
{
    if (!m_statusPending)
        return;
    m_status.setText(m_pendingStatus);
    m_statusPending = false;
    m_sinceStatusShown.start();
}

void CWindowJobHost::PumpEvents()
{
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs)
        return;
    if (m_statusPending && m_sinceStatusShown.elapsed() >= kStatusIntervalMs)
        ShowPendingStatus();
    QCoreApplication::processEvents();
    m_sincePump.start();
}

void CWindowJobHost::SetProgressBar(QProgressBar* bar)
{
    m_progressBar = bar;
    m_sinceStart.start();
    m_sinceProgressShown.invalidate();
    m_lastProgress = JobProgress{};
    if (bar != nullptr) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setFormat(ProgressText(JobProgress{}, 0));
    }
}

void CWindowJobHost::Progress(const JobProgress& progress)
{
    if (m_progressBar == nullptr)
        return;
    // A new input or phase shows at once; within one, no more often than
    // the status line, since each text costs a repaint inside the job's time.
    const bool news =
        progress.input != m_lastProgress.input || progress.phase != m_lastProgress.phase;
    if (!news && m_sinceProgressShown.isValid() &&
        m_sinceProgressShown.elapsed() < kStatusIntervalMs)
        return;
    m_lastProgress = progress;
    m_sinceProgressShown.start();
    m_progressBar->setValue(ProgressPercent(progress));
    m_progressBar->setFormat(ProgressText(progress, m_sinceStart.elapsed()));
}

void CWindowJobHost::ShowMessage(std::string_view text)
{
    ShowPendingStatus(); // the box stops the job: show where it stands
    m_prompts.ShowMessage(m_status.window(), Text(text));
}

bool CWindowJobHost::StopRequested() const
{
    return m_stopRequested && m_stopRequested();
}

void CWindowJobHost::SetInputOrder(const std::vector<std::string>& paths)
{
    m_inputs.clear();
    for (const std::string& path : paths)
        m_inputs.addItem(QString::fromStdString(path));
}

void CWindowJobHost::ChartBegin(std::string_view title)
{
    m_chart().Begin(title);
}

void CWindowJobHost::ChartAddFix(std::int64_t ticks, double speedMps, double spacingM)
{
    m_chart().AddFix(ticks, speedMps, spacingM);
}

void CWindowJobHost::ChartSetSpacing(std::int64_t fromTicks,
                                     std::int64_t toTicks,
                                     double spacingM,
                                     std::string_view titleSuffix)
{
    m_chart().SetSpacing(fromTicks, toTicks, spacingM, titleSuffix);
}

void CWindowJobHost::ChartEnd()
{
    m_chart().End();
}

} // namespace tessara

namespace tessara
{

void CWindowJobHost::SetFollowHooks(std::function<bool()> wanted,
                                    std::function<void(const std::string&)> written)
{
    m_openOutputWanted = std::move(wanted);
    m_outputWritten = std::move(written);
}

void CWindowJobHost::OutputCompleted(const std::string& path)
{
    if (m_outputWritten)
        m_outputWritten(path);
}

bool CWindowJobHost::WantsOpenOutput() const
{
    return m_openOutputWanted && m_openOutputWanted();
}

void CWindowJobHost::OpenOutputChanged(const std::string& path)
{
    if (m_outputWritten && !path.empty())
        m_outputWritten(path);
}

} // namespace tessara
