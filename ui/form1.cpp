#include "ui/form1.h"

#include "combine/api/combine_job.h"
#include "combine/api/settings_profile.h"
#include "ui/app_icon.h"
#include "ui/child_window.h"
#include "ui/file_list.h"
#include "ui/job_preview.h"
#include "ui/job_summary.h"
#include "ui/navigation_panel.h"
#include "ui/output_folder_check.h"
#include "ui/processing_help.h"
#include "ui/processing_log.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"
#include "ui/section_viewer.h"
#include "ui/site_lists.h"
#include "ui/speed_correction.h"
#include "ui/window_job_host.h"
#include "ui/window_prompts.h"

#include <GeographicLib/Config.h>
#include <gsl/gsl_version.h>
#if TESSARA_HAVE_FFTW
#include <fftw3.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <QtCharts/qtchartsversion.h>

#include <algorithm>

namespace tessara
{
namespace
{

const QString kTitle = QStringLiteral("Tessara Files");
const QString kVersion = QStringLiteral("Tessara Ver " TESSARA_VERSION);
const QString kLoadTitle = QStringLiteral(" Select SEGY files to combine");
// "Segy Files|*.sgy|All Files|*.*" in Qt's notation, with the other names
// recorders give SEG-Y files, in the two cases they write them: the desktop's
// own file chooser may match names case by case. "*" rather than "*.*",
// which would hide files without a dot on this platform.
const QString kLoadFilter =
    QStringLiteral("Segy Files (*.sgy *.segy *.seg *.SGY *.SEGY *.SEG);;All Files (*)");
const QString kOutputDescription = QStringLiteral(" Choose output directory for composite files");
const QString kFollowDescription = QStringLiteral(" Choose the folder the recorder writes into");

/// `text` without its mnemonic marks, as screen readers say it.
QString Plain(const QString& text)
{
    QString plain = text;
    return plain.remove('&');
}

/// A button whose text carries a mnemonic ("&Load Segy Files"); its
/// accessible name is the text without it. Enter presses it when it has
/// the focus, as Space does.
QPushButton* Button(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(Plain(text));
    button->setAutoDefault(true);
    return button;
}

QComboBox* ComboBox(QWidget* parent, const char* name, const QStringList& entries)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert); // the setting is the text shown
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
    return box;
}

/// A caption that keyboard users and screen readers reach `buddy` by.
QLabel* Caption(QWidget* parent, const char* name, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    if (buddy->accessibleName().isEmpty())
        buddy->setAccessibleName(Plain(text).trimmed());
    return label;
}

/// A check box whose caption is a label of its own beside it.
QCheckBox* BareCheckBox(QWidget* parent, const char* name, bool checked)
{
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

std::string Std(const QString& text)
{
    return text.toStdString();
}

/// The status line: the window's own font, and a text too long for it shown
/// shortened in the middle, whole in its tooltip. The job rewrites it every
/// tenth trace, so a text of any length must not resize the window.
class CStatusLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
        const QString tip = shown == text() ? QString() : text();
        if (toolTip() != tip)
            setToolTip(tip);
        QPainter painter(this);
        style()->drawItemText(&painter,
                              area,
                              static_cast<int>(alignment()),
                              palette(),
                              isEnabled(),
                              shown,
                              foregroundRole());
    }
};

/// "fftw-3.3.10-sse2-avx" as "3.3.10".
[[maybe_unused]] QString FftwVersion(const char* text)
{
    return QString(text).section('-', 1, 1);
}

} // namespace

QSettings StoredState()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "tessara", "tessara");
}

QStringList CommandLineFiles(const QStringList& arguments)
{
    QStringList files;
    bool optionsEnd = false;
    for (qsizetype k = 1; k < arguments.size(); ++k) {
        const QString& argument = arguments[k];
        if (!optionsEnd && argument == "--") {
            optionsEnd = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnd && argument.startsWith('-')))
            continue;
        // A file manager may pass URLs (%U) rather than paths.
        const QUrl url(argument);
        files << (url.isLocalFile() ? url.toLocalFile() : argument);
    }
    return files;
}

QString AboutText()
{
    // The versions running where the library says it at run time, else the
    // version built against.
    QStringList libraries = {"Qt " + QString(qVersion()),
                             "Qt Charts " QTCHARTS_VERSION_STR,
                             "GNU Scientific Library " + QString(gsl_version)};
#if TESSARA_HAVE_FFTW
    libraries << "FFTW " + FftwVersion(fftw_version);
#endif
    libraries << "GeographicLib " GEOGRAPHICLIB_VERSION_STRING;
    libraries << "toml++ " + QString::fromStdString(SettingsProfileLibraryVersion());
    return kVersion +
           "\n\n"
           "Orders SEG-Y files by recording time and combines them into composite files.\n\n"
           "Licence: GNU General Public License, version 3 or later.\n\n"
           "Libraries:\n    " +
           libraries.join("\n    ");
}

