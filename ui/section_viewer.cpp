#include "ui/section_viewer.h"

#include "section_paint/section_picture.h"
#include "segy/tools/segy_file_tools.h"
#include "ui/child_window.h"
#include "ui/track_outline.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessara
{
namespace
{

/// A listed file's ViewerPairs.
constexpr int kPairsRole = Qt::UserRole + 1;
constexpr int kPortFlippedRole = Qt::UserRole + 2;

QString WhyNoSection(const Section& section)
{
    switch (section.status) {
    case SectionStatus::Ok:
        return {};
    case SectionStatus::CannotOpen:
        return "cannot be read as SEG-Y";
    case SectionStatus::NoTraces:
        return "holds no complete trace";
    case SectionStatus::TracesOutOfRange:
        return "has no trace in the range asked for";
    case SectionStatus::NoSampleInterval:
        return "has no sample interval";
    case SectionStatus::EmptyTimeWindow:
        return "has no sample in the time window";
    case SectionStatus::NotSidescanPairs:
        return "is not made of sidescan pairs";
    case SectionStatus::BandPastNyquist:
        return QString("has no frequency in the band: its Nyquist frequency is %1 Hz")
            .arg(section.nyquistHz);
    }
    return "cannot be shown";
}

/// The track's frame: easting and northing when every fix lies in one UTM
/// zone (or the file holds projected lengths), else longitude and latitude,
/// whose metres a chart could not show evenly across a zone boundary.
bool bInMetres(const std::vector<llt>& fixes)
{
    if (fixes.front().isUTM)
        return true;
    const std::int32_t zone = fixes.front().zone;
    const bool north = fixes.front().northp;
    return zone != 0 && std::all_of(fixes.begin(), fixes.end(), [zone, north](const llt& f) {
               return f.zone == zone && f.northp == north;
           });
}

QString TimeOfDay(double secondOfDay)
{
    if (secondOfDay < 0)
        return "unknown";
    const int s = static_cast<int>(secondOfDay);
    const int ms = static_cast<int>(std::lround((secondOfDay - s) * 1000.0));
    return QString("%1:%2:%3.%4")
        .arg(s / 3600, 2, 10, QChar('0'))
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'))
        .arg(std::min(ms, 999), 3, 10, QChar('0'));
}

/// Hands the chart's pointer, in chart values, to `hover` when it moves and
/// to `click` when the left button is pressed.
class CChartPointerFilter : public QObject
{
public:
    CChartPointerFilter(QChartView& view,
                        std::function<void(QPointF)> hover,
                        std::function<void(QPointF)> click)
        : QObject(&view), m_view(view), m_hover(std::move(hover)), m_click(std::move(click))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool move = event->type() == QEvent::MouseMove;
        if (move || event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            QChart* chart = m_view.chart();
            const QPointF scene = m_view.mapToScene(mouse->position().toPoint());
            const QPointF value = chart->mapToValue(chart->mapFromScene(scene));
            if (move)
                m_hover(value);
            else if (mouse->button() == Qt::LeftButton)
                m_click(value);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QChartView& m_view;
    std::function<void(QPointF)> m_hover;
    std::function<void(QPointF)> m_click;
};

/// A view equal to `shown` but for rounding needs no new picture.
bool bSameData(QRectF a, QRectF b)
{
    const double dx = 1e-6 * std::max(1.0, std::abs(a.width()));
    const double dy = 1e-6 * std::max(1.0, std::abs(a.height()));
    return std::abs(a.left() - b.left()) < dx && std::abs(a.right() - b.right()) < dx &&
           std::abs(a.top() - b.top()) < dy && std::abs(a.bottom() - b.bottom()) < dy;
}

} // namespace

CSectionViewer::CSectionViewer(QWidget* parent)
    : QWidget(parent, Qt::Window), chooseFiles([](QWidget* owner) {
          return QFileDialog::getOpenFileNames(
              owner, "Add SEG-Y Files", {}, "SEG-Y files (*.sgy *.segy *.seg);;All files (*)");
      })
{
    setObjectName("section_viewer");
    setWindowTitle("Viewer");
    setAcceptDrops(true);

    listBox_files = new QListWidget(this);
    listBox_files->setObjectName("listBox_files");
    listBox_files->setAccessibleName("Files");
    listBox_files->setSelectionMode(QAbstractItemView::SingleSelection);
    button_add = new QPushButton("&Add Files...", this);
    button_add->setObjectName("button_add");
    button_add->setAccessibleName("Add Files");
    button_add->setToolTip("Add SEG-Y files to the list (or drop them on this window)");
    button_close = new QPushButton("&Close", this);
    button_close->setObjectName("button_close");
    button_close->setAccessibleName("Close");
    view_section = new CSectionPictureView(this);
    view_section->setObjectName("view_section");
    BuildTrack();
    label_status = new QLabel(this);
    label_status->setObjectName("label_status");
    label_status->setWordWrap(true);
    // Room for a hovered trace's text wrapped in a narrow window: a line
    // more would shrink the section and have its picture made again.
    label_status->setMinimumHeight(2 * label_status->fontMetrics().lineSpacing());
    progressBar_section = new QProgressBar(this);
    progressBar_section->setObjectName("progressBar_section");
    progressBar_section->setAccessibleName("Reading");
    progressBar_section->setRange(0, kLoadProgressEnd);
    progressBar_section->setTextVisible(true);
    // The bar's row stays reserved while it is hidden: were the section to
    // grow and shrink with it, each picture would be made for a height it is
    // not shown at, and the new size would ask for yet another picture.
    QSizePolicy barPolicy = progressBar_section->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    progressBar_section->setSizePolicy(barPolicy);
    progressBar_section->setVisible(false);

    auto* left = new QVBoxLayout;
    left->addWidget(listBox_files, 1);
    left->addWidget(button_add);
    auto* leftPane = new QWidget(this);
    leftPane->setLayout(left);
    auto* sectionPane = new QWidget(this);
    auto* sectionColumn = new QVBoxLayout(sectionPane);
    sectionColumn->setContentsMargins(0, 0, 0, 0);
    sectionColumn->addWidget(BuildControls());
    sectionColumn->addWidget(BuildProcessingControls());
    sectionColumn->addWidget(view_section, 1);
    sectionColumn->addWidget(progressBar_section);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(leftPane);
    split->addWidget(sectionPane);
    split->addWidget(chart_track);
    split->setStretchFactor(1, 3);
    split->setStretchFactor(2, 1);
    split->setSizes({180, 700, 320});
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(label_status, 1);
    bottom->addWidget(button_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    const QList<QWidget*> order = {listBox_files,
                                   button_add,
                                   comboBox_gain,
                                   numericUpDown_agc_window,
                                   numericUpDown_clip,
                                   comboBox_palette,
                                   comboBox_wiggles,
                                   checkBox_dc,
                                   checkBox_bandpass,
                                   numericUpDown_band_low,
                                   numericUpDown_band_high,
                                   checkBox_depth,
                                   numericUpDown_sound_speed,
                                   view_section,
                                   button_close};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(view_section, &CSectionPictureView::hovered, this, [this](QPointF p) {
        if (m_section.status != SectionStatus::Ok || m_section.fileTraces == 0)
            return;
        label_status->setText(DescribeAt(p));
        const std::int64_t trace = TraceAt(p);
        if (trace > 0)
            MarkTrace(trace);
    });
    connect(view_section, &CSectionPictureView::clicked, this, [this](QPointF p) {
        const std::int64_t trace = TraceAt(p);
        if (trace > 0)
            MarkTrace(trace);
    });
    connect(view_section, &CSectionPictureView::viewSettled, this, &CSectionViewer::OnViewSettled);
    connect(&m_watcher, &QFutureWatcher<SectionLoadStep>::resultReadyAt, this, [this](int i) {
        TakeStep(i);
    });
    connect(&m_watcher,
            &QFutureWatcher<SectionLoadStep>::progressValueChanged,
            progressBar_section,
            &QProgressBar::setValue);
    connect(&m_watcher, &QFutureWatcher<SectionLoadStep>::finished, this, [this] {
        m_loading = false;
        progressBar_section->setVisible(false);
        // The section may have changed size while the file was read, before
        // it had a picture to keep in view: it gets one made for its size.
        const PictureSize size = PictureSizeShown();
        if (!m_watcher.isCanceled() && !view_section->Picture().isNull() &&
            !view_section->bIsChanging() && QSize(size.width, size.height) != m_askedSize)
            OnViewSettled(view_section->View());
    });
    connect(listBox_files, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    connect(button_add, &QPushButton::clicked, this, [this] { AddFiles(chooseFiles(this)); });
    connect(button_close, &QPushButton::clicked, this, &QWidget::close);
    CloseOnEscape(*this, [this] { close(); });
    PressOnEnter(*this);
    resize(1100, 640);
}

CSectionViewer::~CSectionViewer()
{
    // The reading holds nothing of the window, but it need not go on.
    m_watcher.future().cancel();
    m_watcher.waitForFinished();
}

QWidget* CSectionViewer::BuildControls()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto caption = [&](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, row);
        label->setBuddy(buddy);
        layout->addWidget(label);
        layout->addWidget(buddy);
    };
    comboBox_gain = new QComboBox(row);
    comboBox_gain->setObjectName("comboBox_gain");
    comboBox_gain->addItems({"None", "AGC"});
    comboBox_gain->setToolTip("Automatic gain control evens out weak late arrivals");
    numericUpDown_agc_window = new QSpinBox(row);
    numericUpDown_agc_window->setObjectName("numericUpDown_agc_window");
    numericUpDown_agc_window->setRange(1, 10000);
    numericUpDown_agc_window->setValue(100);
    numericUpDown_agc_window->setSuffix(" ms");
    numericUpDown_agc_window->setEnabled(false);
    numericUpDown_clip = new QDoubleSpinBox(row);
    numericUpDown_clip->setObjectName("numericUpDown_clip");
    numericUpDown_clip->setRange(50.0, 100.0);
    numericUpDown_clip->setDecimals(1);
    numericUpDown_clip->setSingleStep(0.5);
    numericUpDown_clip->setValue(SectionOptions{}.clipPercent);
    numericUpDown_clip->setSuffix(" %");
    numericUpDown_clip->setToolTip("Magnitudes above this percentile are shown at full colour");
    comboBox_palette = new QComboBox(row);
    comboBox_palette->setObjectName("comboBox_palette");
    for (const PaletteName& palette : kPaletteNames)
        comboBox_palette->addItem(palette.caption);
    comboBox_palette->setToolTip("Auto: grey by magnitude when every sample is non-negative, "
                                 "else seismic. Bipolar greys keep the polarity");
    caption("&Gain", comboBox_gain);
    caption("AGC &window", numericUpDown_agc_window);
    caption("C&lip", numericUpDown_clip);
    caption("&Palette", comboBox_palette);
    layout->addStretch(1);

    const auto reread = [this] {
        if (!m_path.isEmpty() && m_traces)
            Load(view_section->View(), false);
    };
    connect(comboBox_gain, &QComboBox::currentIndexChanged, this, [this, reread](int index) {
        numericUpDown_agc_window->setEnabled(index == 1);
        reread();
    });
    connect(numericUpDown_agc_window, &QSpinBox::valueChanged, this, [this, reread] {
        if (comboBox_gain->currentIndex() == 1)
            reread();
    });
    connect(numericUpDown_clip, &QDoubleSpinBox::valueChanged, this, reread);
    connect(comboBox_palette, &QComboBox::currentIndexChanged, this, [this] { Repaint(); });
    return row;
}

QWidget* CSectionViewer::BuildProcessingControls()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    comboBox_wiggles = new QComboBox(row);
    comboBox_wiggles->setObjectName("comboBox_wiggles");
    comboBox_wiggles->addItems({"No wiggles", "Wiggles over", "Wiggles only"});
    comboBox_wiggles->setToolTip(QString("Wiggle traces with the positive lobes filled, drawn "
                                         "when zoomed in to %1 pixels a trace or more")
                                     .arg(kWigglePixelsPerTrace));
    checkBox_dc = new QCheckBox("Remove &DC", row);
    checkBox_dc->setObjectName("checkBox_dc");
    checkBox_dc->setToolTip("Subtract each trace's mean before display");
    checkBox_bandpass = new QCheckBox("&Band-pass", row);
    checkBox_bandpass->setObjectName("checkBox_bandpass");
    checkBox_bandpass->setToolTip("Zero-phase band-pass for display; the corners are at half "
                                  "amplitude, with smooth flanks");
    const auto hertz = [row](const char* name, double value) {
        auto* box = new QDoubleSpinBox(row);
        box->setObjectName(name);
        box->setRange(0.0, 100000.0);
        box->setDecimals(1);
        box->setValue(value);
        box->setSuffix(" Hz");
        box->setEnabled(false);
        return box;
    };
    numericUpDown_band_low = hertz("numericUpDown_band_low", 10.0);
    numericUpDown_band_low->setAccessibleName("Low corner");
    numericUpDown_band_high = hertz("numericUpDown_band_high", 200.0);
    numericUpDown_band_high->setAccessibleName("High corner");
    checkBox_depth = new QCheckBox("Dept&h", row);
    checkBox_depth->setObjectName("checkBox_depth");
    checkBox_depth->setToolTip("Label the time axis in metres at this sound speed (two-way)");
    numericUpDown_sound_speed = new QSpinBox(row);
    numericUpDown_sound_speed->setObjectName("numericUpDown_sound_speed");
    numericUpDown_sound_speed->setAccessibleName("Sound speed");
    numericUpDown_sound_speed->setRange(300, 10000);
    numericUpDown_sound_speed->setValue(1500);
    numericUpDown_sound_speed->setSuffix(" m/s");
    numericUpDown_sound_speed->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{comboBox_wiggles,
                                                      checkBox_dc,
                                                      checkBox_bandpass,
                                                      numericUpDown_band_low,
                                                      numericUpDown_band_high,
                                                      checkBox_depth,
                                                      numericUpDown_sound_speed})
        layout->addWidget(w);
    layout->addStretch(1);

    const auto reread = [this] {
        if (!m_path.isEmpty() && m_traces)
            Load(view_section->View(), false);
    };
    // Corners that cross are kept apart: the high one stays above the low.
    const auto corners = [this, reread] {
        numericUpDown_band_high->setMinimum(numericUpDown_band_low->value() + 0.1);
        if (checkBox_bandpass->isChecked())
            reread();
    };
    connect(comboBox_wiggles, &QComboBox::currentIndexChanged, this, [this] { Repaint(); });
    connect(checkBox_dc, &QCheckBox::toggled, this, reread);
    connect(checkBox_bandpass, &QCheckBox::toggled, this, [this, reread](bool on) {
        numericUpDown_band_low->setEnabled(on);
        numericUpDown_band_high->setEnabled(on);
        reread();
    });
    connect(numericUpDown_band_low, &QDoubleSpinBox::valueChanged, this, corners);
    connect(numericUpDown_band_high, &QDoubleSpinBox::valueChanged, this, corners);
    connect(checkBox_depth, &QCheckBox::toggled, this, [this](bool on) {
        numericUpDown_sound_speed->setEnabled(on);
        Repaint();
    });
    connect(numericUpDown_sound_speed, &QSpinBox::valueChanged, this, [this] {
        if (checkBox_depth->isChecked())
            Repaint();
    });
    return row;
}

