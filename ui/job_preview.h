// What a job would write, before it writes: the outputs it decided (names, spans, traces, sizes,
// the files they would replace), the inputs it would skip, and the summary a run would give.
#pragma once

#include "combine/api/combine_job.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tessara
{

class CJobPreviewDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CJobPreviewDialog(QWidget* parent = nullptr);

    /// Fills the window from the result of a dry run into `outputDirectory`.
    void SetResult(const CombineResult& result, const QString& outputDirectory);

    QLabel* label_headline;
    QTableWidget* table_outputs;
    QPlainTextEdit* textBox_skipped;
    QPushButton* button_close;
};

} // namespace tessara
