// The demultiplex options dialog: single-channel or sidescan mode, the
// header field of the channel number, and a preview of a file's channel
// fields. It writes the demultiplex settings of the main window's record,
// which the job reads trace by trace, so a change takes effect at once.
#pragma once

#include "combine/api/combine_settings.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tessara
{

class CRangeSpinBox;

class processing_options : public QWidget
{
    Q_OBJECT
public:
    /// `settings` is the main window's record; it must outlive the dialog.
    explicit processing_options(CombineSettings& settings, QWidget* parent = nullptr);

    /// The file "Scan Selected File" reads. A new file empties a grid that
    /// shows another file's traces, so that the grid never shows one file
    /// under another's name.
    [[nodiscard]] const QString& input_file() const { return m_inputFile; }
    void set_input_file(const QString& path);

    /// Sets the boxes from the demultiplex settings of `s`, and through them
    /// the record, the mode last so that it takes the values shown.
    void ShowSettings(const CombineSettings& s);

    /// Fills the grid with the channel fields of the first traces (at most
    /// 100) of input_file, the user-defined field read with the start and
    /// length boxes as they stand. A file that cannot be read leaves it empty.
    void ScanSelectedFile();

    QPushButton* button1;     ///< "Scan Selected File"
    QLabel* label_input_file; ///< names the file the grid shows
    QTableWidget* dataGridView1;
    CRangeSpinBox* numericUpDown_start_pos;
    CRangeSpinBox* numericUpDown1; ///< length of the user-defined field
    QCheckBox* checkBox_use_channel_info;
    CRangeSpinBox* numericUpDown_channel_col;
    CRangeSpinBox* numericUpDown_channel_number;
    QCheckBox* checkBox_demultiplex_sidescan;
    CRangeSpinBox* numericUpDown_channel_col2;
    CRangeSpinBox* numericUpDown_port;
    CRangeSpinBox* numericUpDown_stbd;
    QCheckBox* checkBox1; ///< "Flip Port"
    QPushButton* button2; ///< "Hide Window"

private:
    void SingleChannelToggled(bool on);
    void SidescanToggled(bool on);
    void LengthChanged(int length);

    CombineSettings& m_settings;
    QString m_inputFile;
    bool m_scanned = false; ///< the grid shows m_inputFile's scan
};

} // namespace tessara