void CSectionViewer::BuildTrack()
{
    m_track = new QLineSeries;
    m_axisX = new QValueAxis;
    m_axisY = new QValueAxis;
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->addSeries(m_track);
    m_mark = new QScatterSeries;
    m_mark->setMarkerSize(10);
    m_mark->setColor(Qt::green);
    chart->addSeries(m_mark);
    chart->addAxis(m_axisX, Qt::AlignBottom);
    chart->addAxis(m_axisY, Qt::AlignLeft);
    m_track->attachAxis(m_axisX);
    m_track->attachAxis(m_axisY);
    m_mark->attachAxis(m_axisX);
    m_mark->attachAxis(m_axisY);
    chart_track = new QChartView(chart, this);
    chart_track->setObjectName("chart_track");
    chart_track->setAccessibleName("Track");
    chart_track->setRenderHint(QPainter::Antialiasing);
    chart_track->setMinimumWidth(260);
    chart_track->setMouseTracking(true);
    chart_track->viewport()->setMouseTracking(true);
    chart_track->viewport()->installEventFilter(new CChartPointerFilter(
        *chart_track,
        [this](QPointF p) {
            if (MarkNearestFix(p) && m_marked > 0)
                label_status->setText(QString("Trace %1").arg(m_marked) + TraceDetails(m_marked));
        },
        [this](QPointF p) {
            if (MarkNearestFix(p) && m_marked > 0) // no track: nothing to mark
                BringTraceIntoView(m_marked);
        }));
    connect(chart, &QChart::plotAreaChanged, this, [this] { FitTrackAxes(); });
    ApplyTrackPalette();
}