Form1::Form1(const QString& programDirectory,
             const QString& configDirectory,
             std::unique_ptr<IWindowPrompts> prompts,
             QWidget* parent)
    : QWidget(parent), m_prompts(prompts ? std::move(prompts) : std::make_unique<CDialogPrompts>())
{
    setObjectName("Form1");
    setWindowTitle(kTitle);
    setWindowIcon(AppIcon());

    BuildCommandColumn();
    BuildSettingsPanel(configDirectory);
    auto* layout = new QHBoxLayout(this);
    auto* column = new QVBoxLayout;
    column->addWidget(button_load_segy);
    column->addWidget(button_follow);
    column->addWidget(button_clear_selected);
    column->addWidget(button_clear_list);
    column->addWidget(button3);
    column->addWidget(listBox_input_segy_files, 1);
    panel_navigation = new CNavigationPanel(m_settings, *m_prompts, this);
    column->addWidget(panel_navigation);
    column->addWidget(button2);
    column->addWidget(button_settings);
    auto* processRow = new QHBoxLayout;
    processRow->addWidget(button1, 1);
    processRow->addWidget(button_stop);
    processRow->addWidget(button_view);
    column->addLayout(processRow);
    auto* helpRow = new QHBoxLayout;
    helpRow->addWidget(button_preview);
    helpRow->addWidget(button_help, 1);
    helpRow->addWidget(button_about);
    column->addLayout(helpRow);
    column->addWidget(label_status);
    column->addWidget(progressBar_job);
    layout->addLayout(column, 1);
    layout->addWidget(panel1);
    ConnectSettings();
    SetTabOrder();

    popts = new processing_options(m_settings, this);
    plog = new processing_log(this);
    program_directory = programDirectory;
    phelp = new processing_help(HelpDirectory(program_directory), kHelpFileName, kVersion, this);
    resize(1000, 640);

    // The preview follows the list: a visible dialog shows the entry chosen.
    connect(listBox_input_segy_files, &QListWidget::itemSelectionChanged, this, [this] {
        if (popts->isVisible() && !listBox_input_segy_files->selectedItems().isEmpty())
            SetupDemultiplex();
    });
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &Form1::ShowHelp);
    auto* load = new QShortcut(QKeySequence::Open, this);
    connect(load, &QShortcut::activated, this, &Form1::LoadSegyFiles);
    // Spelt out: not every platform theme binds the standard Quit key.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);
    auto* remove = new QShortcut(QKeySequence::Delete, listBox_input_segy_files);
    remove->setContext(Qt::WidgetWithChildrenShortcut);
    connect(remove, &QShortcut::activated, this, &Form1::ClearSelected);
    RestoreWindowState();
    ReopenLastProfile();
}

Form1::~Form1() = default;

