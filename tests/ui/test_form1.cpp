// The main window: its controls as the window's table gives them, the
// mapping of every control onto the settings record, and the list commands.
#include "combine/api/combine_settings.h"
#include "tests/ui/ui_test_support.h"
#include "ui/processing_log.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"
#include "ui/site_lists.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <variant>

namespace tessara::test
{
namespace
{

QString Text(int value)
{
    return QString::number(value);
}
QString Text(double value)
{
    return QString::number(value);
}
QString Text(bool on)
{
    return on ? "on" : "off";
}
QString Text(KnudsenNameFormat format)
{
    return format == KnudsenNameFormat::YearDay ? "YearDay" : "DayOnly";
}
QString Text(SpacingMode mode)
{
    return mode == SpacingMode::Median ? "median" : "fixed";
}
QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

/// A setting of the record as text, by its name in the settings table.
QString SettingText(const CombineSettings& s, const QString& name)
{
    for (const SettingRow& setting : kCombineSettings) {
        if (name == setting.field)
            return std::visit([&s](auto member) { return Text(s.*member); }, setting.member);
    }
    return "unknown setting " + name;
}

/// The plain caption of a setting, as screen readers name its control.
QString AccessibleCaption(const SettingRow& setting)
{
    return QString(setting.caption).remove('&').trimmed();
}

QStringList Texts(const QListWidget& list)
{
    QStringList texts;
    for (int k = 0; k < list.count(); ++k)
        texts << list.item(k)->text();
    return texts;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_ui = std::make_unique<WindowUnderTest>(); }
    void cleanup() { m_ui.reset(); }

    void captions_and_tooltips_data();
    void captions_and_tooltips();
    void spin_box_ranges_data();
    void spin_box_ranges();
    void every_setting_has_a_control();
    void controls_write_their_settings_data();
    void controls_write_their_settings();
    void defaults_are_the_record_defaults();
    void speed_correction_can_be_switched_on();
    void window_texts();
    void tab_order_runs_top_to_bottom();
    void typing_past_the_range_takes_the_limit();
    void loading_the_same_file_twice_lists_it_twice();
    void clear_selected_removes_rows_2_5_7_of_ten();
    void clear_entire_list();
    void navigation_files_reach_the_job();
    void dropped_files_are_appended();
    void setup_demultiplex_with_an_empty_list_does_nothing();
    void setup_demultiplex_without_selection_takes_the_first_entry();
    void toggle_log_twice_keeps_visibility_and_text();
    void site_lists_add_entries_from_configuration_files();

private:
    template <typename T> T* Find(const QString& name)
    {
        T* w = m_ui->window->findChild<T*>(name);
        if (w == nullptr)
            qWarning("no control %s", qPrintable(name));
        return w;
    }