void CSectionViewer::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && chart_track != nullptr)
        ApplyTrackPalette();
}

void CSectionViewer::ApplyTrackPalette()
{
    const QPalette& colours = palette();
    QChart* chart = chart_track->chart();
    chart->setBackgroundBrush(colours.base());
    chart->setBackgroundPen(QPen(colours.mid().color()));
    chart->setPlotAreaBackgroundVisible(false);
    chart_track->setBackgroundBrush(colours.window());
    for (QValueAxis* axis : {m_axisX, m_axisY}) {
        axis->setLabelsBrush(colours.text());
        axis->setTitleBrush(colours.text());
        axis->setLinePenColor(colours.text().color());
        axis->setGridLineColor(colours.mid().color());
    }
    m_track->setPen(QPen(colours.highlight(), 2.0));
}

void CSectionViewer::FitTrackAxes()
{
    const QRectF area = chart_track->chart()->plotArea();
    if (m_fixPoints.empty() || area.width() < 1.0 || area.height() < 1.0)
        return;
    // Ground distance per unit across, against that per unit up: a degree of
    // longitude shrinks with the cosine of the latitude.
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    const double across =
        m_metres ? 1.0 : std::max(0.01, std::cos(m_trackBounds.center().y() * kRadiansPerDegree));
    // A ship holding station still gets axes with a span.
    const double least = m_metres ? 10.0 : 1e-4;
    const double groundWide = std::max(m_trackBounds.width() * across, least) * 1.1;
    const double groundHigh = std::max(m_trackBounds.height(), least) * 1.1;
    const double perPixel = std::max(groundWide / area.width(), groundHigh / area.height());
    const double wide = perPixel * area.width() / across;
    const double high = perPixel * area.height();
    const QRectF ranges(m_trackBounds.center().x() - wide / 2.0,
                        m_trackBounds.center().y() - high / 2.0,
                        wide,
                        high);
    // Setting the ranges moves the labels and so the plot area, which calls
    // here again: a change under a pixel ends it.
    if (!m_fittedTrack.isNull() &&
        std::abs(m_fittedTrack.width() - ranges.width()) < perPixel / across &&
        std::abs(m_fittedTrack.height() - ranges.height()) < perPixel)
        return;
    m_fittedTrack = ranges;
    DrawTrack(QSizeF(perPixel / across, perPixel));
    const auto ticks =
        [this](QValueAxis& axis, double from, double span, double pixels, double px) {
            const double step =
                RoundStep(span, std::max(2, static_cast<int>(pixels / px)), m_metres ? 1.0 : 0.0);
            const int decimals = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
            axis.setRange(from, from + span);
            axis.setTickType(QValueAxis::TicksDynamic);
            axis.setTickAnchor(std::ceil(from / step) * step);
            axis.setTickInterval(step);
            axis.setLabelFormat(QString("%.%1f").arg(decimals));
        };
    ticks(*m_axisX, ranges.left(), ranges.width(), area.width(), 90.0);
    ticks(*m_axisY, ranges.top(), ranges.height(), area.height(), 50.0);
}