void Form1::BuildCommandColumn()
{
    button_load_segy = Button(this, "button_load_segy", "&Load Segy Files");
    button_clear_selected = Button(this, "button_clear_selected", "Clear S&elected");
    button_clear_list = Button(this, "button_clear_list", "Clear Entire Lis&t");
    button3 = Button(this, "button3", "Toggle L&og");
    listBox_input_segy_files = new QListWidget(this);
    listBox_input_segy_files->setObjectName("listBox_input_segy_files");
    listBox_input_segy_files->setAccessibleName("Input SEG-Y files");
    listBox_input_segy_files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listBox_input_segy_files->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listBox_input_segy_files->setTextElideMode(Qt::ElideNone);
    // Files dropped from a file manager are appended like loaded ones.
    listBox_input_segy_files->setAcceptDrops(true);
    listBox_input_segy_files->viewport()->setAcceptDrops(true);
    listBox_input_segy_files->viewport()->installEventFilter(this);
    button2 = Button(this, "button2", "Setup Demultiplex P&arameters");
    button1 = Button(this, "button1", "&Process Files");
    button_stop = Button(this, "button_stop", "&Stop");
    button_stop->setToolTip("Finish the output being written and process no further input");
    button_stop->setEnabled(false);
    button_view = Button(this, "button_view", "Vie&w");
    button_view->setToolTip("Show the inputs selected in the list, else the last job's "
                            "outputs, or any SEG-Y files, as sections beside their tracks");
    button_preview = Button(this, "button_preview", "Preview");
    button_preview->setToolTip(
        "The outputs Process Files would write, the inputs it would skip and the traces it "
        "would drop, without writing anything");
    button_follow = Button(this, "button_follow", "Follow Folder...");
    button_follow->setToolTip("Take the SEG-Y files of a folder, then each new one the recorder "
                              "writes once complete, until Stop");
    button_help = Button(this, "button_help", "&Help");
    button_about = Button(this, "button_about", "A&bout");
    button_about->setToolTip("Version, licence and libraries");
    label_status = new CStatusLabel("...", this);
    label_status->setObjectName("label_status");
    label_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    progressBar_job = new QProgressBar(this);
    progressBar_job->setObjectName("progressBar_job");
    progressBar_job->setAccessibleName("Progress");
    progressBar_job->setTextVisible(true);
    progressBar_job->setVisible(false);

    connect(button_load_segy, &QPushButton::clicked, this, &Form1::LoadSegyFiles);
    connect(button_clear_selected, &QPushButton::clicked, this, &Form1::ClearSelected);
    connect(button_clear_list, &QPushButton::clicked, this, &Form1::ClearList);
    connect(button3, &QPushButton::clicked, this, &Form1::ToggleLog);
    connect(button2, &QPushButton::clicked, this, &Form1::SetupDemultiplex);
    connect(button1, &QPushButton::clicked, this, &Form1::ProcessFiles);
    connect(button_stop, &QPushButton::clicked, this, [this] { m_stopRequested = m_jobRunning; });
    connect(button_preview, &QPushButton::clicked, this, &Form1::PreviewFiles);
    connect(button_follow, &QPushButton::clicked, this, &Form1::FollowFolder);
    connect(button_help, &QPushButton::clicked, this, &Form1::ShowHelp);
    connect(button_view, &QPushButton::clicked, this, &Form1::ViewSelectedOrOutputs);
    connect(button_about, &QPushButton::clicked, this, &Form1::ShowAbout);
    BuildSettingsMenu();
}

