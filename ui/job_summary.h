// What a finished job did, said to the user at its end: the outputs, the
// inputs skipped, the traces dropped and what deserves a second look. The
// facts are the job's result, the same as the command line's summary.
#pragma once

#include "combine/api/combine_job.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tessara
{

/// The summary of one job as text.
struct JobSummaryText {
    /// Something needs the user's attention: nothing was written, inputs
    /// were skipped, inputs overlap, or the job was stopped or failed.
    bool warning = false;
    QString headline; ///< the first line; says what went wrong when warning
    QStringList lines;
};

/// The summary of `result`; outputs are named by their file names.
[[nodiscard]] JobSummaryText SummarizeJob(const CombineResult& result);

/// The window that shows a summary after each job. Modeless: the main window
/// stays usable, and the next job's summary replaces this one's.
class CJobSummaryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CJobSummaryDialog(QWidget* parent = nullptr);

    /// Fills the window from `result` of a job into `outputDirectory`.
    void SetResult(const CombineResult& result, const QString& outputDirectory);
    [[nodiscard]] bool bWarning() const { return m_warning; }
    [[nodiscard]] QString OutputDirectory() const { return m_outputDirectory; }
    /// The job's completed outputs, in the order they were completed.
    [[nodiscard]] QStringList Outputs() const { return m_outputs; }

    /// Says why "Open Folder" could not show the output folder in the
    /// desktop's file manager; a message box unless replaced (tests).
    std::function<void(const QString&)> reportFailure;

    QLabel* label_icon;
    QLabel* label_headline;
    QPlainTextEdit* textBox_summary;
    QPushButton* button_view;
    QPushButton* button_open_folder;
    QPushButton* button_close;

signals:
    /// "View": the outputs are to be shown in the viewer.
    void viewRequested(const QStringList& outputs);

private:
    /// Shows the output folder in the file manager with xdg-open, and its
    /// failure, once xdg-open has ended, through `reportFailure`.
    void OpenFolder();

    QStringList m_outputs;
    QString m_outputDirectory;
    bool m_warning = false;
};

} // namespace tessara
