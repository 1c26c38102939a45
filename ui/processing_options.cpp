#include "ui/processing_options.h"

#include "segy/tools/channel_preview.h"
#include "ui/app_icon.h"
#include "ui/child_window.h"
#include "ui/range_spin_box.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tessara
{
namespace
{

constexpr int kHeaderBytes = 240;

CRangeSpinBox* SpinBox(QWidget* parent, const char* name, int lo, int hi, int value)
{
    auto* box = new CRangeSpinBox(parent);
    box->setObjectName(name);
    box->setRange(lo, hi);
    box->setValue(value);
    box->setAlignment(Qt::AlignRight);
    return box;
}

/// A caption that keyboard users and screen readers reach its control by.
QLabel* Caption(QWidget* parent, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(text.trimmed());
    return label;
}

/// Largest start of a user-defined field of `length` bytes that still lies
/// inside the header.
int LargestStart(int length)
{
    return std::min(kHeaderBytes - 1, kHeaderBytes - length);
}

} // namespace

processing_options::processing_options(CombineSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_settings(settings)
{
    setObjectName("processing_options");
    setWindowTitle("Demultiplex Options");
    setWindowIcon(AppIcon());

    button1 = new QPushButton("Scan Selected File", this);
    button1->setObjectName("button1");
    dataGridView1 = new QTableWidget(0, static_cast<int>(kChannelPreviewTitles.size()), this);
    dataGridView1->setObjectName("dataGridView1");
    QStringList titles;
    for (std::string_view t : kChannelPreviewTitles)
        titles << QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    dataGridView1->setHorizontalHeaderLabels(titles);
    dataGridView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The header row grows to fit its texts.
    QHeaderView* header = dataGridView1->horizontalHeader();
    header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter) | Qt::Alignment(Qt::TextWordWrap));
    header->setDefaultSectionSize(120);
    header->setMinimumHeight(3 * fontMetrics().height() + 8);

    numericUpDown_start_pos = SpinBox(this, "numericUpDown_start_pos", 0, LargestStart(0), 0);
    numericUpDown1 = SpinBox(this, "numericUpDown1", 0, 4, 0);
    checkBox_use_channel_info = new QCheckBox("Demultiplex 1  Channel :", this);
    checkBox_use_channel_info->setObjectName("checkBox_use_channel_info");
    numericUpDown_channel_col = SpinBox(this, "numericUpDown_channel_col", 0, 4, 0);
    numericUpDown_channel_number = SpinBox(this, "numericUpDown_channel_number", -1000, 1000, 0);
    checkBox_demultiplex_sidescan = new QCheckBox("Demultiplex Sidescan :", this);
    checkBox_demultiplex_sidescan->setObjectName("checkBox_demultiplex_sidescan");
    numericUpDown_channel_col2 = SpinBox(this, "numericUpDown_channel_col2", 0, 4, 0);
    numericUpDown_port = SpinBox(this, "numericUpDown_port", -1000, 1000, 0);
    numericUpDown_stbd = SpinBox(this, "numericUpDown_stbd", -1000, 1000, 1);
    checkBox1 = new QCheckBox("Flip Port", this);
    checkBox1->setObjectName("checkBox1");
    checkBox1->setChecked(true);
    button2 = new QPushButton("Hide Window", this);
    button2->setObjectName("button2");

    auto* rows = new QGridLayout;
    rows->addWidget(Caption(this,
                            "User Defined Field : start position of field (0-239)",
                            numericUpDown_start_pos),
                    0,
                    0,
                    1,
                    2);
    rows->addWidget(numericUpDown_start_pos, 0, 2);
    rows->addWidget(Caption(this, "length of field (bytes)", numericUpDown1), 0, 3);
    rows->addWidget(numericUpDown1, 0, 4);
    rows->addWidget(checkBox_use_channel_info, 1, 0);
    rows->addWidget(Caption(this, "Channel Field ( col 0 to 4)", numericUpDown_channel_col), 1, 1);
    rows->addWidget(numericUpDown_channel_col, 1, 2);
    rows->addWidget(Caption(this, "Channel Number", numericUpDown_channel_number), 1, 3);
    rows->addWidget(numericUpDown_channel_number, 1, 4);
    rows->addWidget(checkBox_demultiplex_sidescan, 2, 0);
    rows->addWidget(Caption(this, "Channel Field ( col 0 to 4)", numericUpDown_channel_col2), 2, 1);
    rows->addWidget(numericUpDown_channel_col2, 2, 2);
    rows->addWidget(Caption(this, "Port #", numericUpDown_port), 2, 3);
    rows->addWidget(numericUpDown_port, 2, 4);
    rows->addWidget(Caption(this, "Stdb #", numericUpDown_stbd), 2, 5);
    rows->addWidget(numericUpDown_stbd, 2, 6);
    rows->addWidget(checkBox1, 3, 4);

    auto* layout = new QVBoxLayout(this);
    label_input_file = new QLabel("No file scanned", this);
    label_input_file->setObjectName("label_input_file");
    label_input_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scanRow = new QHBoxLayout;
    scanRow->addWidget(button1);
    scanRow->addWidget(label_input_file, 1);
    layout->addLayout(scanRow);
    layout->addWidget(dataGridView1, 1);
    layout->addLayout(rows);
    layout->addWidget(button2);
    resize(820, 560);

    setTabOrder(button1, dataGridView1);
    setTabOrder(dataGridView1, numericUpDown_start_pos);
    setTabOrder(numericUpDown_start_pos, numericUpDown1);
    setTabOrder(numericUpDown1, checkBox_use_channel_info);
    setTabOrder(checkBox_use_channel_info, numericUpDown_channel_col);
    setTabOrder(numericUpDown_channel_col, numericUpDown_channel_number);
    setTabOrder(numericUpDown_channel_number, checkBox_demultiplex_sidescan);
    setTabOrder(checkBox_demultiplex_sidescan, numericUpDown_channel_col2);
    setTabOrder(numericUpDown_channel_col2, numericUpDown_port);
    setTabOrder(numericUpDown_port, numericUpDown_stbd);
    setTabOrder(numericUpDown_stbd, checkBox1);
    setTabOrder(checkBox1, button2);

    // Every box writes its setting whenever it changes, whatever the modes.
    using Spin = CRangeSpinBox;
    connect(numericUpDown_start_pos, &Spin::valueChanged, this, [this](int v) {
        m_settings.channel_start = v;
    });
    connect(numericUpDown1, &Spin::valueChanged, this, &processing_options::LengthChanged);
    connect(numericUpDown_channel_col, &Spin::valueChanged, this, [this](int v) {
        m_settings.channel_field = v;
    });
    connect(numericUpDown_channel_col2, &Spin::valueChanged, this, [this](int v) {
        m_settings.channel_field = v;
    });
    connect(numericUpDown_channel_number, &Spin::valueChanged, this, [this](int v) {
        m_settings.channel_id = v;
    });
    connect(
        numericUpDown_port, &Spin::valueChanged, this, [this](int v) { m_settings.port_id = v; });
    connect(
        numericUpDown_stbd, &Spin::valueChanged, this, [this](int v) { m_settings.stbd_id = v; });
    connect(checkBox1, &QCheckBox::toggled, this, [this](bool on) { m_settings.flip_port = on; });
    connect(checkBox_use_channel_info,
            &QCheckBox::toggled,
            this,
            &processing_options::SingleChannelToggled);
    connect(checkBox_demultiplex_sidescan,
            &QCheckBox::toggled,
            this,
            &processing_options::SidescanToggled);
    connect(button1, &QPushButton::clicked, this, &processing_options::ScanSelectedFile);
    connect(button2, &QPushButton::clicked, this, &QWidget::hide);
    // Escape does what the window's own closing button does.
    CloseOnEscape(*this, [this] { button2->click(); });
    PressOnEnter(*this);
}

