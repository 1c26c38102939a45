#include "ui/section_viewer.h"

#include "combine/api/combine_settings.h"
#include "nav/navigation.h"
#include "section_paint/section_picture.h"
#include "segy/io/segy_file_in.h"
#include "ui/child_window.h"

#include <QChart>
#include <QChartView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tessara
{
namespace
{

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

/// Every complete trace's header offset, delay and channel, in file order.
std::vector<ViewerTrace> ReadTraceTable(const std::string& path)
{
    std::vector<ViewerTrace> traces;
    CSegyFileIn in;
    if (!in.Open(path))
        return traces;
    SegyHeaderType header{};
    for (;;) {
        const std::int64_t offset = in.GetPosition();
        in.ReadHeader(header);
        if (in.atEnd)
            break;
        traces.push_back({offset, double(header.delayRecordingTime), header.digitizerChannel});
    }
    return traces;
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

/// Hands the chart's left clicks, in chart values, to `click`.
class CChartClickFilter : public QObject
{
public:
    CChartClickFilter(QChartView& view, std::function<void(QPointF)> click)
        : QObject(&view), m_view(view), m_click(std::move(click))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                QChart* chart = m_view.chart();
                const QPointF scene = m_view.mapToScene(mouse->position().toPoint());
                m_click(chart->mapToValue(chart->mapFromScene(scene)));
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QChartView& m_view;
    std::function<void(QPointF)> m_click;
};

} // namespace

CSectionPictureView::CSectionPictureView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kSmallestPicture.width, kSmallestPicture.height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName("Section");
    setToolTip("Wheel or +/- zoom, arrows pan; click a trace to mark it on the track");
}

void CSectionPictureView::SetPicture(const QImage& picture)
{
    m_picture = picture;
    m_zoom = 1.0;
    m_centre = QPointF(picture.width() / 2.0, picture.height() / 2.0);
    m_marked.reset();
    update();
}

double CSectionPictureView::Scale() const
{
    if (m_picture.isNull())
        return 1.0;
    return std::min(width() / double(m_picture.width()), height() / double(m_picture.height())) *
           m_zoom;
}

QPointF CSectionPictureView::ToPicture(QPointF at) const
{
    return (at - QPointF(width() / 2.0, height() / 2.0)) / Scale() + m_centre;
}

QPointF CSectionPictureView::ToWidget(QPointF p) const
{
    return (p - m_centre) * Scale() + QPointF(width() / 2.0, height() / 2.0);
}

void CSectionPictureView::KeepInside()
{
    // The view never wanders off the picture: at most its edge reaches the
    // widget's edge, and a picture narrower than the widget stays centred.
    const double s = Scale();
    const auto clamp = [](double c, double half, double extent) {
        return extent <= 2 * half ? extent / 2 : std::clamp(c, half, extent - half);
    };
    m_centre.setX(clamp(m_centre.x(), width() / 2.0 / s, m_picture.width()));
    m_centre.setY(clamp(m_centre.y(), height() / 2.0 / s, m_picture.height()));
}

void CSectionPictureView::ZoomBy(double factor, QPointF at)
{
    if (m_picture.isNull())
        return;
    const QPointF fixed = ToPicture(at);
    // Up to 64 screen pixels per picture pixel: enough to tell one trace.
    m_zoom = std::clamp(m_zoom * factor, 1.0, 64.0);
    // The point under `at` stays under it.
    m_centre = fixed - (at - QPointF(width() / 2.0, height() / 2.0)) / Scale();
    KeepInside();
    update();
}

void CSectionPictureView::PanBy(QPointF step)
{
    m_centre += step / Scale();
    KeepInside();
    update();
}

void CSectionPictureView::MarkColumn(std::optional<int> x)
{
    m_marked = x;
    update();
}

void CSectionPictureView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_picture.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom < 2.0);
    painter.drawImage(
        QRectF(ToWidget({0, 0}), ToWidget(QPointF(m_picture.width(), m_picture.height()))),
        m_picture);
    if (m_marked) {
        const QPointF top = ToWidget(QPointF(*m_marked + 0.5, kPictureMargins.top));
        const QPointF bottom =
            ToWidget(QPointF(*m_marked + 0.5, m_picture.height() - kPictureMargins.bottom));
        painter.setPen(QPen(Qt::green, 1.5));
        painter.drawLine(top, bottom);
    }
}

void CSectionPictureView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        ZoomBy(std::pow(1.25, steps), event->position());
    event->accept();
}

