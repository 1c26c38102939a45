#include "ui/navigation_panel.h"

#include "ui/file_list.h"
#include "ui/range_spin_box.h"
#include "ui/window_prompts.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace tessara
{

namespace
{

const QString kNavigationFilter =
    "Navigation Files (*.nmea *.NMEA *.gps *.GPS *.txt *.TXT *.log *.LOG *.csv *.CSV);;"
    "All Files (*)";

QPushButton* PanelButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(QString(text).remove('&'));
    button->setAutoDefault(true);
    return button;
}

} // namespace

CNavigationPanel::CNavigationPanel(CombineSettings& settings,
                                   IWindowPrompts& prompts,
                                   QWidget* parent)
    : QFrame(parent), m_settings(settings), m_prompts(prompts)
{
    setObjectName("panel_navigation");
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto* grid = new QGridLayout(this);
    auto* title = new QLabel("Navigation Files", this);
    title->setObjectName("label_navigation_files");
    listBox_navigation_files = new QListWidget(this);
    listBox_navigation_files->setObjectName("listBox_navigation_files");
    listBox_navigation_files->setAccessibleName("Navigation files");
    listBox_navigation_files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listBox_navigation_files->setToolTip(
        "NMEA 0183 logs (GGA, RMC, ZDA) or CSV tables: every trace takes its position from them");
    title->setBuddy(listBox_navigation_files);
    button_add_navigation = PanelButton(this, "button_add_navigation", "Add Navigation...");
    button_remove_navigation = PanelButton(this, "button_remove_navigation", "Remove");
    button_remove_navigation->setToolTip("Remove the selected navigation files from the list");
    // The window must fit a small screen: the caption and the buttons share
    // a row, and the list shows three files.
    auto* top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(button_add_navigation);
    top->addWidget(button_remove_navigation);
    listBox_navigation_files->setMaximumHeight(3 * fontMetrics().height() +
                                               2 * listBox_navigation_files->frameWidth() + 4);
    int row = 0;
    grid->setVerticalSpacing(2);
    grid->addLayout(top, row++, 0, 1, 2);
    grid->addWidget(listBox_navigation_files, row++, 0, 1, 2);

    using S = CombineSettings;
    auto decimal = [&](const SettingRow& setting, const char* name, double S::*field) {
        auto* box = SettingDecimalBox(setting, name, this);
        auto* label = new QLabel(CaptionText(setting), this);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row++, 1);
        connect(box, &CRangeDoubleSpinBox::valueChanged, this, [this, field](double v) {
            m_settings.*field = v;
        });
        return box;
    };
    numericUpDown_navigation_max_gap = decimal(SettingOf(&S::navigation_max_gap),
                                               "numericUpDown_navigation_max_gap",
                                               &S::navigation_max_gap);
    const SettingRow& epsg = SettingOf(&S::navigation_epsg);
    numericUpDown_navigation_epsg = SettingSpinBox(epsg, "numericUpDown_navigation_epsg", this);
    auto* epsgLabel = new QLabel(CaptionText(epsg), this);
    epsgLabel->setBuddy(numericUpDown_navigation_epsg);
    epsgLabel->setToolTip("The UTM zone of a CSV's easting and northing: 326zz north, 327zz south");
    grid->addWidget(epsgLabel, row, 0);
    grid->addWidget(numericUpDown_navigation_epsg, row++, 1);
    connect(numericUpDown_navigation_epsg, &CRangeSpinBox::valueChanged, this, [this](int v) {
        m_settings.navigation_epsg = v;
    });
    numericUpDown_antenna_offset_along = decimal(SettingOf(&S::antenna_offset_along),
                                                 "numericUpDown_antenna_offset_along",
                                                 &S::antenna_offset_along);
    numericUpDown_antenna_offset_across = decimal(SettingOf(&S::antenna_offset_across),
                                                  "numericUpDown_antenna_offset_across",
                                                  &S::antenna_offset_across);
    numericUpDown_layback = decimal(SettingOf(&S::layback), "numericUpDown_layback", &S::layback);

    connect(button_add_navigation, &QPushButton::clicked, this, &CNavigationPanel::AddNavigation);
    connect(
        button_remove_navigation, &QPushButton::clicked, this, &CNavigationPanel::RemoveNavigation);
}

void CNavigationPanel::ShowSettings(const CombineSettings& s)
{
    numericUpDown_navigation_max_gap->setValue(s.navigation_max_gap);
    numericUpDown_navigation_epsg->setValue(s.navigation_epsg);
    numericUpDown_antenna_offset_along->setValue(s.antenna_offset_along);
    numericUpDown_antenna_offset_across->setValue(s.antenna_offset_across);
    numericUpDown_layback->setValue(s.layback);
}

void CNavigationPanel::SetJobRunning(bool running)
{
    button_add_navigation->setEnabled(!running);
    button_remove_navigation->setEnabled(!running);
}

void CNavigationPanel::AddNavigation()
{
    const QStringList chosen =
        m_prompts.ChooseFiles(this, "Add Navigation Files", kNavigationFilter, m_lastDirectory);
    if (chosen.isEmpty())
        return;
    m_lastDirectory = QFileInfo(chosen.front()).absolutePath();
    for (const QString& path : chosen)
        listBox_navigation_files->addItem(QFileInfo(path).absoluteFilePath());
    ListToSettings();
}

void CNavigationPanel::RemoveNavigation()
{
    RemoveSelectedRows(*listBox_navigation_files);
    ListToSettings();
}

void CNavigationPanel::ListToSettings()
{
    m_settings.navigation_files.clear();
    for (int k = 0; k < listBox_navigation_files->count(); ++k)
        m_settings.navigation_files.push_back(
            listBox_navigation_files->item(k)->text().toStdString());
}

} // namespace tessara
