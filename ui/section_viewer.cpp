#include "ui/section_viewer.h"

#include "combine/api/combine_settings.h"
#include "nav/navigation.h"
#include "section_paint/section_picture.h"
#include "ui/child_window.h"

#include <QChart>
#include <QChartView>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
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

} // namespace

CSectionPictureView::CSectionPictureView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kSmallestPicture.width, kSmallestPicture.height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName("Section");
}

void CSectionPictureView::SetPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void CSectionPictureView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_picture.isNull())
        return;
    const QSize fitted = m_picture.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
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
    chart->addAxis(m_axisX, Qt::AlignBottom);
    chart->addAxis(m_axisY, Qt::AlignLeft);
    m_track->attachAxis(m_axisX);
    m_track->attachAxis(m_axisY);
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
    setTabOrder(button_add, button_close);

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
    if (item == nullptr) {
        view_section->SetPicture({});
        m_track->clear();
        return;
    }
    ShowSection(item->text());
    ShowTrack(item->text());
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
}

} // namespace tessara