void Form1::BuildSettingsPanel(const QString& configDirectory)
{
    const CombineSettings defaults;
    const SiteLists lists = LoadSiteLists(configDirectory);
    panel1 = new QFrame(this);
    panel1->setObjectName("panel1");
    panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto* grid = new QGridLayout(panel1);
    int row = 0;

    label1 = new QLabel(kTitle, panel1);
    label1->setObjectName("label1");
    QFont heading("Sans Serif", 16);
    heading.setStyleHint(QFont::SansSerif);
    heading.setBold(true);
    heading.setItalic(true);
    label1->setFont(heading);
    grid->addWidget(label1, row++, 0, 1, 4, Qt::AlignHCenter);

    using S = CombineSettings;
    auto textRow = [&](QComboBox* box, const char* labelName, const SettingRow& setting) {
        grid->addWidget(Caption(panel1, labelName, CaptionText(setting), box), row, 0, 1, 2);
        grid->addWidget(box, row++, 2, 1, 2);
    };
    comboBox_Expedition = ComboBox(panel1, "comboBox_Expedition", lists.expeditions);
    comboBox_Expedition->setEditText(QString::fromStdString(defaults.Expedition));
    textRow(comboBox_Expedition, "label_Expedition", SettingOf(&S::Expedition));
    comboBox_data_type = ComboBox(panel1, "comboBox_data_type", lists.dataTypes);
    textRow(comboBox_data_type, "label_data_type", SettingOf(&S::data_type));
    comboBox_instrument_type = ComboBox(panel1, "comboBox_instrument_type", lists.instruments);
    textRow(comboBox_instrument_type, "label_instrument_type", SettingOf(&S::instrument_type));
    comboBox_xcdr = ComboBox(panel1, "comboBox_xcdr", lists.transducers);
    textRow(comboBox_xcdr, "label_xcdr", SettingOf(&S::xcdr));

    auto spinRow = [&](QWidget* box, const char* labelName, const SettingRow& setting) {
        QLabel* label = Caption(panel1, labelName, CaptionText(setting), box);
        grid->addWidget(label, row, 0, 1, 3);
        grid->addWidget(box, row++, 3);
        return label;
    };
    auto checkRow = [&](QCheckBox* box, const char* labelName, const SettingRow& setting) {
        QLabel* label = Caption(panel1, labelName, CaptionText(setting), box);
        grid->addWidget(box, row, 0);
        grid->addWidget(label, row++, 1, 1, 3);
        return label;
    };
    const SettingRow& maxFileSize = SettingOf(&S::max_file_size);
    numericUpDown_max_file_size =
        SettingSpinBox(maxFileSize, "numericUpDown_max_file_size", panel1);
    spinRow(numericUpDown_max_file_size, "label_max_file_size", maxFileSize);
    const SettingRow& duration = SettingOf(&S::time_duration_limit);
    numericUpDown_time_duration_limit =
        SettingSpinBox(duration, "numericUpDown_time_duration_limit", panel1);
    spinRow(numericUpDown_time_duration_limit, "label_time_duration_limit", duration);
    checkBox_make_null_traces =
        BareCheckBox(panel1, "checkBox_make_null_traces", defaults.make_null_traces);
    checkRow(checkBox_make_null_traces, "label_make_null_traces", SettingOf(&S::make_null_traces));
    const SettingRow& gap = SettingOf(&S::file_gap);
    numericUpDown_file_gap = SettingSpinBox(gap, "numericUpDown_file_gap", panel1);
    spinRow(numericUpDown_file_gap, "label_file_gap", gap);
    checkBox_demultiplex_only =
        BareCheckBox(panel1, "checkBox_demultiplex_only", defaults.demultiplex_only);
    checkRow(checkBox_demultiplex_only, "label_demultiplex_only", SettingOf(&S::demultiplex_only));
    const SettingRow& correction = SettingOf(&S::timecorrection);
    numericUpDown_timecorrection =
        SettingSpinBox(correction, "numericUpDown_timecorrection", panel1);
    spinRow(numericUpDown_timecorrection, "label_timecorrection", correction)
        ->setToolTip("Add a static delay to all traces");
    checkBox_delayscan = BareCheckBox(panel1, "checkBox_delayscan", defaults.delayscan);
    checkRow(checkBox_delayscan, "label_delayscan", SettingOf(&S::delayscan))
        ->setToolTip("Erroneous delay values can cause the program to crash\r\n"
                     "or create very large output files.\r\n");

    // Knudsen fix-up, with its file-name layouts in a panel of their own.
    checkBox_fixupknudsen = BareCheckBox(panel1, "checkBox_fixupknudsen", defaults.fixupknudsen);
    QLabel* knudsenLabel = Caption(panel1,
                                   "label_fixupknudsen",
                                   CaptionText(SettingOf(&S::fixupknudsen)),
                                   checkBox_fixupknudsen);
    knudsenLabel->setToolTip(
        "Some Knudsen data does not contain the Julian Day in the SEGY header");
    auto* group1 = new QFrame(panel1);
    group1->setObjectName("panel_knudsen_name_format");
    group1->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* group1Layout = new QVBoxLayout(group1);
    radioButtonYearDay = new QRadioButton("0001_2003_255_1735", group1);
    radioButtonYearDay->setObjectName("radioButtonYearDay");
    radioButtonYearDay->setToolTip("The year and day are derived from the file name.\r\n"
                                   " Check the format of the input knudsen file name.\r\n");
    radioButtonDayOnly = new QRadioButton("0001_255_1735", group1);
    radioButtonDayOnly->setObjectName("radioButtonDayOnly");
    radioButtonDayOnly->setToolTip("The Julian day is derived from the file name .\r\n"
                                   "Check the format of the input knudsen file name.");
    (defaults.knudsen_name_format == KnudsenNameFormat::YearDay ? radioButtonYearDay
                                                                : radioButtonDayOnly)
        ->setChecked(true);
    group1Layout->addWidget(radioButtonYearDay);
    group1Layout->addWidget(radioButtonDayOnly);
    grid->addWidget(checkBox_fixupknudsen, row, 0);
    grid->addWidget(knudsenLabel, row, 1);
    grid->addWidget(group1, row++, 2, 1, 2);

    checkBoxSamplingFrequency =
        BareCheckBox(panel1, "checkBoxSamplingFrequency", defaults.assign_sampling_frequency);
    const SettingRow& frequency = SettingOf(&S::sampling_frequency);
    numericUpDownSamplingFrequency =
        SettingDecimalBox(frequency, "numericUpDownSamplingFrequency", panel1);
    QLabel* frequencyLabel = Caption(panel1,
                                     "label_sampling_frequency",
                                     CaptionText(SettingOf(&S::assign_sampling_frequency)),
                                     checkBoxSamplingFrequency);
    frequencyLabel->setToolTip("Choose the sampling frequency ( FFT based)");
    grid->addWidget(checkBoxSamplingFrequency, row, 0);
    grid->addWidget(frequencyLabel, row, 1, 1, 2);
    grid->addWidget(numericUpDownSamplingFrequency, row++, 3);

    const SettingRow& speedCorrection = SettingOf(&S::speed_correction);
    checkBox1 = new QCheckBox(CaptionText(speedCorrection), panel1);
    checkBox1->setObjectName("checkBox1");
    checkBox1->setAccessibleName(Plain(CaptionText(speedCorrection)));
    checkBox1->setChecked(defaults.speed_correction);
    checkBox1->setToolTip("Output trace data on a distance interval basis");
    // The box stands between two labels, the caption's last word after it.
    const SettingRow& navFixes = SettingOf(&S::nav_average_fixes);
    numericUpDown1 = SettingSpinBox(navFixes, "numericUpDown1", panel1);
    numericUpDown1->setAlignment(Qt::AlignLeft);
    const QString navCaption = CaptionText(navFixes);
    const qsizetype lastWord = navCaption.lastIndexOf(' ') + 1;
    QLabel* navLabel =
        Caption(panel1, "label_nav_average", navCaption.left(lastWord), numericUpDown1);
    navLabel->setToolTip("We calculate a mean speed velocity over an extended\r\n"
                         "interval and use this estimate to smooth point-to-point\r\n"
                         "navigational fixes using a Kalman filter.\r\n");
    QLabel* fixesLabel = Caption(panel1, "label_fixes", navCaption.mid(lastWord), numericUpDown1);
    fixesLabel->setToolTip("Add or drop traces to produce equal spacing");
    auto* navRow = new QHBoxLayout;
    navRow->addWidget(navLabel);
    navRow->addWidget(numericUpDown1);
    navRow->addWidget(fixesLabel);
    grid->addWidget(checkBox1, row, 0, 1, 2);
    grid->addLayout(navRow, row++, 2, 1, 2);

    auto* group2 = new QFrame(panel1);
    group2->setObjectName("panel_spacing_mode");
    group2->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* group2Layout = new QVBoxLayout(group2);
    radioButton1 = new QRadioButton("Correct to median trace spacing", group2);
    radioButton1->setObjectName("radioButton1");
    radioButton1->setToolTip("Use the median shot spacing");
    radioButton2 = new QRadioButton("Correct to fixed trace spacing", group2);
    radioButton2->setObjectName("radioButton2");
    radioButton2->setToolTip("Fix the shot spacing");
    (defaults.spacing_mode == SpacingMode::Median ? radioButton1 : radioButton2)->setChecked(true);
    group2Layout->addWidget(radioButton1);
    group2Layout->addWidget(radioButton2);
    grid->addWidget(group2, row++, 0, 1, 4);

    const SettingRow& spacing = SettingOf(&S::trace_spacing);
    numericUpDown2 = SettingDecimalBox(spacing, "numericUpDown2", panel1);
    QLabel* spacingLabel = spinRow(numericUpDown2, "label_trace_spacing", spacing);
    spacingLabel->setToolTip("Add or drop traces to produce equal spacing");
    grid->setRowStretch(row, 1);
}