void CSectionViewer::BringTraceIntoView(std::int64_t trace)
{
    const QRectF view = view_section->View();
    // Trace n spans [n, n+1) across; a waterfall shows every pair.
    if (m_section.waterfall || view.isEmpty() ||
        (static_cast<double>(trace) >= view.left() &&
         static_cast<double>(trace) + 1.0 <= view.right()))
        return;
    view_section->CentreAcross(static_cast<double>(trace) + 0.5);
}

void CSectionViewer::SetFiles(const QStringList& paths, const ViewerPairs& pairs)
{
    listBox_files->clear();
    AddFiles(paths, pairs);
    if (listBox_files->count() == 0)
        ShowSelected();
}

void CSectionViewer::AddFiles(const QStringList& paths, const ViewerPairs& pairs)
{
    int firstAdded = -1;
    int firstReadable = -1;
    for (const QString& path : paths) {
        if (path.isEmpty() || Files().contains(path))
            continue;
        // The name tells the files of one job apart; the folder is in the tooltip.
        auto* entry = new QListWidgetItem(QFileInfo(path).fileName(), listBox_files);
        entry->setData(Qt::UserRole, path);
        entry->setData(kPairsRole, pairs.sidescanPairs);
        entry->setData(kPortFlippedRole, pairs.portFlipped);
        entry->setToolTip(path);
        const int row = listBox_files->count() - 1;
        if (firstAdded < 0)
            firstAdded = row;
        if (const std::string why = SegyOpenFailure(path.toStdString()); !why.empty()) {
            entry->setText(entry->text() + " (cannot be read)");
            entry->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
            entry->setToolTip(path + ": " + QString::fromStdString(why));
        } else if (firstReadable < 0) {
            firstReadable = row;
        }
    }
    if (firstAdded >= 0)
        listBox_files->setCurrentRow(firstReadable >= 0 ? firstReadable : firstAdded);
}

