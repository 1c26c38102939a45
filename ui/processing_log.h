// The processing log window: the combine job's report, shown and hidden by
// the main window's "Toggle Log" and its own "Hide Window".
#pragma once

#include <QWidget>

#include <string_view>

class QPlainTextEdit;
class QPushButton;

namespace tessara
{

class processing_log : public QWidget
{
    Q_OBJECT
public:
    explicit processing_log(QWidget* parent = nullptr);

    /// Empties the log.
    void Clear();
    /// Appends `text` at the end of whatever the box holds (the user may have
    /// edited it); CR LF and LF both end a line.
    void Append(std::string_view text);
    /// The log's text with CR LF line ends, as the job wrote it.
    [[nodiscard]] QString Text() const;

    QPlainTextEdit* textBox_log;
    QPushButton* button_hide;
};

} // namespace tessara