void Form1::ConnectSettings()
{
    // The job reads the record where it uses a setting, so every change is
    // written at once, also while a job runs.
    CombineSettings& s = m_settings;
    auto text = [this](QComboBox* box, std::string CombineSettings::*field) {
        connect(box, &QComboBox::editTextChanged, this, [this, field](const QString& t) {
            m_settings.*field = Std(t);
        });
    };
    text(comboBox_Expedition, &CombineSettings::Expedition);
    text(comboBox_data_type, &CombineSettings::data_type);
    text(comboBox_instrument_type, &CombineSettings::instrument_type);
    text(comboBox_xcdr, &CombineSettings::xcdr);
    auto number = [this](CRangeSpinBox* box, int CombineSettings::*field) {
        connect(box, &CRangeSpinBox::valueChanged, this, [this, field](int v) {
            m_settings.*field = v;
        });
    };
    number(numericUpDown_max_file_size, &CombineSettings::max_file_size);
    number(numericUpDown_time_duration_limit, &CombineSettings::time_duration_limit);
    number(numericUpDown_file_gap, &CombineSettings::file_gap);
    number(numericUpDown_timecorrection, &CombineSettings::timecorrection);
    number(numericUpDown1, &CombineSettings::nav_average_fixes);
    auto flag = [this](QAbstractButton* box, bool CombineSettings::*field) {
        connect(box, &QAbstractButton::toggled, this, [this, field](bool on) {
            m_settings.*field = on;
        });
    };
    flag(checkBox_make_null_traces, &CombineSettings::make_null_traces);
    flag(checkBox_demultiplex_only, &CombineSettings::demultiplex_only);
    flag(checkBox_delayscan, &CombineSettings::delayscan);
    flag(checkBox_fixupknudsen, &CombineSettings::fixupknudsen);
    flag(checkBoxSamplingFrequency, &CombineSettings::assign_sampling_frequency);
    flag(checkBox1, &CombineSettings::speed_correction);
    connect(radioButtonYearDay, &QRadioButton::toggled, this, [&s](bool on) {
        s.knudsen_name_format = on ? KnudsenNameFormat::YearDay : KnudsenNameFormat::DayOnly;
    });
    connect(radioButton1, &QRadioButton::toggled, this, [&s](bool on) {
        s.spacing_mode = on ? SpacingMode::Median : SpacingMode::Fixed;
    });
    connect(numericUpDownSamplingFrequency,
            &CRangeDoubleSpinBox::valueChanged,
            this,
            [&s](double v) { s.sampling_frequency = v; });
    connect(numericUpDown2, &CRangeDoubleSpinBox::valueChanged, this, [&s](double v) {
        s.trace_spacing = v;
    });
}