QStringList CSectionViewer::Files() const
{
    QStringList paths;
    for (int i = 0; i < listBox_files->count(); ++i)
        paths << listBox_files->item(i)->data(Qt::UserRole).toString();
    return paths;
}

void CSectionViewer::Reread(const QString& path)
{
    const auto row = static_cast<int>(Files().indexOf(path));
    if (row < 0) {
        AddFiles({path});
        return;
    }
    if (path != m_path) {
        listBox_files->setCurrentRow(row);
        return;
    }
    // The traces read before may have moved: the table is read again.
    const QRectF view = view_section->View();
    const bool zoomed = !view.isEmpty() && !bSameData(view, view_section->Whole());
    m_traces.reset();
    Load(zoomed ? view : QRectF(), true);
}

int CSectionViewer::TrackPoints() const
{
    return static_cast<int>(m_fixPoints.size());
}

int CSectionViewer::TrackPointsDrawn() const
{
    return static_cast<int>(m_track->count());
}

void CSectionViewer::DrawTrack(QSizeF unitsPerPixel)
{
    const std::vector<std::size_t> kept = OutlineOfTrack(m_fixPoints, unitsPerPixel);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(kept.size()));
    for (const std::size_t i : kept)
        points << m_fixPoints[i];
    m_track->replace(points);
}

void CSectionViewer::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CSectionViewer::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    AddFiles(paths);
    event->acceptProposedAction();
}

QString CSectionViewer::FileName() const
{
    return QFileInfo(m_path).fileName();
}

void CSectionViewer::ShowSelected()
{
    m_watcher.future().cancel();
    const QListWidgetItem* item = listBox_files->currentItem();
    label_status->clear();
    m_section = Section{};
    m_traces.reset();
    m_marked = 0;
    m_preview = false;
    m_path = item == nullptr ? QString() : item->data(Qt::UserRole).toString();
    view_section->SetPicture({}, {});
    view_section->SetLimits({}, {});
    ShowTrack({});
    if (item == nullptr) {
        m_loading = false;
        progressBar_section->setVisible(false);
        return;
    }
    label_status->setText("Reading " + FileName() + "...");
    Load({}, true);
}

SectionOptions CSectionViewer::CurrentOptions() const
{
    // Built at the size shown in the screen's own pixels, so that no peak is
    // lost to a second scaling and the picture is as sharp as the controls.
    const PictureSize size = PictureSizeShown();
    const PictureMargins m = ScaledMargins(PixelRatio());
    SectionOptions options;
    options.columns = std::max(1, size.width - m.left - m.right);
    options.rows = std::max(1, size.height - m.top - m.bottom);
    if (comboBox_gain->currentIndex() == 1) {
        options.gain = SectionGain::Agc;
        options.agcWindowMs = numericUpDown_agc_window->value();
    }
    options.clipPercent = numericUpDown_clip->value();
    if (const QListWidgetItem* item = listBox_files->currentItem()) {
        options.waterfall = item->data(kPairsRole).toBool();
        options.portFlipped = item->data(kPortFlippedRole).toBool();
    }
    options.waterfallWhenMarked = true;
    options.processing.removeDc = checkBox_dc->isChecked();
    if (checkBox_bandpass->isChecked()) {
        options.processing.bandLowHz = numericUpDown_band_low->value();
        options.processing.bandHighHz = numericUpDown_band_high->value();
    }
    return options;
}