    std::unique_ptr<WindowUnderTest> m_ui;
};

void TestForm1::captions_and_tooltips_data()
{
    // The window's caption table: the widget showing the caption, its text,
    // its tooltip, and the control the caption leads to.
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("control");
    const QString none;
    QTest::newRow("Expedition") << "label_Expedition"
                                << "Expedition ID" << none << "comboBox_Expedition";
    QTest::newRow("data type") << "label_data_type"
                               << "Data Type" << none << "comboBox_data_type";
    QTest::newRow("instrument") << "label_instrument_type"
                                << "Instrument Type" << none << "comboBox_instrument_type";
    QTest::newRow("transducer") << "label_xcdr"
                                << "Transducer Type" << none << "comboBox_xcdr";
    QTest::newRow("size") << "label_max_file_size"
                          << "Maximum Combined File Size (MBytes)" << none
                          << "numericUpDown_max_file_size";
    QTest::newRow("duration") << "label_time_duration_limit"
                              << "Maximum Combined Time Duration (hr)" << none
                              << "numericUpDown_time_duration_limit";
    QTest::newRow("null traces") << "label_make_null_traces"
                                 << "Make null traces to fill file gaps" << none
                                 << "checkBox_make_null_traces";
    QTest::newRow("gap") << "label_file_gap"
                         << "Maximum File Gap (min)" << none << "numericUpDown_file_gap";
    QTest::newRow("demux only") << "label_demultiplex_only"
                                << "Demultiplex Only" << none << "checkBox_demultiplex_only";
    QTest::newRow("time correction") << "label_timecorrection"
                                     << "Correction Added to Trace Time (sec)"
                                     << "Add a static delay to all traces"
                                     << "numericUpDown_timecorrection";
    QTest::newRow("delay scan") << "label_delayscan"
                                << "Scan for Abnormal Delay Changes"
                                << "Erroneous delay values can cause the program to crash\r\nor "
                                   "create very large output files.\r\n"
                                << "checkBox_delayscan";
    QTest::newRow("knudsen") << "label_fixupknudsen"
                             << "Fix Up Knudsen Day in SEGY hdr"
                             << "Some Knudsen data does not contain the Julian Day in the SEGY "
                                "header"
                             << "checkBox_fixupknudsen";
    QTest::newRow("year day") << "radioButtonYearDay"
                              << "0001_2003_255_1735"
                              << "The year and day are derived from the file name.\r\n Check the "
                                 "format of the input knudsen file name.\r\n"
                              << none;
    QTest::newRow("day only") << "radioButtonDayOnly"
                              << "0001_255_1735"
                              << "The Julian day is derived from the file name .\r\nCheck the "
                                 "format of the input knudsen file name."
                              << none;
    QTest::newRow("frequency") << "label_sampling_frequency"
                               << "Assign Sampling Frequency (hz)"
                               << "Choose the sampling frequency ( FFT based)"
                               << "checkBoxSamplingFrequency";
    QTest::newRow("speed") << "checkBox1"
                           << "Create Speed Corrected SEGY"
                           << "Output trace data on a distance interval basis" << none;
    QTest::newRow("nav ave") << "label_nav_average"
                             << "Nav Ave +/- "
                             << "We calculate a mean speed velocity over an extended\r\ninterval "
                                "and use this estimate to smooth point-to-point\r\nnavigational "
                                "fixes using a Kalman filter.\r\n"
                             << "numericUpDown1";
    QTest::newRow("fixes") << "label_fixes"
                           << "Fixes"
                           << "Add or drop traces to produce equal spacing"
                           << "numericUpDown1";
    QTest::newRow("median") << "radioButton1"
                            << "Correct to median trace spacing"
                            << "Use the median shot spacing" << none;
    QTest::newRow("fixed") << "radioButton2"
                           << "Correct to fixed trace spacing"
                           << "Fix the shot spacing" << none;
    QTest::newRow("spacing") << "label_trace_spacing"
                             << "Trace Spacing (m)"
                             << "Add or drop traces to produce equal spacing"
                             << "numericUpDown2";
    QTest::newRow("load") << "button_load_segy"
                          << "Load Segy Files" << none << none;
    QTest::newRow("clear selected") << "button_clear_selected"
                                    << "Clear Selected" << none << none;
    QTest::newRow("clear list") << "button_clear_list"
                                << "Clear Entire List" << none << none;
    QTest::newRow("log") << "button3"
                         << "Toggle Log" << none << none;
    QTest::newRow("demux") << "button2"
                           << "Setup Demultiplex Parameters" << none << none;
    QTest::newRow("process") << "button1"
                             << "Process Files" << none << none;
    QTest::newRow("help") << "button_help"
                          << "Help" << none << none;
    QTest::newRow("status") << "label_status"
                            << "..." << none << none;
    QTest::newRow("heading") << "label1"
                             << "Tessara Files" << none << none;
}

void TestForm1::captions_and_tooltips()
{
    QFETCH(QString, widget);
    QFETCH(QString, text);
    QFETCH(QString, tooltip);
    QFETCH(QString, control);
    QWidget* w = Find<QWidget>(widget);
    QVERIFY(w != nullptr);
    // The caption shown may carry a keyboard mnemonic; what screen readers
    // say, and the text without its mark, is the caption itself.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), text);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QCOMPARE(QString(label->text()).remove('&'), text);
        if (!control.isEmpty()) {
            QVERIFY(label->buddy() != nullptr);
            QCOMPARE(label->buddy()->objectName(), control);
        }
    } else {
        auto* button = qobject_cast<QAbstractButton*>(w);
        QVERIFY(button != nullptr);
        QCOMPARE(QString(button->text()).remove('&'), text);
    }
    QCOMPARE(w->toolTip(), tooltip);
}