void Form1::SetTabOrder()
{
    // Top to bottom: the command column, then the settings panel.
    const QList<QWidget*> order = {
        button_load_segy,
        button_follow,
        button_clear_selected,
        button_clear_list,
        button3,
        listBox_input_segy_files,
        button2,
        button1,
        button_stop,
        button_view,
        button_preview,
        button_help,
        button_about,
        comboBox_Expedition,
        comboBox_data_type,
        comboBox_instrument_type,
        comboBox_xcdr,
        numericUpDown_max_file_size,
        numericUpDown_time_duration_limit,
        checkBox_make_null_traces,
        numericUpDown_file_gap,
        checkBox_demultiplex_only,
        numericUpDown_timecorrection,
        checkBox_delayscan,
        checkBox_fixupknudsen,
        radioButtonYearDay,
        radioButtonDayOnly,
        checkBoxSamplingFrequency,
        numericUpDownSamplingFrequency,
        checkBox1,
        numericUpDown1,
        radioButton1,
        radioButton2,
        numericUpDown2,
    };
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
}

QStringList Form1::InputFiles() const
{
    QStringList paths;
    for (int k = 0; k < listBox_input_segy_files->count(); ++k)
        paths << listBox_input_segy_files->item(k)->text();
    return paths;
}

void Form1::AppendInputFiles(const QStringList& paths)
{
    if (m_jobRunning)
        return; // the running job has its own copy of the list
    for (const QString& path : paths)
        listBox_input_segy_files->addItem(QFileInfo(path).absoluteFilePath());
}

void Form1::LoadSegyFiles()
{
    if (m_jobRunning)
        return;
    const QStringList chosen =
        m_prompts->ChooseFiles(this, kLoadTitle, kLoadFilter, m_lastInputDirectory);
    if (!chosen.isEmpty())
        m_lastInputDirectory = QFileInfo(chosen.front()).absolutePath();
    AppendInputFiles(chosen);
}

void Form1::ClearSelected()
{
    if (m_jobRunning)
        return;
    RemoveSelectedRows(*listBox_input_segy_files);
}

void Form1::ClearList()
{
    if (!m_jobRunning)
        listBox_input_segy_files->clear();
}

void Form1::ToggleLog()
{
    if (plog->isVisible())
        plog->hide();
    else
        ShowOver(*plog, *this);
}