SectionLook CSectionViewer::CurrentLook() const
{
    SectionLook look;
    look.palette = kPaletteNames[comboBox_palette->currentIndex()].palette;
    look.wiggles = static_cast<WiggleMode>(comboBox_wiggles->currentIndex());
    if (checkBox_depth->isChecked())
        look.depthSpeedMps = numericUpDown_sound_speed->value();
    return look;
}

void CSectionViewer::Load(QRectF view, bool withTrack)
{
    const PictureSize size = PictureSizeShown();
    m_askedSize = QSize(size.width, size.height);
    SectionRequest request;
    request.path = m_path.toStdString();
    request.options = CurrentOptions();
    request.traces = m_traces;
    request.withTrack = withTrack;
    request.previewAboveSamples = previewAboveSamples;
    const QRectF whole = view_section->Whole();
    if (!view.isEmpty() && !whole.isEmpty()) {
        const auto traces = static_cast<std::int64_t>(whole.width());
        // Whole traces cover the view: the picture may reach a little past it.
        const std::int64_t first =
            std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(view.left())), 1, traces);
        const std::int64_t last = std::clamp<std::int64_t>(
            static_cast<std::int64_t>(std::ceil(view.right())) - 1, first, traces);
        if (first > 1 || last < traces) {
            request.options.firstTrace = first;
            request.options.lastTrace = last;
        }
        request.options.startMs = view.top();
        request.options.endMs = view.bottom();
    }
    m_watcher.future().cancel();
    m_loading = true;
    progressBar_section->setValue(0);
    progressBar_section->setVisible(true);
    m_watcher.setFuture(StartSectionLoad(std::move(request)));
}

void CSectionViewer::TakeStep(int index)
{
    SectionLoadStep step = m_watcher.resultAt(index);
    switch (step.kind) {
    case SectionLoadStep::Kind::Table:
        TakeTable(step.traces);
        break;
    case SectionLoadStep::Kind::Preview:
        ShowSection(step, true);
        break;
    case SectionLoadStep::Kind::Track:
        ShowTrack(std::move(step.fixes)); // a survey's fixes are megabytes
        break;
    case SectionLoadStep::Kind::Picture:
        ShowSection(step, false);
        break;
    }
}

void CSectionViewer::TakeTable(const TraceTable& traces)
{
    m_traces = traces;
    double finest = std::numeric_limits<double>::infinity();
    for (const ViewerTrace& t : *traces)
        if (t.intervalMs > 0)
            finest = std::min(finest, t.intervalMs);
    // Zoomed in as far as one trace and a few samples: the picture then
    // stretches each sample over many pixels.
    view_section->SetLimits(WholeData(*traces),
                            QSizeF(1.0, std::isfinite(finest) ? 4 * finest : 1e-3));
}

void CSectionViewer::ShowSection(const SectionLoadStep& step, bool preview)
{
    const Section& section = step.section;
    if (section.status != SectionStatus::Ok) {
        m_section = Section{};
        view_section->SetPicture({}, {});
        label_status->setText(FileName() + " " + WhyNoSection(section) + ".");
        return;
    }
    m_section = section;
    m_shownOptions = step.options;
    m_preview = preview;
    const std::int64_t last = step.options.lastTrace > 0
                                  ? std::min(step.options.lastTrace, section.fileTraces)
                                  : section.fileTraces;
    const QRectF shown(double(section.firstTrace),
                       section.frame.startMs,
                       double(last + 1 - section.firstTrace),
                       section.frame.endMs - section.frame.startMs);
    view_section->SetPicture(Painted(), shown);
    // Across a waterfall lies slant range, not traces: it is shown whole.
    if (section.waterfall)
        view_section->SetLimits(shown, shown.size());
    if (label_status->text().startsWith("Reading "))
        label_status->clear();
    if (m_marked > 0)
        MarkTrace(m_marked);
}

void CSectionViewer::Repaint()
{
    if (m_section.status != SectionStatus::Ok || m_section.cells.empty())
        return;
    view_section->ReplacePicture(Painted());
}

double CSectionViewer::PixelRatio() const
{
    return view_section->devicePixelRatioF();
}

PictureSize CSectionViewer::PictureSizeShown() const
{
    const double ratio = PixelRatio();
    const auto device = [ratio](int side, int smallest) {
        return static_cast<int>(std::lround(std::max(side, smallest) * ratio));
    };
    return {device(view_section->width(), kSmallestPicture.width),
            device(view_section->height(), kSmallestPicture.height)};
}

QImage CSectionViewer::Painted() const
{
    SectionLook look = CurrentLook();
    look.pixelRatio = PixelRatio();
    return PaintSection(m_section,
                        look,
                        SectionTitle(FileName().toStdString(), m_section),
                        ScaledMargins(PixelRatio()));
}