void TestForm1::spin_box_ranges_data()
{
    QTest::addColumn<int>("row");
    for (std::size_t k = 0; k < std::size(kCombineSettings); ++k) {
        if (kCombineSettings[k].bIsNumber())
            QTest::newRow(kCombineSettings[k].field) << static_cast<int>(k);
    }
}

void TestForm1::spin_box_ranges()
{
    // Every number of the settings table has its boxes (in the main window
    // or the demultiplex options) with the table's range, step, decimals
    // and default.
    QFETCH(int, row);
    const SettingRow& setting = kCombineSettings[row];
    QList<QAbstractSpinBox*> boxes;
    for (QAbstractSpinBox* box : m_ui->window->findChildren<QAbstractSpinBox*>()) {
        if (box->accessibleName() == AccessibleCaption(setting))
            boxes << box;
    }
    QVERIFY(!boxes.isEmpty());
    for (QAbstractSpinBox* box : boxes) {
        const double value = setting.DefaultNumber();
        QCOMPARE(box->text(), QString::number(value, 'f', setting.decimals));
        if (auto* whole = qobject_cast<QSpinBox*>(box)) {
            QCOMPARE(setting.decimals, 0);
            QCOMPARE(whole->minimum(), static_cast<int>(setting.minimum));
            QCOMPARE(whole->maximum(), static_cast<int>(setting.maximum));
            QCOMPARE(whole->singleStep(), static_cast<int>(setting.step));
            QCOMPARE(whole->value(), static_cast<int>(value));
        } else {
            auto* decimal = qobject_cast<QDoubleSpinBox*>(box);
            QVERIFY(decimal != nullptr);
            QCOMPARE(decimal->decimals(), setting.decimals);
            QCOMPARE(decimal->minimum(), setting.minimum);
            QCOMPARE(decimal->maximum(), setting.maximum);
            QCOMPARE(decimal->singleStep(), setting.step);
            QCOMPARE(decimal->value(), value);
        }
        // The arrows stop at the limits.
        box->stepBy(10'000'000);
        QCOMPARE(box->text().toDouble(), setting.maximum);
        box->stepBy(-20'000'000);
        QCOMPARE(box->text().toDouble(), setting.minimum);
    }
}

void TestForm1::every_setting_has_a_control()
{
    // Each captioned setting of the table is on show, and no box has a
    // range the table does not give.
    QStringList shown;
    for (const QWidget* w : m_ui->window->findChildren<QWidget*>()) {
        if (const auto* label = qobject_cast<const QLabel*>(w))
            shown << label->text().remove('&').trimmed();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            shown << button->text().remove('&').trimmed();
        else if (qobject_cast<const QAbstractSpinBox*>(w) != nullptr)
            shown << w->accessibleName();
    }
    for (const SettingRow& setting : kCombineSettings) {
        if (*setting.caption != '\0')
            QVERIFY2(shown.contains(AccessibleCaption(setting)), setting.field);
    }
    const QList<QAbstractSpinBox*> boxes = m_ui->window->findChildren<QAbstractSpinBox*>();
    QVERIFY(!boxes.isEmpty());
    for (const QAbstractSpinBox* box : boxes) {
        const bool inTable = std::any_of(
            std::begin(kCombineSettings), std::end(kCombineSettings), [box](const SettingRow& s) {
                return s.bIsNumber() && box->accessibleName() == AccessibleCaption(s);
            });
        QVERIFY2(inTable, qPrintable(box->objectName()));
    }
}

