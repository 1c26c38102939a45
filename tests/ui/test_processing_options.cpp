// The demultiplex options dialog: its mode and property rules and the scan
// of a file's channel fields.
#include "tests/ui/ui_test_support.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace tessara::test
{

class TestProcessingOptions : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_settings = CombineSettings{};
        m_dialog = std::make_unique<processing_options>(m_settings);
    }
    void cleanup() { m_dialog.reset(); }

    void column_headers_data();
    void column_headers();
    void window_is_modeless_without_title_bar_buttons();
    void boxes_write_their_settings_whatever_the_mode();
    void ticking_sidescan_unticks_single_channel();
    void ticking_single_channel_copies_its_boxes();
    void sidescan_without_touching_stdb_gives_1_and_0();
    void sidescan_field_box_serves_single_channel_too();
    void start_is_limited_to_240_minus_length();
    void scan_of_40_traces_fills_40_rows();
    void scan_of_500_traces_fills_100_rows();
    void column_4_length_1_at_180_is_column_3_unsigned();
    void length_3_or_0_leaves_column_4_empty();
    void unreadable_file_leaves_the_grid_empty();
    void scan_reads_input_file_not_the_list();

private:
    [[nodiscard]] QString Cell(int row, int column) const
    {
        const QTableWidgetItem* item = m_dialog->dataGridView1->item(row, column);
        return item == nullptr ? QString() : item->text();
    }

    CombineSettings m_settings;
    std::unique_ptr<processing_options> m_dialog;
    TempDir m_dir;
};

void TestProcessingOptions::column_headers_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("header");
    QTest::newRow("0") << 0 << "Trace in Original Field Record (col 0)";
    QTest::newRow("1") << 1 << "Trace in Ensemble      (col 1)";
    QTest::newRow("2") << 2 << "Trace Id Code (col 2)";
    QTest::newRow("3") << 3 << "SE880/QELDIG Channel            (col 3)";
    QTest::newRow("4") << 4 << "User Defined (col 4)";
    QTest::newRow("5") << 5 << "Number of Samples";
}

void TestProcessingOptions::column_headers()
{
    QFETCH(int, column);
    QFETCH(QString, header);
    QCOMPARE(m_dialog->dataGridView1->columnCount(), 6);
    QCOMPARE(m_dialog->dataGridView1->horizontalHeaderItem(column)->text(), header);
}

void TestProcessingOptions::window_is_modeless_without_title_bar_buttons()
{
    QCOMPARE(m_dialog->windowTitle(), QString("Demultiplex Options"));
    QVERIFY(!m_dialog->isModal());
    const Qt::WindowFlags flags = m_dialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    m_dialog->show();
    QTest::mouseClick(m_dialog->button2, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->checkBox_use_channel_info->text(), QString("Demultiplex 1  Channel :"));
    QCOMPARE(m_dialog->checkBox_demultiplex_sidescan->text(), QString("Demultiplex Sidescan :"));
    QCOMPARE(m_dialog->checkBox1->text(), QString("Flip Port"));
    QCOMPARE(m_dialog->button1->text(), QString("Scan Selected File"));
}

void TestProcessingOptions::boxes_write_their_settings_whatever_the_mode()
{
    m_dialog->numericUpDown_channel_number->setValue(-12);
    m_dialog->numericUpDown_port->setValue(3);
    m_dialog->numericUpDown_stbd->setValue(4);
    m_dialog->numericUpDown_start_pos->setValue(200);
    m_dialog->numericUpDown1->setValue(2);
    m_dialog->checkBox1->setChecked(false);
    QCOMPARE(m_settings.channel_id, -12);
    QCOMPARE(m_settings.port_id, 3);
    QCOMPARE(m_settings.stbd_id, 4);
    QCOMPARE(m_settings.channel_start, 200);
    QCOMPARE(m_settings.channel_length, 2);
    QVERIFY(!m_settings.flip_port);
    QVERIFY(!m_settings.demultiplex_single_channel && !m_settings.demultiplex_sidescan);
    // Both field boxes write the one setting; the last change wins.
    m_dialog->numericUpDown_channel_col->setValue(1);
    m_dialog->numericUpDown_channel_col2->setValue(3);
    QCOMPARE(m_settings.channel_field, 3);
    m_dialog->numericUpDown_channel_col->setValue(2);
    QCOMPARE(m_settings.channel_field, 2);
}

void TestProcessingOptions::ticking_sidescan_unticks_single_channel()
{
    QTest::mouseClick(m_dialog->checkBox_use_channel_info, Qt::LeftButton);
    QVERIFY(m_settings.demultiplex_single_channel);
    QTest::mouseClick(m_dialog->checkBox_demultiplex_sidescan, Qt::LeftButton);
    QVERIFY(!m_dialog->checkBox_use_channel_info->isChecked());
    QVERIFY(!m_settings.demultiplex_single_channel);
    QVERIFY(m_settings.demultiplex_sidescan);
    QTest::mouseClick(m_dialog->checkBox_use_channel_info, Qt::LeftButton);
    QVERIFY(!m_dialog->checkBox_demultiplex_sidescan->isChecked());
    QVERIFY(m_settings.demultiplex_single_channel && !m_settings.demultiplex_sidescan);
    // Unticking switches the mode off and changes nothing else.
    const int field = m_settings.channel_field;
    QTest::mouseClick(m_dialog->checkBox_use_channel_info, Qt::LeftButton);
    QVERIFY(!m_settings.demultiplex_single_channel && !m_settings.demultiplex_sidescan);
    QCOMPARE(m_settings.channel_field, field);
    QVERIFY(ValidateCombineSettings(m_settings).empty());
}

