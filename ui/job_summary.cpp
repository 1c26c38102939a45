#include "ui/job_summary.h"

#include "combine/api/summary_table.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <cstdint>
#include <utility>

namespace tessara
{
namespace
{

QString FileName(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).fileName();
}

/// The freedesktop.org command that opens a folder in the desktop's file manager.
constexpr const char* kFolderOpener = "xdg-open";

QString Count(std::int64_t n, const char* one, const char* many)
{
    return QString::number(n) + " " + (n == 1 ? one : many);
}

QString OutputLine(const OutputRecord& r)
{
    QString line = FileName(r.path) + ": " + Count(r.traces, "trace", "traces") + ", " +
                   Count(r.fill_traces, "fill trace", "fill traces");
    if (r.speed_corrected)
        line += ", spacing " + QString::fromStdString(FormatSpacing(r.spacing_metres)) + " (" +
                QString::number(r.traces_before_correction) + " traces before, " +
                QString::number(r.traces) + " after)";
    return line;
}

QString CountLine(std::int64_t count, const SummaryRow& row)
{
    return QString::fromStdString(CountWithReason(count, row));
}

/// "R records read, W written from them, F fill traces", each count with
/// its row's words.
QString TraceCounts(const CombineSummary& s)
{
    QStringList counts;
    for (const SummaryRow& row : kSummaryRows) {
        if (row.count == &CombineSummary::traces_read ||
            row.count == &CombineSummary::traces_written ||
            row.count == &CombineSummary::traces_filled)
            counts << CountLine(CountOf(s, row), row);
    }
    return counts.join(", ");
}

void SkippedLines(const CombineResult& result, QStringList& lines)
{
    const CombineSummary& s = result.summary;
    if (s.inputs_unreadable + s.inputs_without_navigation + s.inputs_same_file == 0)
        return;
    lines << "Inputs skipped:";
    for (const UnreadableInput& input : result.unreadable_inputs)
        lines << "    not readable: " + QString::fromStdString(input.path) + " (" +
                     QString::fromStdString(input.reason) + ")";
    for (const std::string& path : result.inputs_without_navigation)
        lines << "    without navigation: " + QString::fromStdString(path);
    for (const SummaryRow& row : kSummaryRows) {
        if (row.count == &CombineSummary::inputs_same_file && CountOf(s, row) > 0)
            lines << "    " + CountLine(CountOf(s, row), row);
    }
}

void DroppedLines(const CombineSummary& s, QStringList& lines)
{
    QStringList dropped;
    for (const SummaryRow& row : kSummaryRows) {
        if (row.kind == SummaryKind::TraceLeftOut && CountOf(s, row) > 0)
            dropped << "    " + CountLine(CountOf(s, row), row);
    }
    if (!dropped.isEmpty())
        lines << "Traces dropped:" << dropped;
}

void WarningLines(const CombineResult& result, QStringList& lines)
{
    for (const OverlappingInputs& o : result.overlapping_inputs)
        lines << "Warning: " + QString::fromStdString(o.later) + " starts before the end of " +
                     QString::fromStdString(o.earlier) + ": the output goes back in time there";
    if (result.inputs_span_years)
        lines << "Warning: the inputs span more than one year; their order may be wrong";
    for (const SummaryRow& row : kSummaryRows) {
        if (row.kind == SummaryKind::Warning && CountOf(result.summary, row) > 0)
            lines << "Warning: " + CountLine(CountOf(result.summary, row), row);
    }
}

QString Headline(const CombineResult& result, bool& warning)
{
    const CombineSummary& s = result.summary;
    const auto outputs = static_cast<std::int64_t>(result.outputs.size());
    const QString written = Count(outputs, "output", "outputs") + " written";
    warning = true;
    switch (result.outcome) {
    case CombineOutcome::WriteFailed:
        return "Failed: " + QString::fromStdString(result.failed_path) +
               (result.input_changed ? " " + QString::fromStdString(result.input_failure) + "; "
                                     : " could not be written; ") +
               written;
    case CombineOutcome::Stopped:
        return "Stopped: " + written + " before the stop";
    case CombineOutcome::InvalidSettings:
    case CombineOutcome::DirectoryRefused:
    case CombineOutcome::AlreadyRunning:
        return "Not started: nothing was read or written";
    case CombineOutcome::Done:
        break;
    }
    if (outputs == 0)
        return s.traces_read == 0 ? "Nothing was written: no trace was read"
                                  : "Nothing was written: every trace read was dropped";
    const std::int64_t skipped = s.inputs_unreadable + s.inputs_without_navigation;
    if (skipped > 0)
        return "Done, " + written + ", but " + Count(skipped, "input was", "inputs were") +
               " skipped";
    if (!result.overlapping_inputs.empty() || result.inputs_span_years)
        return "Done, " + written + ", with warnings";
    warning = false;
    return "Done: " + written;
}

} // namespace