void Form1::SetupDemultiplex()
{
    QListWidget* list = listBox_input_segy_files;
    if (list->count() == 0)
        return;
    int top = list->count();
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
        top = std::min(top, index.row());
    if (top == list->count()) {
        top = 0;
        list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
    const bool shown = popts->isVisible() && !popts->input_file().isEmpty();
    const QString previous = popts->input_file();
    popts->set_input_file(list->item(top)->text());
    // A preview already on screen follows the new file at once.
    if (shown && previous != popts->input_file())
        popts->ScanSelectedFile();
    ShowOver(*popts, *this);
}

void Form1::ShowHelp()
{
    ShowOver(*phelp, *this);
}

void Form1::ShowAbout()
{
    if (m_about == nullptr) {
        auto* box = new QMessageBox(
            QMessageBox::Information, "About Tessara", AboutText(), QMessageBox::Ok, this);
        box->setObjectName("about_box");
        box->setModal(false);
        box->setIconPixmap(AppIcon().pixmap(64, 64));
        m_about = box;
    }
    ShowOver(*m_about, *this);
}

void Form1::ShowSummary(const CombineResult& result, const QString& directory)
{
    if (m_summary == nullptr) {
        m_summary = new CJobSummaryDialog(this);
        connect(m_summary, &CJobSummaryDialog::viewRequested, this, &Form1::ShowViewer);
    }
    // The settings may change before the outputs are looked at.
    m_outputPairs = {m_settings.demultiplex_sidescan && !m_settings.demultiplex_single_channel,
                     m_settings.flip_port};
    m_summary->SetResult(result, directory);
    ShowOver(*m_summary, *this);
}

void Form1::ShowViewer(const QStringList& files)
{
    if (m_viewer == nullptr)
        m_viewer = new CSectionViewer(this);
    ShowOver(*m_viewer, *this);
    // Once shown, so that the first picture is made at the size it is seen.
    // Without a job's outputs the files the user added stay.
    if (!files.isEmpty())
        m_viewer->SetFiles(files, m_outputPairs);
}

void Form1::ViewSelectedOrOutputs()
{
    QStringList selected;
    for (int k = 0; k < listBox_input_segy_files->count(); ++k)
        if (listBox_input_segy_files->item(k)->isSelected())
            selected << listBox_input_segy_files->item(k)->text();
    if (selected.isEmpty()) {
        ShowViewer(m_summary != nullptr ? m_summary->Outputs() : QStringList());
        return;
    }
    if (m_viewer == nullptr)
        m_viewer = new CSectionViewer(this);
    ShowOver(*m_viewer, *this);
    // Raw inputs are no job's pairs: marked pairs still draw as a waterfall.
    m_viewer->SetFiles(selected, ViewerPairs{});
}

void Form1::SaveWindowState() const
{
    QSettings state = StoredState();
    state.setValue("folders/input", m_lastInputDirectory);
    state.setValue("geometry/main", saveGeometry());
    for (const QWidget* w : std::initializer_list<const QWidget*>{popts, plog, phelp})
        state.setValue("size/" + w->objectName(), w->size());
}

void Form1::RestoreWindowState()
{
    QSettings state = StoredState();
    m_lastInputDirectory = state.value("folders/input").toString();
    (void)restoreGeometry(state.value("geometry/main").toByteArray()); // none yet: as built
    FitOnScreen();
    for (QWidget* w : std::initializer_list<QWidget*>{popts, plog, phelp}) {
        const QSize size = state.value("size/" + w->objectName()).toSize();
        if (size.isValid())
            w->resize(size);
    }
}

void Form1::FitOnScreen()
{
    // Saved on a larger screen, or built larger than this one, the window
    // would open partly off screen.
    const QScreen* onScreen = QGuiApplication::screenAt(geometry().center());
    if (onScreen == nullptr)
        onScreen = screen();
    if (onScreen == nullptr || isMaximized() || isFullScreen())
        return;
    const QRect frame = frameGeometry();
    const QRect inside = geometry();
    const QMargins border(inside.left() - frame.left(),
                          inside.top() - frame.top(),
                          frame.right() - inside.right(),
                          frame.bottom() - inside.bottom());
    const QRect fitted = FitInto(frame, onScreen->availableGeometry()).marginsRemoved(border);
    if (fitted != inside)
        setGeometry(fitted);
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once shown the platform knows the frame, which must fit as well.
    if (!m_shownOnce)
        FitOnScreen();
    m_shownOnce = true;
}

SpeedCorrection& Form1::Chart()
{
    if (sp == nullptr) {
        sp = new SpeedCorrection(this);
        ShowOver(*sp, *this); // first shown over the main window, then where the user put it
    }
    return *sp;
}

void Form1::SetJobRunning(bool running)
{
    m_jobRunning = running;
    // The list and the job's own button wait for the job; the settings and
    // the options dialog stay live and take effect from their next use.
    for (QWidget* w : std::initializer_list<QWidget*>{button1,
                                                      button_preview,
                                                      button_follow,
                                                      button_load_segy,
                                                      button_clear_selected,
                                                      button_clear_list})
        w->setEnabled(!running);
    button_stop->setEnabled(running);
    listBox_input_segy_files->viewport()->setAcceptDrops(!running);
    panel_navigation->SetJobRunning(running);
}

QString Form1::ChooseOutputDirectory()
{
    // Never an input's folder by default: a composite written among the
    // inputs is easily loaded with them next time and read a second time.
    const QString start =
        m_lastOutputDirectory.isEmpty() ? QDir::homePath() : m_lastOutputDirectory;
    const QString directory = m_prompts->ChooseDirectory(this, kOutputDescription, start);
    if (directory.isEmpty())
        return {};
    m_lastOutputDirectory = directory;
    if (const QString question = OutputFolderQuestion(directory, InputFiles(), m_settings);
        !question.isEmpty() && !m_prompts->Ask(this, question))
        return {};
    m_settings.input_files.clear();
    for (const QString& path : InputFiles())
        m_settings.input_files.push_back(Std(path));
    return directory;
}

void Form1::PreviewFiles()
{
    RunJob(true);
}

void Form1::ProcessFiles()
{
    RunJob(false);
}

void Form1::FollowFolder()
{
    if (m_jobRunning)
        return;
    const QString start = m_lastFollowedFolder.isEmpty() ? QDir::homePath() : m_lastFollowedFolder;
    const QString folder = m_prompts->ChooseDirectory(this, kFollowDescription, start);
    if (folder.isEmpty())
        return;
    m_lastFollowedFolder = folder;
    FollowOptions follow;
    follow.folders = {Std(folder)};
    RunJob(false, &follow);
}

void Form1::RunJob(bool preview, const FollowOptions* follow)
{
    if (m_jobRunning)
        return;
    const QString directory = ChooseOutputDirectory();
    if (directory.isEmpty())
        return;

    SetJobRunning(true);
    m_stopRequested = false;
    CWindowJobHost host(
        *plog,
        *label_status,
        *listBox_input_segy_files,
        *m_prompts,
        [this]() -> SpeedCorrection& { return Chart(); },
        [this] { return m_stopRequested; });
    // A preview shows nothing while it decides: the host only lets events
    // through and passes on a stop.
    if (!preview) {
        host.SetProgressBar(progressBar_job);
        progressBar_job->setVisible(true);
    }
    // A viewer open while following shows each output as it is written.
    if (follow)
        host.SetFollowHooks([this] { return m_viewer != nullptr && m_viewer->isVisible(); },
                            [this](const std::string& path) {
                                if (m_viewer != nullptr && m_viewer->isVisible())
                                    m_viewer->Reread(QString::fromStdString(path));
                            });
    CCombineJob job(m_settings, host);
    // The job has told the user of every refusal through the host; what it
    // did, or would do, is said in the summary or the preview.
    const CombineOutcome outcome = preview  ? job.DryRun(Std(directory))
                                   : follow ? job.Follow(Std(directory), *follow)
                                            : job.Run(Std(directory));
    if (!preview) {
        host.ShowPendingStatus(); // the job's last text, "Done...." when it finished
        progressBar_job->setVisible(false);
    }
    SetJobRunning(false);
    // The open output's copy has gone with the following: the viewer keeps
    // the outputs written.
    if (follow && m_viewer != nullptr && m_viewer->isVisible()) {
        QStringList outputs;
        for (const OutputRecord& output : job.Result().outputs)
            outputs << QString::fromStdString(output.path);
        m_viewer->SetFiles(outputs);
    }
    if (m_closeAfterJob) {
        close();
        return;
    }
    if (outcome == CombineOutcome::DirectoryRefused || outcome == CombineOutcome::InvalidSettings ||
        outcome == CombineOutcome::AlreadyRunning)
        return;
    if (!preview) {
        ShowSummary(job.Result(), directory);
        return;
    }
    if (m_preview == nullptr)
        m_preview = new CJobPreviewDialog(this);
    m_preview->SetResult(job.Result(), directory);
    ShowOver(*m_preview, *this);
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_jobRunning) {
        // The job runs inside this window's click: the window closes when it
        // has finished the output it is writing, never in the middle of it.
        event->ignore();
        if (!m_closeAfterJob &&
            m_prompts->Ask(this, "Files are being processed. Stop the job and close the window?")) {
            m_stopRequested = true;
            m_closeAfterJob = true;
        }
        return;
    }
    SaveWindowState();
    event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != listBox_input_segy_files->viewport())
        return QWidget::eventFilter(watched, event);
    const auto localFiles = [](const QMimeData* mime) {
        QStringList paths;
        if (mime != nullptr && mime->hasUrls()) {
            for (const QUrl& url : mime->urls())
                if (url.isLocalFile())
                    paths << url.toLocalFile();
        }
        return paths;
    };
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!m_jobRunning && !localFiles(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (m_jobRunning || paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        AppendInputFiles(paths);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace tessara