void TestForm1::controls_write_their_settings_data()
{
    // Control, the value given to it, the setting of the record, and the
    // setting's value afterwards.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("expected");
    QTest::newRow("expedition") << "comboBox_Expedition" << QVariant("25042") << "Expedition"
                                << "25042";
    QTest::newRow("data type") << "comboBox_data_type" << QVariant("SEISMIC") << "data_type"
                               << "SEISMIC";
    QTest::newRow("instrument") << "comboBox_instrument_type" << QVariant("CHIRP")
                                << "instrument_type"
                                << "CHIRP";
    QTest::newRow("transducer typed") << "comboBox_xcdr" << QVariant("TX 12") << "xcdr"
                                      << "TX 12";
    QTest::newRow("size") << "numericUpDown_max_file_size" << QVariant(150) << "max_file_size"
                          << "150";
    QTest::newRow("duration") << "numericUpDown_time_duration_limit" << QVariant(6)
                              << "time_duration_limit"
                              << "6";
    QTest::newRow("null traces") << "checkBox_make_null_traces" << QVariant(false)
                                 << "make_null_traces"
                                 << "off";
    QTest::newRow("gap") << "numericUpDown_file_gap" << QVariant(15) << "file_gap"
                         << "15";
    QTest::newRow("demux only") << "checkBox_demultiplex_only" << QVariant(true)
                                << "demultiplex_only"
                                << "on";
    QTest::newRow("time correction")
        << "numericUpDown_timecorrection" << QVariant(3600) << "timecorrection"
        << "3600";
    QTest::newRow("delay scan") << "checkBox_delayscan" << QVariant(false) << "delayscan"
                                << "off";
    QTest::newRow("knudsen") << "checkBox_fixupknudsen" << QVariant(true) << "fixupknudsen"
                             << "on";
    QTest::newRow("day only") << "radioButtonDayOnly" << QVariant(true) << "knudsen_name_format"
                              << "DayOnly";
    QTest::newRow("assign frequency")
        << "checkBoxSamplingFrequency" << QVariant(true) << "assign_sampling_frequency"
        << "on";
    QTest::newRow("frequency") << "numericUpDownSamplingFrequency" << QVariant(8000.5)
                               << "sampling_frequency"
                               << "8000.5";
    QTest::newRow("speed") << "checkBox1" << QVariant(true) << "speed_correction"
                           << "on";
    QTest::newRow("nav fixes") << "numericUpDown1" << QVariant(12) << "nav_average_fixes"
                               << "12";
    QTest::newRow("fixed spacing") << "radioButton2" << QVariant(true) << "spacing_mode"
                                   << "fixed";
    QTest::newRow("spacing") << "numericUpDown2" << QVariant(7.25) << "trace_spacing"
                             << "7.25";
    QTest::newRow("starboard") << "numericUpDown_antenna_offset_across" << QVariant(-1.25)
                               << "antenna_offset_across"
                               << "-1.25";
    QTest::newRow("layback") << "numericUpDown_layback" << QVariant(42.5) << "layback"
                             << "42.5";
}

void TestForm1::controls_write_their_settings()
{
    QFETCH(QString, control);
    QFETCH(QVariant, value);
    QFETCH(QString, setting);
    QFETCH(QString, expected);
    QWidget* w = Find<QWidget>(control);
    QVERIFY(w != nullptr);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int index = combo->findText(value.toString());
        if (index >= 0) {
            combo->setCurrentIndex(index); // chosen from the list
        } else {
            combo->lineEdit()->selectAll();
            QTest::keyClicks(combo->lineEdit(), value.toString()); // typed
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QCOMPARE(button->isChecked(), !value.toBool());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->isChecked(), value.toBool());
    } else if (auto* whole = qobject_cast<QSpinBox*>(w)) {
        whole->setValue(value.toInt());
    } else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(w)) {
        decimal->setValue(value.toDouble());
    } else {
        QFAIL("unexpected control kind");
    }
    QCOMPARE(SettingText(m_ui->window->Settings(), setting), expected);
}

