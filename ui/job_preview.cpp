#include "ui/job_preview.h"

#include "combine/api/log_format.h"
#include "combine/api/summary_table.h"
#include "ui/job_summary.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessara
{

namespace
{

QTableWidgetItem* Cell(const QString& text, bool number = false)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString Number(std::int64_t n)
{
    return QLocale::c().toString(static_cast<qlonglong>(n));
}

} // namespace

CJobPreviewDialog::CJobPreviewDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("CJobPreviewDialog");
    setWindowTitle("Preview");
    label_headline = new QLabel(this);
    label_headline->setObjectName("label_headline");
    label_headline->setWordWrap(true);
    table_outputs = new QTableWidget(0, 9, this);
    table_outputs->setObjectName("table_outputs");
    table_outputs->setHorizontalHeaderLabels({"Output",
                                              "First trace",
                                              "Last trace",
                                              "Traces",
                                              "Fill",
                                              "Bytes",
                                              "Size",
                                              "Spacing",
                                              "Replaces"});
    table_outputs->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_outputs->verticalHeader()->setVisible(false);
    table_outputs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_outputs->setAccessibleName("Outputs the job would write");
    textBox_skipped = new QPlainTextEdit(this);
    textBox_skipped->setObjectName("textBox_skipped");
    textBox_skipped->setReadOnly(true);
    textBox_skipped->setAccessibleName("Inputs skipped and traces dropped");
    auto* buttons = new QDialogButtonBox(this);
    button_close = buttons->addButton("&Close", QDialogButtonBox::RejectRole);
    button_close->setObjectName("button_close");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_headline);
    layout->addWidget(table_outputs, 3);
    layout->addWidget(textBox_skipped, 2);
    layout->addWidget(buttons);
    resize(900, 420);
}

void CJobPreviewDialog::SetResult(const CombineResult& result, const QString& outputDirectory)
{
    const auto count = static_cast<int>(result.outputs.size());
    QString headline =
        count == 0 ? QString("Nothing would be written into %1").arg(outputDirectory)
                   : QString("%1 would be written into %2")
                         .arg(count == 1 ? QString("1 output") : QString("%1 outputs").arg(count))
                         .arg(outputDirectory);
    if (result.outcome == CombineOutcome::Stopped)
        headline += " (stopped: the outputs after the stop are not shown)";
    label_headline->setText(headline);

    table_outputs->setRowCount(count);
    for (int row = 0; row < count; ++row) {
        const OutputRecord& r = result.outputs[static_cast<std::size_t>(row)];
        table_outputs->setItem(row, 0, Cell(QFileInfo(QString::fromStdString(r.path)).fileName()));
        table_outputs->setItem(
            row, 1, Cell(QString::fromStdString(FormatSecondsOfYear(r.first_trace_time))));
        table_outputs->setItem(
            row, 2, Cell(QString::fromStdString(FormatSecondsOfYear(r.last_trace_time))));
        table_outputs->setItem(row, 3, Cell(Number(r.traces), true));
        table_outputs->setItem(row, 4, Cell(Number(r.fill_traces), true));
        table_outputs->setItem(row, 5, Cell(Number(r.bytes), true));
        table_outputs->setItem(
            row, 6, Cell(QString::fromStdString(FormatMegabytes(r.bytes)), true));
        table_outputs->setItem(row,
                               7,
                               Cell(r.speed_corrected
                                        ? QString::fromStdString(FormatSpacing(r.spacing_metres))
                                        : QString("-"),
                                    true));
        table_outputs->setItem(row, 8, Cell(r.replaced_existing ? "yes" : "no"));
    }
    // The summary a run would give, without its headline: the table says it.
    textBox_skipped->setPlainText(SummarizeJob(result).lines.join("\n"));
}

} // namespace tessara
