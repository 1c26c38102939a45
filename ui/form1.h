// The main window: the input list, every combine setting but the demultiplex
// options, and the buttons that start the job and open the other windows.
#pragma once

#include "combine/api/combine_job.h"
#include "combine/api/combine_settings.h"
#include "ui/section_viewer.h"
#include "ui/window_prompts.h"

#include <QString>
#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSettings;

namespace tessara
{

class CJobPreviewDialog;
class CJobSummaryDialog;
class CNavigationPanel;
class CRangeDoubleSpinBox;
class CRangeSpinBox;
class SpeedCorrection;
class processing_help;
class processing_log;
class CSectionViewer;
class processing_options;

/// The input files named on a command line (`arguments` as
/// QCoreApplication::arguments() gives them, the program first): every
/// argument that is not an option, "file:" URLs as local paths; after "--"
/// options too are files.
[[nodiscard]] QStringList CommandLineFiles(const QStringList& arguments);

/// Where the window keeps what it remembers between runs: the folders last
/// used, the windows' sizes and the job profile last used.
[[nodiscard]] QSettings StoredState();

/// The About box's text: version, licence, and the libraries with their versions.
[[nodiscard]] QString AboutText();

class Form1 : public QWidget
{
    Q_OBJECT
public:
    /// `programDirectory` holds the program (and its help pages); the
    /// drop-down lists take a site's entries from `configDirectory` (empty:
    /// none). Choosers and message boxes go through `prompts` when given,
    /// else the platform's own.
    explicit Form1(const QString& programDirectory,
                   const QString& configDirectory,
                   std::unique_ptr<IWindowPrompts> prompts = {},
                   QWidget* parent = nullptr);
    ~Form1() override;

    /// The settings as the controls and the options dialog hold them.
    [[nodiscard]] const CombineSettings& Settings() const { return m_settings; }
    /// The input list, top to bottom.
    [[nodiscard]] QStringList InputFiles() const;
    /// Appends paths to the input list, as loading or dropping files does.
    void AppendInputFiles(const QStringList& paths);
    /// Whether a combine job is running (inside a "Process Files" click).
    [[nodiscard]] bool bIsJobRunning() const { return m_jobRunning; }
    /// The chart window; null until the first speed-corrected output.
    [[nodiscard]] SpeedCorrection* ChartWindow() const { return sp; }
    /// The summary of the last job; null until a job has run.
    [[nodiscard]] CJobSummaryDialog* SummaryWindow() const { return m_summary; }
    [[nodiscard]] CJobPreviewDialog* PreviewWindow() const { return m_preview; }
    /// The viewer; null until it is first opened.
    [[nodiscard]] CSectionViewer* Viewer() const { return m_viewer; }
    /// The About box; null until it is first shown.
    [[nodiscard]] QWidget* AboutWindow() const { return m_about; }
    /// Remembers the folders last used and the windows' sizes for the next
    /// start (the control values are not remembered).
    void SaveWindowState() const;

    // Input list and command buttons.
    QPushButton* button_load_segy;
    QPushButton* button_clear_selected;
    QPushButton* button_clear_list;
    QPushButton* button3; ///< "Toggle Log"
    QListWidget* listBox_input_segy_files;
    QPushButton* button2;        ///< "Setup Demultiplex Parameters"
    QPushButton* button1;        ///< "Process Files"
    QPushButton* button_stop;    ///< "Stop", beside "Process Files" while a job runs
    QPushButton* button_preview; ///< "Preview": what "Process Files" would write
    QPushButton* button_view;    ///< "View": the last job's outputs in the viewer
    QPushButton* button_follow;  ///< "Follow Folder...": a folder's files as they come
    QPushButton* button_help;
    QPushButton* button_about;
    QPushButton* button_settings; ///< "Settings": the menu of the job profiles
    QAction* action_open_settings;
    QAction* action_save_settings;
    QAction* action_restore_defaults;
    QLabel* label_status;
    QProgressBar* progressBar_job; ///< under the status line while a job runs