std::int64_t CSectionViewer::TraceAt(QPointF p) const
{
    if (!m_section.waterfall)
        return TraceAtColumn(static_cast<int>(std::floor(p.x())));
    const int row = static_cast<int>(std::floor(p.y())) - view_section->Margins().top;
    const int column = static_cast<int>(std::floor(p.x())) - view_section->Margins().left;
    if (m_section.status != SectionStatus::Ok || row < 0 || row >= m_section.frame.rows ||
        column < 0 || column >= m_section.frame.columns)
        return 0;
    // A pair stretched over several rows names only the first of them.
    for (int r = row; r >= 0 && static_cast<std::size_t>(r) < m_section.columnTraces.size(); --r)
        if (m_section.columnTraces[static_cast<std::size_t>(r)].traceNumber > 0)
            return m_section.columnTraces[static_cast<std::size_t>(r)].traceNumber;
    return 0;
}

QString CSectionViewer::DescribeWaterfallAt(QPointF p) const
{
    const std::int64_t trace = TraceAt(p);
    if (trace <= 0)
        return {};
    const SectionFrame& frame = m_section.frame;
    const double column = p.x() - view_section->Margins().left;
    const double ms = frame.startMs + column * (frame.endMs - frame.startMs) / frame.columns;
    const double metres = std::fabs(ms) / 2000.0 * m_section.soundSpeed;
    double secondOfDay = -1.0;
    for (const ColumnTrace& t : m_section.columnTraces)
        if (t.traceNumber == trace)
            secondOfDay = t.secondOfDay;
    return QString("Trace %1, %2, %3 %4 m")
               .arg(trace)
               .arg(TimeOfDay(secondOfDay))
               .arg(ms < 0 ? "port" : "starboard")
               .arg(metres, 0, 'f', 1) +
           TraceDetails(trace);
}

void CSectionViewer::OnViewSettled(QRectF view)
{
    if (m_path.isEmpty() || !m_traces)
        return;
    const QImage& picture = view_section->Picture();
    const PictureSize size = PictureSizeShown();
    const bool sameSize = picture.width() == size.width && picture.height() == size.height;
    if (bSameData(view, view_section->Shown()) && sameSize && !m_preview)
        return;
    Load(bSameData(view, view_section->Whole()) ? QRectF() : view, false);
}

int CSectionViewer::NamingColumn(int x) const
{
    const int column = x - view_section->Margins().left;
    if (m_section.status != SectionStatus::Ok || m_section.waterfall || column < 0 ||
        column >= static_cast<int>(m_section.columnTraces.size()))
        return -1;
    // A trace stretched over several columns names only the first of them.
    for (int c = column; c >= 0; --c)
        if (m_section.columnTraces[static_cast<std::size_t>(c)].traceNumber > 0)
            return c;
    return -1;
}

std::int64_t CSectionViewer::TraceAtColumn(int x) const
{
    const int column = NamingColumn(x);
    return column < 0 ? 0 : m_section.columnTraces[static_cast<std::size_t>(column)].traceNumber;
}

std::optional<std::size_t> CSectionViewer::FixOfTrace(std::int64_t trace) const
{
    for (std::size_t i = 0; i < m_fixTraces.size(); ++i)
        if (m_fixTraces[i] == trace)
            return i;
    return std::nullopt;
}

QString CSectionViewer::TraceDetails(std::int64_t trace) const
{
    QString text;
    if (const std::optional<std::size_t> fix = FixOfTrace(trace)) {
        const llt& f = m_fixes[*fix];
        text += m_metres ? QString(", E %1 N %2").arg(f.x, 0, 'f', 1).arg(f.y, 0, 'f', 1)
                         : QString(", %1, %2").arg(f.lat, 0, 'f', 6).arg(f.lon, 0, 'f', 6);
    } else {
        text += ", no position";
    }
    if (m_traces && trace >= 1 && trace <= static_cast<std::int64_t>(m_traces->size())) {
        const ViewerTrace& t = (*m_traces)[static_cast<std::size_t>(trace - 1)];
        text += QString(", delay %1 ms, channel %2").arg(t.delayMs).arg(t.channel);
    }
    return text;
}

QString CSectionViewer::DescribeAt(QPointF p) const
{
    if (m_section.waterfall)
        return DescribeWaterfallAt(p);
    const int column = NamingColumn(static_cast<int>(std::floor(p.x())));
    const double row = p.y() - view_section->Margins().top;
    const std::int64_t trace = TraceAtColumn(static_cast<int>(std::floor(p.x())));
    if (trace <= 0 || row < 0 || row >= m_section.frame.rows)
        return {};
    const SectionFrame& frame = m_section.frame;
    const double ms = frame.startMs + row * (frame.endMs - frame.startMs) / frame.rows;
    const double speed = CurrentLook().depthSpeedMps;
    const QString depth = speed > 0.0 ? QString(" (%1 m)").arg(ms * speed / 2000.0, 0, 'f', 1) : "";
    return QString("Trace %1, %2, %3 ms")
               .arg(trace)
               .arg(TimeOfDay(m_section.columnTraces[static_cast<std::size_t>(column)].secondOfDay))
               .arg(ms, 0, 'f', 1) +
           depth + SampleText(trace, ms) + TraceDetails(trace);
}