void TestProcessingOptions::ticking_single_channel_copies_its_boxes()
{
    m_dialog->numericUpDown_channel_col->setValue(1);
    m_dialog->numericUpDown_channel_number->setValue(9);
    m_dialog->numericUpDown_channel_col2->setValue(4); // the last field change so far
    QCOMPARE(m_settings.channel_field, 4);
    QTest::mouseClick(m_dialog->checkBox_use_channel_info, Qt::LeftButton);
    QCOMPARE(m_settings.channel_field, 1);
    QCOMPARE(m_settings.channel_id, 9);
}

void TestProcessingOptions::sidescan_without_touching_stdb_gives_1_and_0()
{
    QTest::mouseClick(m_dialog->checkBox_demultiplex_sidescan, Qt::LeftButton);
    QCOMPARE(m_settings.stbd_id, 1);
    QCOMPARE(m_settings.port_id, 0);
    QVERIFY(m_settings.flip_port);
}

void TestProcessingOptions::sidescan_field_box_serves_single_channel_too()
{
    QTest::mouseClick(m_dialog->checkBox_use_channel_info, Qt::LeftButton);
    m_dialog->numericUpDown_channel_col->setValue(2);
    m_dialog->numericUpDown_channel_col2->setValue(3);
    QVERIFY(m_settings.demultiplex_single_channel);
    QCOMPARE(m_settings.channel_field, 3);
}

void TestProcessingOptions::start_is_limited_to_240_minus_length()
{
    CRangeSpinBox* start = m_dialog->numericUpDown_start_pos;
    QCOMPARE(start->maximum(), 239);
    start->setValue(239);
    m_dialog->numericUpDown1->setValue(4);
    QCOMPARE(start->maximum(), 236);
    QCOMPARE(start->value(), 236);
    QCOMPARE(m_settings.channel_start, 236);
    m_dialog->numericUpDown1->setValue(2);
    QCOMPARE(start->maximum(), 238);
    m_dialog->numericUpDown1->setValue(1);
    QCOMPARE(start->maximum(), 239);
}

void TestProcessingOptions::scan_of_40_traces_fills_40_rows()
{
    m_dialog->set_input_file(QString::fromStdString(WriteSurveyFile(m_dir.Path(), 40)));
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 40);
    // Column 0 is traceSequenceFile, counting from 1; the sample count shows.
    QCOMPARE(Cell(0, 0), QString("1"));
    QCOMPARE(Cell(39, 0), QString("40"));
    QCOMPARE(Cell(0, 5), QString("16"));
    QVERIFY(Cell(0, 4).isEmpty()); // length 0: no user-defined value
}

void TestProcessingOptions::scan_of_500_traces_fills_100_rows()
{
    m_dialog->set_input_file(QString::fromStdString(WriteSurveyFile(m_dir.Path(), 500)));
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 100);
    QCOMPARE(Cell(99, 0), QString("100"));
    // A second scan replaces the rows.
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 100);
}

void TestProcessingOptions::column_4_length_1_at_180_is_column_3_unsigned()
{
    m_dialog->set_input_file(QString::fromStdString(WriteSurveyFile(m_dir.Path(), 3, -1)));
    m_dialog->numericUpDown1->setValue(1);
    m_dialog->numericUpDown_start_pos->setValue(180);
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 3);
    QCOMPARE(Cell(0, 3), QString("-1"));
    QCOMPARE(Cell(0, 4), QString("255"));
    // Length 2 at byte 28 is traceIdCode, as column 2 shows it.
    m_dialog->numericUpDown1->setValue(2);
    m_dialog->numericUpDown_start_pos->setValue(28);
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(Cell(1, 4), Cell(1, 2));
    // The scan changes no setting's mode.
    QVERIFY(!m_settings.demultiplex_single_channel && !m_settings.demultiplex_sidescan);
}

void TestProcessingOptions::length_3_or_0_leaves_column_4_empty()
{
    m_dialog->set_input_file(QString::fromStdString(WriteSurveyFile(m_dir.Path(), 5)));
    for (int length : {3, 0}) {
        m_dialog->numericUpDown1->setValue(length);
        QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
        QCOMPARE(m_dialog->dataGridView1->rowCount(), 5);
        for (int row = 0; row < 5; ++row)
            QVERIFY(Cell(row, 4).isEmpty());
    }
}

void TestProcessingOptions::unreadable_file_leaves_the_grid_empty()
{
    m_dialog->set_input_file(QString::fromStdString(WriteSurveyFile(m_dir.Path(), 5)));
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 5);
    m_dialog->set_input_file(QString::fromStdString(m_dir.File("missing.sgy")));
    QTest::mouseClick(m_dialog->button1, Qt::LeftButton);
    QCOMPARE(m_dialog->dataGridView1->rowCount(), 0);
}

void TestProcessingOptions::scan_reads_input_file_not_the_list()
{
    WindowUnderTest ui;
    const QString path = QString::fromStdString(WriteSurveyFile(m_dir.Path(), 7));
    ui.window->AppendInputFiles({path});
    QTest::mouseClick(ui.window->button2, Qt::LeftButton);
    QTest::mouseClick(ui.window->button_clear_list, Qt::LeftButton);
    QCOMPARE(ui.window->popts->input_file(), path);
    QTest::mouseClick(ui.window->popts->button1, Qt::LeftButton);
    QCOMPARE(ui.window->popts->dataGridView1->rowCount(), 7);
}

QObject* NewProcessingOptionsTest()
{
    return new TestProcessingOptions;
}

} // namespace tessara::test

#include "test_processing_options.moc"
