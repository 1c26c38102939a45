// The window's navigation files and the sensor's offsets from the antenna: a
// panel of its own that keeps its settings in the job's record.
#pragma once

#include "combine/api/combine_settings.h"

#include <QFrame>
#include <QString>

class QListWidget;
class QPushButton;

namespace tessara
{

class CRangeDoubleSpinBox;
class CRangeSpinBox;
class IWindowPrompts;

class CNavigationPanel : public QFrame
{
public:
    /// `settings` and `prompts` must outlive the panel.
    CNavigationPanel(CombineSettings& settings, IWindowPrompts& prompts, QWidget* parent);

    /// Shows the numbers of `s`, which the controls write back; the list of
    /// files is the window's own and stays.
    void ShowSettings(const CombineSettings& s);

    /// While a job runs the list stays as the job took it.
    void SetJobRunning(bool running);

    QListWidget* listBox_navigation_files;
    QPushButton* button_add_navigation;
    QPushButton* button_remove_navigation;
    CRangeDoubleSpinBox* numericUpDown_navigation_max_gap;
    CRangeSpinBox* numericUpDown_navigation_epsg;
    CRangeDoubleSpinBox* numericUpDown_antenna_offset_along;
    CRangeDoubleSpinBox* numericUpDown_antenna_offset_across;
    CRangeDoubleSpinBox* numericUpDown_layback;

private:
    void AddNavigation();
    void RemoveNavigation();
    void ListToSettings();

    CombineSettings& m_settings;
    IWindowPrompts& m_prompts;
    QString m_lastDirectory;
};

} // namespace tessara