QString CSectionViewer::SampleText(std::int64_t trace, double ms) const
{
    if (!m_traces || trace < 1 || trace > static_cast<std::int64_t>(m_traces->size()))
        return {};
    // One trace read again: the grid keeps only each pixel's largest sample.
    const std::optional<SampleValue> value =
        ReadSampleAt(m_path.toStdString(),
                     (*m_traces)[static_cast<std::size_t>(trace - 1)].offset,
                     ms,
                     m_shownOptions);
    if (!value)
        return {};
    return QString(", sample %1 as stored, %2 shown")
        .arg(value->storedValue, 0, 'g', 6)
        .arg(value->shownValue, 0, 'g', 6);
}

void CSectionViewer::MarkTrace(std::int64_t trace)
{
    m_marked = trace;
    m_mark->clear();
    if (const std::optional<std::size_t> fix = FixOfTrace(trace)) {
        const llt& f = m_fixes[*fix];
        m_mark->append(m_metres ? QPointF(f.x, f.y) : QPointF(f.lon, f.lat));
    }
    // The column showing the trace: the last one whose first trace is not
    // after it; none when the trace lies outside the part shown.
    std::optional<int> marked;
    if (!m_section.waterfall && trace >= m_section.firstTrace && trace <= m_section.lastTrace) {
        for (std::size_t c = 0; c < m_section.columnTraces.size(); ++c) {
            const std::int64_t first = m_section.columnTraces[c].traceNumber;
            if (first > trace)
                break;
            if (first > 0)
                marked = view_section->Margins().left + static_cast<int>(c);
        }
    }
    view_section->MarkColumn(marked);
}

std::optional<QPointF> CSectionViewer::TrackMark() const
{
    if (m_mark->count() == 0)
        return std::nullopt;
    return m_mark->at(0);
}

bool CSectionViewer::MarkNearestFix(QPointF p)
{
    // Every fix, not the few drawn: the one nearest names the exact trace.
    const std::vector<QPointF>& points = m_fixPoints;
    if (points.empty() || points.size() != m_fixTraces.size())
        return false;
    std::size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF d = points[i] - p;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    if (m_fixTraces[best] <= 0)
        return false;
    MarkTrace(m_fixTraces[best]);
    return true;
}

void CSectionViewer::ShowTrack(std::vector<llt> fixes)
{
    m_track->clear();
    m_mark->clear();
    m_fixes.clear();
    m_fixPoints.clear();
    m_fixTraces.clear();
    m_trackBounds = {};
    if (fixes.empty()) {
        if (!m_path.isEmpty() && m_traces &&
            (label_status->text().isEmpty() || label_status->text().startsWith("Reading ")))
            label_status->setText(FileName() + " carries no navigation.");
        m_axisX->setTitleText({});
        m_axisY->setTitleText({});
        return;
    }
    const bool metres = bInMetres(fixes);
    m_metres = metres;
    m_fittedTrack = {};
    std::vector<QPointF>& points = m_fixPoints;
    points.reserve(fixes.size());
    for (const llt& f : fixes)
        points.push_back(metres ? QPointF(f.x, f.y) : QPointF(f.lon, f.lat));
    double x0 = points.front().x(), x1 = x0, y0 = points.front().y(), y1 = y0;
    for (const QPointF& p : points) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    m_trackBounds = QRectF(QPointF(x0, y0), QPointF(x1, y1));
    FitTrackAxes();
    if (m_track->count() == 0) {
        // A chart not laid out yet has no pixel: drawn as a chart a thousand
        // pixels across would show it until it has one.
        const double side = std::max({x1 - x0, y1 - y0, metres ? 10.0 : 1e-4}) / 1000.0;
        DrawTrack(QSizeF(side, side));
    }
    if (metres && !fixes.front().isUTM) {
        const QString zone =
            QString::number(fixes.front().zone) + (fixes.front().northp ? "N" : "S");
        // Short: the chart is narrow, and a title wider than it is cut.
        m_axisX->setTitleText("E, zone " + zone + " (m)");
        m_axisY->setTitleText("N (m)");
    } else if (metres) {
        m_axisX->setTitleText("Easting");
        m_axisY->setTitleText("Northing");
    } else {
        m_axisX->setTitleText("Longitude (degrees)");
        m_axisY->setTitleText("Latitude (degrees)");
    }
    m_fixes = std::move(fixes);
    // Each fix knows its trace by where the trace's header starts.
    const std::vector<ViewerTrace> none;
    const std::vector<ViewerTrace>& traces = m_traces ? *m_traces : none;
    for (const llt& f : m_fixes) {
        const auto it = std::lower_bound(
            traces.begin(), traces.end(), f.position, [](const ViewerTrace& t, std::int64_t o) {
                return t.offset < o;
            });
        m_fixTraces.push_back(
            it != traces.end() && it->offset == f.position ? (it - traces.begin()) + 1 : 0);
    }
    if (m_marked > 0)
        MarkTrace(m_marked);
}

} // namespace tessara
