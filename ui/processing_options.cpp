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

/// The caption of `setting`, which keyboard users reach `buddy` by.
QLabel* Caption(QWidget* parent, const SettingRow& setting, QWidget* buddy)
{
    auto* label = new QLabel(CaptionText(setting), parent);
    label->setBuddy(buddy);
    return label;
}

/// A check box captioned as its setting.
QCheckBox* CheckBox(QWidget* parent, const SettingRow& setting, const char* name)
{
    auto* box = new QCheckBox(CaptionText(setting), parent);
    box->setObjectName(name);
    return box;
}

/// Largest start of a user-defined field of `length` bytes that still lies
/// inside the header.
int LargestStart(int length)
{
    const auto lastStart = static_cast<int>(SettingOf(&CombineSettings::channel_start).maximum);
    return std::min(lastStart, kHeaderBytes - length);
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

    using S = CombineSettings;
    const SettingRow& start = SettingOf(&S::channel_start);
    const SettingRow& length = SettingOf(&S::channel_length);
    const SettingRow& field = SettingOf(&S::channel_field);
    const SettingRow& channel = SettingOf(&S::channel_id);
    const SettingRow& port = SettingOf(&S::port_id);
    const SettingRow& stbd = SettingOf(&S::stbd_id);
    numericUpDown_start_pos = SettingSpinBox(start, "numericUpDown_start_pos", this);
    numericUpDown1 = SettingSpinBox(length, "numericUpDown1", this);
    checkBox_use_channel_info =
        CheckBox(this, SettingOf(&S::demultiplex_single_channel), "checkBox_use_channel_info");
    numericUpDown_channel_col = SettingSpinBox(field, "numericUpDown_channel_col", this);
    numericUpDown_channel_number = SettingSpinBox(channel, "numericUpDown_channel_number", this);
    checkBox_demultiplex_sidescan =
        CheckBox(this, SettingOf(&S::demultiplex_sidescan), "checkBox_demultiplex_sidescan");
    numericUpDown_channel_col2 = SettingSpinBox(field, "numericUpDown_channel_col2", this);
    numericUpDown_port = SettingSpinBox(port, "numericUpDown_port", this);
    numericUpDown_stbd = SettingSpinBox(stbd, "numericUpDown_stbd", this);
    checkBox1 = CheckBox(this, SettingOf(&S::flip_port), "checkBox1");
    checkBox1->setChecked(S{}.flip_port);
    button2 = new QPushButton("Hide Window", this);
    button2->setObjectName("button2");

    auto* rows = new QGridLayout;
    rows->addWidget(Caption(this, start, numericUpDown_start_pos), 0, 0, 1, 2);
    rows->addWidget(numericUpDown_start_pos, 0, 2);
    rows->addWidget(Caption(this, length, numericUpDown1), 0, 3);
    rows->addWidget(numericUpDown1, 0, 4);
    rows->addWidget(checkBox_use_channel_info, 1, 0);
    rows->addWidget(Caption(this, field, numericUpDown_channel_col), 1, 1);
    rows->addWidget(numericUpDown_channel_col, 1, 2);
    rows->addWidget(Caption(this, channel, numericUpDown_channel_number), 1, 3);
    rows->addWidget(numericUpDown_channel_number, 1, 4);
    rows->addWidget(checkBox_demultiplex_sidescan, 2, 0);
    rows->addWidget(Caption(this, field, numericUpDown_channel_col2), 2, 1);
    rows->addWidget(numericUpDown_channel_col2, 2, 2);
    rows->addWidget(Caption(this, port, numericUpDown_port), 2, 3);
    rows->addWidget(numericUpDown_port, 2, 4);
    rows->addWidget(Caption(this, stbd, numericUpDown_stbd), 2, 5);
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

void processing_options::ShowSettings(const CombineSettings& s)
{
    checkBox_use_channel_info->setChecked(false);
    checkBox_demultiplex_sidescan->setChecked(false);
    // The length first: it bounds the start.
    numericUpDown1->setValue(s.channel_length);
    numericUpDown_start_pos->setValue(s.channel_start);
    numericUpDown_channel_col->setValue(s.channel_field);
    numericUpDown_channel_col2->setValue(s.channel_field);
    numericUpDown_channel_number->setValue(s.channel_id);
    numericUpDown_port->setValue(s.port_id);
    numericUpDown_stbd->setValue(s.stbd_id);
    checkBox1->setChecked(s.flip_port);
    checkBox_use_channel_info->setChecked(s.demultiplex_single_channel);
    checkBox_demultiplex_sidescan->setChecked(s.demultiplex_sidescan);
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