void TestForm1::defaults_are_the_record_defaults()
{
    const CombineSettings& s = m_ui->window->Settings();
    QCOMPARE(QString::fromStdString(s.Expedition), QString("Choose Expedition"));
    QCOMPARE(m_ui->window->comboBox_Expedition->currentText(), QString("Choose Expedition"));
    QVERIFY(m_ui->window->comboBox_data_type->currentText().isEmpty());
    QVERIFY(s.make_null_traces && s.delayscan && !s.demultiplex_only && !s.fixupknudsen);
    QVERIFY(m_ui->window->radioButtonYearDay->isChecked());
    QVERIFY(m_ui->window->radioButton1->isChecked());
    QVERIFY(!s.speed_correction && !s.assign_sampling_frequency);
}

void TestForm1::speed_correction_can_be_switched_on()
{
    // The job reads navigation: the option and its settings take input.
    Form1& w = *m_ui->window;
    QVERIFY(w.checkBox1->isEnabled());
    QVERIFY(w.numericUpDown1->isEnabled() && w.numericUpDown2->isEnabled());
    QVERIFY(w.radioButton1->isEnabled() && w.radioButton2->isEnabled());
    QTest::keyClick(w.checkBox1, Qt::Key_Space);
    QVERIFY(w.checkBox1->isChecked());
    QVERIFY(w.Settings().speed_correction);
}

void TestForm1::window_texts()
{
    Form1& w = *m_ui->window;
    QCOMPARE(w.windowTitle(), QString("Tessara Files"));
    QCOMPARE(w.label_status->font(), w.font());
    QCOMPARE(w.label1->font().pointSize(), 16);
    QVERIFY(w.label1->font().bold() && w.label1->font().italic());
    QCOMPARE(w.listBox_input_segy_files->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!w.windowIcon().isNull());

    // The file chooser's title and filter; cancelling changes nothing.
    QTest::mouseClick(w.button_load_segy, Qt::LeftButton);
    QCOMPARE(m_ui->prompts->fileTitles, QStringList{" Select SEGY files to combine"});
    QVERIFY(m_ui->prompts->fileFilters.front().startsWith("Segy Files (*.sgy *.segy *.seg "));
    QVERIFY(m_ui->prompts->fileFilters.front().endsWith(";;All Files (*)"));
    QCOMPARE(w.listBox_input_segy_files->count(), 0);
}

void TestForm1::tab_order_runs_top_to_bottom()
{
    const QStringList expected = {
        "button_load_segy",
        "button_follow",
        "button_clear_selected",
        "button_clear_list",
        "button3",
        "listBox_input_segy_files",
        "button2",
        "button1",
        "button_stop",
        "button_view",
        "button_preview",
        "button_help",
        "button_about",
        "comboBox_Expedition",
        "comboBox_data_type",
        "comboBox_instrument_type",
        "comboBox_xcdr",
        "numericUpDown_max_file_size",
        "numericUpDown_time_duration_limit",
        "checkBox_make_null_traces",
        "numericUpDown_file_gap",
        "checkBox_demultiplex_only",
        "numericUpDown_timecorrection",
        "checkBox_delayscan",
        "checkBox_fixupknudsen",
        "radioButtonYearDay",
        "radioButtonDayOnly",
        "checkBoxSamplingFrequency",
        "numericUpDownSamplingFrequency",
        "checkBox1",
        "numericUpDown1",
        "radioButton1",
        "radioButton2",
        "numericUpDown2",
    };
    QCOMPARE(TabChain(*Find<QWidget>(expected.front()), expected), expected);
}

