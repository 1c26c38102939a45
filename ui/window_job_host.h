// The combine job's front end in the windows: the log window, the status
// label, event pumping, message boxes, the input list and the chart.
#pragma once

#include "combine/api/job_host.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

class QLabel;
class QListWidget;
class QProgressBar;

namespace tessara
{

class IWindowPrompts;
class SpeedCorrection;
class processing_log;

/// The progress bar's text: percent of the input bytes, input n of N, the
/// phase, the time elapsed and, once some bytes are read, the time left.
[[nodiscard]] QString ProgressText(const JobProgress& progress, qint64 elapsedMs);
/// Percent (0..100) of the input bytes read.
[[nodiscard]] int ProgressPercent(const JobProgress& progress);

class CWindowJobHost : public IJobHost
{
public:
    /// `chart` gives the chart window, creating it on first use;
    /// `stopRequested` tells whether the user asked the job to stop.
    CWindowJobHost(processing_log& log,
                   QLabel& status,
                   QListWidget& inputs,
                   IWindowPrompts& prompts,
                   std::function<SpeedCorrection&()> chart,
                   std::function<bool()> stopRequested = {});

    void ClearLog() override;
    void AppendLog(std::string_view text) override;
    [[nodiscard]] bool IsLogVisible() const override;
    void SetStatus(std::string_view text) override;
    void PumpEvents() override;
    void Progress(const JobProgress& progress) override;
    void ShowMessage(std::string_view text) override;
    [[nodiscard]] bool StopRequested() const override;
    void SetInputOrder(const std::vector<std::string>& paths) override;
    void ChartBegin(std::string_view title) override;
    void ChartAddFix(std::int64_t ticks, double speedMps, double spacingM) override;
    void ChartSetSpacing(std::int64_t fromTicks,
                         std::int64_t toTicks,
                         double spacingM,
                         std::string_view titleSuffix) override;
    void ChartEnd() override;
    void OutputCompleted(const std::string& path) override;
    [[nodiscard]] bool WantsOpenOutput() const override;
    void OpenOutputChanged(const std::string& path) override;

    /// Following: `wanted` tells whether the open output is looked at, and
    /// `written` is given each output, open (as it stands) or complete.
    void SetFollowHooks(std::function<bool()> wanted,
                        std::function<void(const std::string&)> written);

    /// Shows the last status text the job set, if it is not shown yet.
    void ShowPendingStatus();
    /// The bar the job's progress goes to; none when null.
    void SetProgressBar(QProgressBar* bar);

private:
    processing_log& m_log;
    QLabel& m_status;
    QListWidget& m_inputs;
    IWindowPrompts& m_prompts;
    std::function<SpeedCorrection&()> m_chart;
    std::function<bool()> m_stopRequested;
    std::function<bool()> m_openOutputWanted;
    std::function<void(const std::string&)> m_outputWritten;
    QString m_pendingStatus;
    bool m_statusPending = false;
    QElapsedTimer m_sinceStatusShown;
    QElapsedTimer m_sincePump;
    QProgressBar* m_progressBar = nullptr;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceProgressShown;
    JobProgress m_lastProgress;
};

} // namespace tessara