JobSummaryText SummarizeJob(const CombineResult& result)
{
    JobSummaryText text;
    text.headline = Headline(result, text.warning);
    for (const OutputRecord& r : result.outputs)
        text.lines << OutputLine(r);
    const CombineSummary& s = result.summary;
    text.lines << TraceCounts(s);
    if (!result.outputs.empty()) {
        const std::string_view label = OutputTracesLabel(result);
        text.lines << QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())) + " " +
                          QString::number(TracesInOutputs(result));
    }
    SkippedLines(result, text.lines);
    DroppedLines(s, text.lines);
    WarningLines(result, text.lines);
    if (result.removed_leftover_working_file)
        text.lines << "Removed a working file left by an earlier job that did not finish";
    return text;
}

CJobSummaryDialog::CJobSummaryDialog(QWidget* parent)
    : QDialog(parent), reportFailure([this](const QString& text) {
          QMessageBox::warning(this, "Open Folder", text);
      })
{
    setObjectName("job_summary");
    setWindowTitle("Job Summary");
    setModal(false);
    label_icon = new QLabel(this);
    label_icon->setObjectName("label_icon");
    label_headline = new QLabel(this);
    label_headline->setObjectName("label_headline");
    label_headline->setWordWrap(true);
    label_headline->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = label_headline->font();
    bold.setBold(true);
    label_headline->setFont(bold);
    textBox_summary = new QPlainTextEdit(this);
    textBox_summary->setObjectName("textBox_summary");
    textBox_summary->setReadOnly(true);
    textBox_summary->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    textBox_summary->setAccessibleName("Job summary");
    button_view = new QPushButton("&View", this);
    button_view->setObjectName("button_view");
    button_view->setAccessibleName("View");
    button_view->setToolTip("Show the outputs' sections and tracks");
    button_open_folder = new QPushButton("Open &Folder", this);
    button_open_folder->setObjectName("button_open_folder");
    button_open_folder->setAccessibleName("Open Folder");
    button_open_folder->setToolTip("Show the output folder in the file manager");
    button_close = new QPushButton("&Close", this);
    button_close->setObjectName("button_close");
    button_close->setAccessibleName("Close");
    button_close->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(label_icon, 0, Qt::AlignTop);
    top->addWidget(label_headline, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button_view);
    buttons->addWidget(button_open_folder);
    buttons->addWidget(button_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(textBox_summary, 1);
    layout->addLayout(buttons);

    connect(button_open_folder, &QPushButton::clicked, this, &CJobSummaryDialog::OpenFolder);
    connect(button_view, &QPushButton::clicked, this, [this] { emit viewRequested(m_outputs); });
    connect(button_close, &QPushButton::clicked, this, &QDialog::hide);
    resize(640, 360);
}

void CJobSummaryDialog::SetResult(const CombineResult& result, const QString& outputDirectory)
{
    const JobSummaryText text = SummarizeJob(result);
    m_warning = text.warning;
    m_outputDirectory = outputDirectory;
    m_outputs.clear();
    for (const OutputRecord& output : result.outputs)
        m_outputs << QString::fromStdString(output.path);
    // Nothing to look at when nothing was completed.
    button_view->setEnabled(!m_outputs.isEmpty());
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    label_icon->setPixmap(style()
                              ->standardIcon(m_warning ? QStyle::SP_MessageBoxWarning
                                                       : QStyle::SP_MessageBoxInformation,
                                             nullptr,
                                             this)
                              .pixmap(size, size));
    label_icon->setAccessibleName(m_warning ? "Warning" : "Information");
    label_headline->setText(text.headline);
    textBox_summary->setPlainText(text.lines.join('\n'));
}

void CJobSummaryDialog::OpenFolder()
{
    // xdg-open gives the folder to the desktop's file manager, and says why
    // it cannot (no file manager registered, exit 3) only on its standard
    // error, which nobody sees: its failure is shown here. The process has
    // no parent, since deleting a QProcess kills it, and xdg-open may wait
    // for the file manager it started.
    auto* process = new QProcess;
    const QString folder = m_outputDirectory;
    const QPointer<CJobSummaryDialog> dialog(this);
    const auto report = [dialog, folder](const QString& reason) {
        if (dialog)
            dialog->reportFailure("The folder " + folder +
                                  " could not be opened in a file manager: " + reason);
    };
    connect(process,
            &QProcess::finished,
            process,
            [process, report](int code, QProcess::ExitStatus status) {
                const QString said =
                    QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                if (status != QProcess::NormalExit)
                    report(kFolderOpener + QString(" crashed"));
                else if (code != 0)
                    report(said.isEmpty() ? QString(kFolderOpener) + " exited with code " +
                                                QString::number(code)
                                          : said.section('\n', -1));
                process->deleteLater();
            });
    connect(
        process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart)
                return; // a crash also ends in finished()
            report(kFolderOpener + QString(" could not be started (") + process->errorString() +
                   ")");
            process->deleteLater();
        });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(kFolderOpener, {folder});
}

} // namespace tessara