    // Settings panel.
    QFrame* panel1;
    QLabel* label1;
    QComboBox* comboBox_Expedition;
    QComboBox* comboBox_data_type;
    QComboBox* comboBox_instrument_type;
    QComboBox* comboBox_xcdr;
    CRangeSpinBox* numericUpDown_max_file_size;
    CRangeSpinBox* numericUpDown_time_duration_limit;
    QCheckBox* checkBox_make_null_traces;
    CRangeSpinBox* numericUpDown_file_gap;
    QCheckBox* checkBox_demultiplex_only;
    CRangeSpinBox* numericUpDown_timecorrection;
    QCheckBox* checkBox_delayscan;
    QCheckBox* checkBox_fixupknudsen;
    QRadioButton* radioButtonYearDay;
    QRadioButton* radioButtonDayOnly;
    QCheckBox* checkBoxSamplingFrequency;
    CRangeDoubleSpinBox* numericUpDownSamplingFrequency;
    QCheckBox* checkBox1;                ///< "Create Speed Corrected SEGY"
    CRangeSpinBox* numericUpDown1;       ///< navigation averaging, fixes
    QRadioButton* radioButton1;          ///< median spacing
    QRadioButton* radioButton2;          ///< fixed spacing
    CRangeDoubleSpinBox* numericUpDown2; ///< fixed trace spacing, m
    CNavigationPanel* panel_navigation;  ///< navigation files, antenna offsets, layback

    processing_options* popts;
    processing_log* plog;
    processing_help* phelp;
    QString program_directory;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildCommandColumn();
    void BuildSettingsPanel(const QString& configDirectory);
    void ConnectSettings();
    void SetTabOrder();

    void LoadSegyFiles();
    void ClearSelected();
    void ClearList();
    void ToggleLog();
    void SetupDemultiplex();
    void ProcessFiles();
    void PreviewFiles();
    /// Follows a folder the user chooses into an output folder he chooses.
    void FollowFolder();
    /// Runs the job on the list into a folder the user chooses, or with
    /// `preview` only decides it and shows what it would write, or with
    /// `follow` takes the files of those folders as they come until Stop.
    void RunJob(bool preview, const FollowOptions* follow = nullptr);
    /// The output directory for a job, asked of the user; empty when none.
    [[nodiscard]] QString ChooseOutputDirectory();
    void ShowHelp();
    void ShowAbout();
    void RestoreWindowState();
    // Job profiles (form1_profiles.cpp).
    void BuildSettingsMenu();
    void OpenSettings();
    void SaveSettings();
    void RestoreDefaults();
    /// Reads the profile at `path` over the defaults into the controls;
    /// false, with the record and the controls as they were, when refused.
    bool LoadProfile(const QString& path, QString& problem);
    /// The profile used last, or the defaults with the reason in the log.
    void ReopenLastProfile();
    /// Sets every control of the settings, and through them the record.
    void ShowSettings(const CombineSettings& s);
    /// Moves and shrinks the window, with its frame where the platform
    /// knows it, into the available area of the screen it is on.
    void FitOnScreen();
    void ShowSummary(const CombineResult& result, const QString& directory);
    void ShowViewer(const QStringList& files);
    /// What "View" shows: the inputs selected in the list, in list order,
    /// else the last job's outputs.
    void ViewSelectedOrOutputs();
    void SetJobRunning(bool running);
    SpeedCorrection& Chart();

    CombineSettings m_settings;
    /// How the last job laid out its sidescan pairs, for its outputs' viewer.
    ViewerPairs m_outputPairs;
    std::unique_ptr<IWindowPrompts> m_prompts;
    SpeedCorrection* sp = nullptr;
    CJobSummaryDialog* m_summary = nullptr;
    CJobPreviewDialog* m_preview = nullptr;
    CSectionViewer* m_viewer = nullptr;
    QWidget* m_about = nullptr;
    QString m_lastOutputDirectory; ///< of this run; the folder chooser opens here
    QString m_lastFollowedFolder;  ///< of this run; "Follow Folder..." opens here
    QString m_lastInputDirectory;  ///< the file chooser opens here; kept between runs
    bool m_jobRunning = false;
    bool m_stopRequested = false; ///< by "Stop" or closing the window, for the running job
    bool m_closeAfterJob = false; ///< the user closed the window during the job
    bool m_shownOnce = false;
};

} // namespace tessara