void processing_options::LengthChanged(int length)
{
    m_settings.channel_length = length;
    // A field reaching past byte 239 cannot be read: the start follows the
    // length (setMaximum lowers a start that no longer fits, which writes it).
    numericUpDown_start_pos->setMaximum(LargestStart(length));
}

void processing_options::SingleChannelToggled(bool on)
{
    if (!on) {
        m_settings.demultiplex_single_channel = false;
        return;
    }
    checkBox_demultiplex_sidescan->setChecked(false);
    m_settings.demultiplex_single_channel = true;
    m_settings.channel_start = numericUpDown_start_pos->value();
    m_settings.channel_length = numericUpDown1->value();
    m_settings.channel_field = numericUpDown_channel_col->value();
    m_settings.channel_id = numericUpDown_channel_number->value();
}

void processing_options::SidescanToggled(bool on)
{
    if (!on) {
        m_settings.demultiplex_sidescan = false;
        return;
    }
    // Both modes are never on together: the other one goes off first.
    checkBox_use_channel_info->setChecked(false);
    m_settings.demultiplex_sidescan = true;
    m_settings.channel_field = numericUpDown_channel_col2->value();
    m_settings.port_id = numericUpDown_port->value();
    m_settings.stbd_id = numericUpDown_stbd->value();
    m_settings.channel_start = numericUpDown_start_pos->value();
    m_settings.channel_length = numericUpDown1->value();
}

void processing_options::set_input_file(const QString& path)
{
    if (path == m_inputFile)
        return;
    m_inputFile = path;
    if (dataGridView1->rowCount() > 0 || m_scanned) {
        dataGridView1->setRowCount(0);
        m_scanned = false;
        label_input_file->setText("Not scanned yet: " + QFileInfo(path).fileName());
    }
}

void processing_options::ScanSelectedFile()
{
    dataGridView1->setRowCount(0);
    m_scanned = true;
    label_input_file->setText(m_inputFile.isEmpty() ? QString("No file selected")
                                                    : "Showing " + m_inputFile);
    const auto rows = ScanChannelPreview(
        m_inputFile.toStdString(), numericUpDown_start_pos->value(), numericUpDown1->value());
    if (!rows)
        return;
    dataGridView1->setRowCount(static_cast<int>(rows->size()));
    for (int r = 0; r < static_cast<int>(rows->size()); ++r) {
        const auto cells = ChannelPreviewCells((*rows)[static_cast<std::size_t>(r)]);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            const std::string& text = cells[static_cast<std::size_t>(c)];
            auto* item = new QTableWidgetItem(QString::fromStdString(text));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            dataGridView1->setItem(r, c, item);
        }
    }
}

} // namespace tessara