void TestForm1::typing_past_the_range_takes_the_limit()
{
    auto* box = m_ui->window->numericUpDown_max_file_size;
    box->selectAll();
    QTest::keyClicks(box, "5000");
    QTest::keyClick(box, Qt::Key_Enter);
    QCOMPARE(box->value(), 2000);
    box->selectAll();
    QTest::keyClicks(box, "0");
    QTest::keyClick(box, Qt::Key_Enter);
    QCOMPARE(box->value(), 1);
    QCOMPARE(m_ui->window->Settings().max_file_size, 1);
    // Past every integer type too.
    box->selectAll();
    QTest::keyClicks(box, "99999999999999999999");
    QTest::keyClick(box, Qt::Key_Enter);
    QCOMPARE(box->value(), 2000);
    auto* spacing = m_ui->window->numericUpDown2;
    spacing->setEnabled(true); // waits for the navigation, greyed
    spacing->selectAll();
    QTest::keyClicks(spacing, "250");
    QTest::keyClick(spacing, Qt::Key_Enter);
    QCOMPARE(spacing->value(), 100.0);
    QCOMPARE(m_ui->window->Settings().trace_spacing, 100.0);
}

void TestForm1::loading_the_same_file_twice_lists_it_twice()
{
    m_ui->prompts->files = {"/data/b.sgy", "/data/a.sgy"};
    QTest::mouseClick(m_ui->window->button_load_segy, Qt::LeftButton);
    m_ui->prompts->files = {"/data/a.sgy"};
    QTest::mouseClick(m_ui->window->button_load_segy, Qt::LeftButton);
    QCOMPARE(Texts(*m_ui->window->listBox_input_segy_files),
             QStringList({"/data/b.sgy", "/data/a.sgy", "/data/a.sgy"}));
}

void TestForm1::navigation_files_reach_the_job()
{
    auto* list = Find<QListWidget>("listBox_navigation_files");
    QVERIFY(list != nullptr);
    m_ui->prompts->files = {"/gps/day1.nmea", "/gps/day2.csv"};
    QTest::mouseClick(Find<QPushButton>("button_add_navigation"), Qt::LeftButton);
    list->item(0)->setSelected(true);
    QTest::mouseClick(Find<QPushButton>("button_remove_navigation"), Qt::LeftButton);
    QCOMPARE(Texts(*list), QStringList({"/gps/day2.csv"}));
    QCOMPARE(m_ui->window->Settings().navigation_files,
             std::vector<std::string>({"/gps/day2.csv"}));
}

void TestForm1::clear_selected_removes_rows_2_5_7_of_ten()
{
    QStringList paths;
    for (int k = 0; k < 10; ++k)
        paths << QString("/data/f%1.sgy").arg(k);
    m_ui->window->AppendInputFiles(paths);
    QListWidget* list = m_ui->window->listBox_input_segy_files;
    for (int row : {7, 2, 5})
        list->item(row)->setSelected(true);
    QTest::mouseClick(m_ui->window->button_clear_selected, Qt::LeftButton);
    QCOMPARE(Texts(*list),
             QStringList({"/data/f0.sgy",
                          "/data/f1.sgy",
                          "/data/f3.sgy",
                          "/data/f4.sgy",
                          "/data/f6.sgy",
                          "/data/f8.sgy",
                          "/data/f9.sgy"}));
    // Nothing selected: nothing happens.
    list->clearSelection();
    QTest::mouseClick(m_ui->window->button_clear_selected, Qt::LeftButton);
    QCOMPARE(list->count(), 7);
}

void TestForm1::clear_entire_list()
{
    m_ui->window->AppendInputFiles({"/data/a.sgy", "/data/b.sgy"});
    QTest::mouseClick(m_ui->window->button_clear_list, Qt::LeftButton);
    QCOMPARE(m_ui->window->listBox_input_segy_files->count(), 0);
}

void TestForm1::dropped_files_are_appended()
{
    m_ui->window->AppendInputFiles({"/data/first.sgy"});
    QWidget* target = m_ui->window->listBox_input_segy_files->viewport();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/data/x.sgy"),
                  QUrl("https://example.org/y.sgy"),
                  QUrl::fromLocalFile("/data/z.sgy")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCOMPARE(Texts(*m_ui->window->listBox_input_segy_files),
             QStringList({"/data/first.sgy", "/data/x.sgy", "/data/z.sgy"}));
}

void TestForm1::setup_demultiplex_with_an_empty_list_does_nothing()
{
    QTest::mouseClick(m_ui->window->button2, Qt::LeftButton);
    QVERIFY(!m_ui->window->popts->isVisible());
    QVERIFY(m_ui->window->popts->input_file().isEmpty());
}

