// The main window's job profiles: "Open Settings...", "Save Settings..." and
// "Restore Defaults" in the menu of its "Settings" button, and the profile
// used last opened again at start, so that a survey's settings are set once.
#include "combine/api/settings_profile.h"
#include "ui/form1.h"
#include "ui/navigation_panel.h"
#include "ui/processing_log.h"
#include "ui/processing_options.h"
#include "ui/range_spin_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

namespace tessara
{
namespace
{

const QString kProfileFilter = QStringLiteral("Job profiles (*.toml);;All Files (*)");
const QString kLastProfileKey = QStringLiteral("profiles/last");

} // namespace

void Form1::BuildSettingsMenu()
{
    button_settings = new QPushButton("Settings", this);
    button_settings->setObjectName("button_settings");
    button_settings->setToolTip("Open, save or restore every setting of the job as a profile");
    auto* menu = new QMenu(button_settings);
    menu->setObjectName("menu_settings");
    action_open_settings = menu->addAction("&Open Settings...", this, &Form1::OpenSettings);
    action_open_settings->setObjectName("action_open_settings");
    action_save_settings = menu->addAction("&Save Settings...", this, &Form1::SaveSettings);
    action_save_settings->setObjectName("action_save_settings");
    menu->addSeparator();
    action_restore_defaults = menu->addAction("&Restore Defaults", this, &Form1::RestoreDefaults);
    action_restore_defaults->setObjectName("action_restore_defaults");
    button_settings->setMenu(menu);
}

void Form1::ShowSettings(const CombineSettings& s)
{
    comboBox_Expedition->setEditText(QString::fromStdString(s.Expedition));
    comboBox_data_type->setEditText(QString::fromStdString(s.data_type));
    comboBox_instrument_type->setEditText(QString::fromStdString(s.instrument_type));
    comboBox_xcdr->setEditText(QString::fromStdString(s.xcdr));
    numericUpDown_max_file_size->setValue(s.max_file_size);
    numericUpDown_time_duration_limit->setValue(s.time_duration_limit);
    checkBox_make_null_traces->setChecked(s.make_null_traces);
    numericUpDown_file_gap->setValue(s.file_gap);
    checkBox_demultiplex_only->setChecked(s.demultiplex_only);
    numericUpDown_timecorrection->setValue(s.timecorrection);
    checkBox_delayscan->setChecked(s.delayscan);
    checkBox_fixupknudsen->setChecked(s.fixupknudsen);
    (s.knudsen_name_format == KnudsenNameFormat::YearDay ? radioButtonYearDay : radioButtonDayOnly)
        ->setChecked(true);
    checkBoxSamplingFrequency->setChecked(s.assign_sampling_frequency);
    numericUpDownSamplingFrequency->setValue(s.sampling_frequency);
    checkBox1->setChecked(s.speed_correction);
    numericUpDown1->setValue(s.nav_average_fixes);
    (s.spacing_mode == SpacingMode::Median ? radioButton1 : radioButton2)->setChecked(true);
    numericUpDown2->setValue(s.trace_spacing);
    panel_navigation->ShowSettings(s);
    popts->ShowSettings(s);
}

bool Form1::LoadProfile(const QString& path, QString& problem)
{
    // A setting the profile leaves out is the window's default, whatever
    // the controls showed before.
    CombineSettings loaded;
    if (const std::string refused = LoadSettingsProfile(path.toStdString(), loaded);
        !refused.empty()) {
        problem = QString::fromStdString(refused);
        return false;
    }
    ShowSettings(loaded);
    StoredState().setValue(kLastProfileKey, path);
    label_status->setText("Settings from " + path);
    return true;
}

void Form1::OpenSettings()
{
    const QString path = m_prompts->ChooseFile(this,
                                               "Open Settings",
                                               kProfileFilter,
                                               StoredState().value(kLastProfileKey).toString(),
                                               false);
    QString problem;
    if (!path.isEmpty() && !LoadProfile(path, problem))
        m_prompts->ShowMessage(this, "Settings not opened, none changed:\n" + problem);
}

void Form1::SaveSettings()
{
    const QString last = StoredState().value(kLastProfileKey).toString();
    QString path = m_prompts->ChooseFile(
        this, "Save Settings", kProfileFilter, last.isEmpty() ? QDir::homePath() : last, true);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".toml";
    // Saved, it would be refused when opened again.
    std::string problem = ValidateCombineSettings(m_settings);
    if (problem.empty())
        problem = SaveSettingsProfile(m_settings, path.toStdString());
    if (!problem.empty()) {
        m_prompts->ShowMessage(this, "Settings not saved:\n" + QString::fromStdString(problem));
        return;
    }
    StoredState().setValue(kLastProfileKey, path);
    label_status->setText("Settings saved to " + path);
}

void Form1::RestoreDefaults()
{
    ShowSettings(CombineSettings{});
    label_status->setText("Default settings");
    // The next start begins from the defaults too.
    StoredState().remove(kLastProfileKey);
}

void Form1::ReopenLastProfile()
{
    const QString path = StoredState().value(kLastProfileKey).toString();
    QString problem;
    if (!path.isEmpty() && !LoadProfile(path, problem))
        plog->Append(
            ("The last settings profile was not opened, the defaults are used: " + problem + "\n")
                .toStdString());
}

} // namespace tessara