void CSectionPictureView::keyPressEvent(QKeyEvent* event)
{
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double stepX = width() / 8.0;
    const double stepY = height() / 8.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomBy(1.25, middle);
        break;
    case Qt::Key_Minus:
        ZoomBy(1 / 1.25, middle);
        break;
    case Qt::Key_Left:
        PanBy({-stepX, 0});
        break;
    case Qt::Key_Right:
        PanBy({stepX, 0});
        break;
    case Qt::Key_Up:
        PanBy({0, -stepY});
        break;
    case Qt::Key_Down:
        PanBy({0, stepY});
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CSectionPictureView::mouseMoveEvent(QMouseEvent* event)
{
    emit hovered(ToPicture(event->position()));
}

void CSectionPictureView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        emit clicked(ToPicture(event->position()));
}

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
    label_status = new QLabel(this);
    label_status->setObjectName("label_status");
    label_status->setWordWrap(true);

    auto* left = new QVBoxLayout;
    left->addWidget(listBox_files, 1);
    left->addWidget(button_add);
    auto* leftPane = new QWidget(this);
    leftPane->setLayout(left);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(leftPane);
    split->addWidget(view_section);
    split->addWidget(chart_track);
    split->setStretchFactor(1, 3);
    split->setStretchFactor(2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(label_status, 1);
    bottom->addWidget(button_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    setTabOrder(listBox_files, button_add);
    setTabOrder(button_add, view_section);
    setTabOrder(view_section, button_close);
    chart_track->viewport()->installEventFilter(
        new CChartClickFilter(*chart_track, [this](QPointF p) { MarkNearestFix(p); }));
    connect(view_section, &CSectionPictureView::hovered, this, [this](QPointF p) {
        if (m_section.status == SectionStatus::Ok && m_section.fileTraces > 0)
            label_status->setText(DescribeAt(p));
    });
    connect(view_section, &CSectionPictureView::clicked, this, [this](QPointF p) {
        const std::int64_t trace = TraceAtColumn(static_cast<int>(std::floor(p.x())));
        if (trace > 0)
            MarkTrace(trace);
    });

    connect(listBox_files, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    connect(button_add, &QPushButton::clicked, this, [this] { AddFiles(chooseFiles(this)); });
    connect(button_close, &QPushButton::clicked, this, &QWidget::close);
    CloseOnEscape(*this, [this] { close(); });
    PressOnEnter(*this);
    resize(1100, 600);
}

void CSectionViewer::SetFiles(const QStringList& paths)
{
    listBox_files->clear();
    AddFiles(paths);
    if (listBox_files->count() == 0)
        ShowSelected();
}

void CSectionViewer::AddFiles(const QStringList& paths)
{
    int firstAdded = -1;
    for (const QString& path : paths) {
        if (path.isEmpty() || Files().contains(path))
            continue;
        listBox_files->addItem(path);
        if (firstAdded < 0)
            firstAdded = listBox_files->count() - 1;
    }
    if (firstAdded >= 0)
        listBox_files->setCurrentRow(firstAdded);
}

QStringList CSectionViewer::Files() const
{
    QStringList paths;
    for (int i = 0; i < listBox_files->count(); ++i)
        paths << listBox_files->item(i)->text();
    return paths;
}

int CSectionViewer::TrackPoints() const
{
    return static_cast<int>(m_track->count());
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

void CSectionViewer::ShowSelected()
{
    const QListWidgetItem* item = listBox_files->currentItem();
    label_status->clear();
    m_section = Section{};
    m_traces.clear();
    m_fixes.clear();
    m_fixTraces.clear();
    m_mark->clear();
    if (item == nullptr) {
        view_section->SetPicture({});
        m_track->clear();
        return;
    }
    ShowSection(item->text());
    ShowTrack(item->text());
    m_traces = ReadTraceTable(item->text().toStdString());
    // Each fix knows its trace by where the trace's header starts.
    for (const llt& f : m_fixes) {
        const auto it = std::lower_bound(
            m_traces.begin(), m_traces.end(), f.position, [](const ViewerTrace& t, std::int64_t o) {
                return t.offset < o;
            });
        m_fixTraces.push_back(
            it != m_traces.end() && it->offset == f.position ? (it - m_traces.begin()) + 1 : 0);
    }
}

int CSectionViewer::NamingColumn(int x) const
{
    const int column = x - kPictureMargins.left;
    if (m_section.status != SectionStatus::Ok || column < 0 ||
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

QString CSectionViewer::DescribeAt(QPointF p) const
{
    const int column = NamingColumn(static_cast<int>(std::floor(p.x())));
    const double row = p.y() - kPictureMargins.top;
    const std::int64_t trace = TraceAtColumn(static_cast<int>(std::floor(p.x())));
    if (trace <= 0 || row < 0 || row >= m_section.frame.rows)
        return {};
    const SectionFrame& frame = m_section.frame;
    const double ms = frame.startMs + row * (frame.endMs - frame.startMs) / frame.rows;
    QString text =
        QString("Trace %1, %2, %3 ms")
            .arg(trace)
            .arg(TimeOfDay(m_section.columnTraces[static_cast<std::size_t>(column)].secondOfDay))
            .arg(ms, 0, 'f', 1);
    if (const std::optional<std::size_t> fix = FixOfTrace(trace)) {
        const llt& f = m_fixes[*fix];
        text += m_metres ? QString(", E %1 N %2").arg(f.x, 0, 'f', 1).arg(f.y, 0, 'f', 1)
                         : QString(", %1, %2").arg(f.lat, 0, 'f', 6).arg(f.lon, 0, 'f', 6);
    } else {
        text += ", no position";
    }
    if (trace <= static_cast<std::int64_t>(m_traces.size())) {
        const ViewerTrace& t = m_traces[static_cast<std::size_t>(trace - 1)];
        text += QString(", delay %1 ms, channel %2").arg(t.delayMs).arg(t.channel);
    }
    return text;
}

void CSectionViewer::MarkTrace(std::int64_t trace)
{
    m_mark->clear();
    if (const std::optional<std::size_t> fix = FixOfTrace(trace)) {
        const llt& f = m_fixes[*fix];
        m_mark->append(m_metres ? QPointF(f.x, f.y) : QPointF(f.lon, f.lat));
    }
    // The column showing the trace: the last one whose first trace is not after it.
    std::optional<int> marked;
    for (std::size_t c = 0; c < m_section.columnTraces.size(); ++c) {
        const std::int64_t first = m_section.columnTraces[c].traceNumber;
        if (first > trace)
            break;
        if (first > 0)
            marked = kPictureMargins.left + static_cast<int>(c);
    }
    view_section->MarkColumn(marked);
}

std::optional<QPointF> CSectionViewer::TrackMark() const
{
    if (m_mark->count() == 0)
        return std::nullopt;
    return m_mark->at(0);
}

void CSectionViewer::MarkNearestFix(QPointF p)
{
    const QList<QPointF> points = m_track->points();
    if (points.isEmpty() || points.size() != static_cast<qsizetype>(m_fixTraces.size()))
        return;
    qsizetype best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QPointF d = points[i] - p;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    if (m_fixTraces[static_cast<std::size_t>(best)] > 0)
        MarkTrace(m_fixTraces[static_cast<std::size_t>(best)]);
}

void CSectionViewer::ShowSection(const QString& path)
{
    // Built at the size shown, so that no peak is lost to a second scaling.
    const PictureSize size{std::max(view_section->width(), kSmallestPicture.width),
                           std::max(view_section->height(), kSmallestPicture.height)};
    const std::string file = path.toStdString();
    const Section section = BuildSection(file, WithDataArea(SectionOptions{}, size));
    if (section.status != SectionStatus::Ok) {
        view_section->SetPicture({});
        label_status->setText(QFileInfo(path).fileName() + " " + WhyNoSection(section) + ".");
        return;
    }
    const std::string name = QFileInfo(path).fileName().toStdString();
    view_section->SetPicture(
        PaintSection(section, SectionPalette::Auto, SectionTitle(name, section)));
    m_section = section;
    m_section.cells = {}; // painted already; the frame and columns tell where a trace is
}

void CSectionViewer::ShowTrack(const QString& path)
{
    m_track->clear();
    std::vector<llt> fixes;
    const FixListStats stats = ReadAndBufferTraceHeaderData(
        path.toStdString(), CombineSettings{}.nav_average_fixes, fixes);
    if (stats.traces < 0 || fixes.empty()) {
        if (label_status->text().isEmpty())
            label_status->setText(QFileInfo(path).fileName() + " carries no navigation.");
        m_axisX->setTitleText({});
        m_axisY->setTitleText({});
        return;
    }
    const bool metres = bInMetres(fixes);
    m_metres = metres;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(fixes.size()));
    for (const llt& f : fixes)
        points << (metres ? QPointF(f.x, f.y) : QPointF(f.lon, f.lat));
    m_track->replace(points);
    double x0 = points.front().x(), x1 = x0, y0 = points.front().y(), y1 = y0;
    for (const QPointF& p : points) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    // A ship holding station still gets axes with a span.
    const double pad = metres ? 1.0 : 1e-5;
    m_axisX->setRange(x0 - pad, x1 + pad);
    m_axisY->setRange(y0 - pad, y1 + pad);
    if (metres && !fixes.front().isUTM) {
        const QString zone =
            QString::number(fixes.front().zone) + (fixes.front().northp ? "N" : "S");
        m_axisX->setTitleText("Easting (m), zone " + zone);
        m_axisY->setTitleText("Northing (m)");
    } else if (metres) {
        m_axisX->setTitleText("Easting");
        m_axisY->setTitleText("Northing");
    } else {
        m_axisX->setTitleText("Longitude (degrees)");
        m_axisY->setTitleText("Latitude (degrees)");
    }
    m_fixes = std::move(fixes);
}

} // namespace tessara