void TestForm1::setup_demultiplex_without_selection_takes_the_first_entry()
{
    m_ui->window->AppendInputFiles({"/data/a.sgy", "/data/b.sgy", "/data/c.sgy"});
    QListWidget* list = m_ui->window->listBox_input_segy_files;
    QTest::mouseClick(m_ui->window->button2, Qt::LeftButton);
    QVERIFY(m_ui->window->popts->isVisible());
    QCOMPARE(m_ui->window->popts->input_file(), QString("/data/a.sgy"));
    QVERIFY(list->item(0)->isSelected());

    // Several selected: the one nearest the top; the open dialog keeps its values.
    m_ui->window->popts->numericUpDown_port->setValue(7);
    list->clearSelection();
    list->item(2)->setSelected(true);
    list->item(1)->setSelected(true);
    QTest::mouseClick(m_ui->window->button2, Qt::LeftButton);
    QCOMPARE(m_ui->window->popts->input_file(), QString("/data/b.sgy"));
    QCOMPARE(m_ui->window->popts->numericUpDown_port->value(), 7);
}

void TestForm1::toggle_log_twice_keeps_visibility_and_text()
{
    processing_log* log = m_ui->window->plog;
    log->Append("\tline one\r\n");
    QVERIFY(!log->isVisible());
    QTest::mouseClick(m_ui->window->button3, Qt::LeftButton);
    QVERIFY(log->isVisible());
    QTest::mouseClick(m_ui->window->button3, Qt::LeftButton);
    QVERIFY(!log->isVisible());
    QCOMPARE(log->Text(), QString("\tline one\r\n"));
}

void TestForm1::site_lists_add_entries_from_configuration_files()
{
    TempDir config;
    auto write = [&](const char* name, const QByteArray& text) {
        QFile file(QString::fromStdString(config.File(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write("expeditions.txt", "25042\n\n  2003017 \n2003017\n");
    write("instruments.txt", "AAA SONAR\nCHIRP\n");
    write("datatypes.txt", "MAGNETICS\n");
    write("transducers.txt", "TX 2\nTX 1\n");
    const SiteLists lists = LoadSiteLists(QString::fromStdString(config.Path().string()));
    QCOMPARE(lists.expeditions, QStringList({"2003017", "25042"}));
    QCOMPARE(lists.dataTypes,
             QStringList({"BATHYMETRY", "LOW KHZ BATHYMETRY", "SEISMIC", "SIDESCAN", "MAGNETICS"}));
    QCOMPARE(lists.transducers, QStringList({"TX 2", "TX 1"}));
    // 58 built in, one new, one already listed; character-code order.
    QCOMPARE(lists.instruments.size(), 59);
    QCOMPARE(lists.instruments.front(), QString("10 KHZ"));
    QVERIFY(lists.instruments.indexOf("AAA SONAR") > lists.instruments.indexOf("7 KHZ"));
    QVERIFY(lists.instruments.indexOf("AAA SONAR") < lists.instruments.indexOf("AIRGUN"));
    QVERIFY(std::is_sorted(lists.instruments.begin(), lists.instruments.end()));

    WindowUnderTest ui({}, QString::fromStdString(config.Path().string()));
    QCOMPARE(ui.window->comboBox_xcdr->count(), 2);
    QCOMPARE(ui.window->comboBox_Expedition->count(), 2);
    QCOMPARE(ui.window->comboBox_Expedition->currentText(), QString("Choose Expedition"));
    // Without site files: no expeditions, no transducers.
    QCOMPARE(m_ui->window->comboBox_Expedition->count(), 0);
    QCOMPARE(m_ui->window->comboBox_xcdr->count(), 0);
    QCOMPARE(m_ui->window->comboBox_instrument_type->count(), 58);
}

QObject* NewForm1Test()
{
    return new TestForm1;
}

} // namespace tessara::test

#include "test_form1.moc"
