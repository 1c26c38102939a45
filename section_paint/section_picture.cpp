#include "section_paint/section_picture.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace tessara
{
namespace
{

constexpr QRgb kNoData = qRgb(225, 225, 225);

QRgb GreyOf(double a)
{
    const int level = static_cast<int>(std::lround(255.0 * (1.0 - std::min(1.0, std::fabs(a)))));
    return qRgb(level, level, level);
}

QRgb SeismicOf(double a)
{
    const int fade = static_cast<int>(std::lround(255.0 * (1.0 - std::min(1.0, std::fabs(a)))));
    return a < 0.0 ? qRgb(fade, fade, 255) : qRgb(255, fade, fade);
}

void PaintCells(QImage& image, const Section& s, bool grey)
{
    const SectionFrame& f = s.frame;
    // A section of zeros has no clip level; it shows as zeros.
    const double scale = s.clip > 0.0 ? 1.0 / s.clip : 0.0;
    for (int r = 0; r < f.rows; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(kPictureMargins.top + r));
        const float* cells =
            s.cells.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(f.columns);
        for (int c = 0; c < f.columns; ++c) {
            const float v = cells[c];
            line[kPictureMargins.left + c] = std::isnan(v) ? kNoData
                                             : grey        ? GreyOf(v * scale)
                                                           : SeismicOf(v * scale);
        }
    }
}

/// A step of 1, 2 or 5 times a power of ten that gives about `wanted` ticks
/// over `span`.
double NiceStep(double span, int wanted)
{
    const double raw = span / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

std::string Format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string TimeOfDay(double secondOfDay)
{
    const auto s = static_cast<long>(std::floor(secondOfDay));
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600 % 24, s / 60 % 60, s % 60);
    return text;
}

/// Ticks down the left: `from`..`to` over the data area's height.
void PaintLeftAxis(QPainter& p, const Section& s, double from, double to, const char* unit)
{
    const int top = kPictureMargins.top;
    const int rows = s.frame.rows;
    p.drawText(QRect(2, top - 16, kPictureMargins.left - 4, 14), Qt::AlignLeft, unit);
    const double step = NiceStep(to - from, std::max(2, rows / 60));
    // Counted, not summed: a step far below the values' precision would
    // never reach the end.
    const double firstTick = std::ceil(from / step);
    for (int k = 0; k <= rows && (firstTick + k) * step <= to; ++k) {
        const double v = (firstTick + k) * step;
        const int y = top + static_cast<int>(std::lround((v - from) / (to - from) * rows));
        p.drawLine(kPictureMargins.left - 5, y, kPictureMargins.left - 1, y);
        p.drawText(QRect(0, y - 8, kPictureMargins.left - 7, 16),
                   Qt::AlignRight | Qt::AlignVCenter,
                   QString::fromStdString(Format("%g", v)));
    }
}

/// Trace numbers and times of day of the columns' first traces.
void PaintTopAxis(QPainter& p, const Section& s)
{
    const int columns = s.frame.columns;
    const int labelWidth = 110;
    for (int x = 0; x + labelWidth / 2 < columns; x += labelWidth) {
        const ColumnTrace& t = s.columnTraces[static_cast<std::size_t>(x)];
        if (t.traceNumber == 0)
            continue;
        const int px = kPictureMargins.left + x;
        p.drawLine(px, kPictureMargins.top - 5, px, kPictureMargins.top - 1);
        std::string label = std::to_string(t.traceNumber);
        if (t.secondOfDay >= 0.0)
            label += "  " + TimeOfDay(t.secondOfDay);
        p.drawText(QRect(px + 2, kPictureMargins.top - 20, labelWidth, 14),
                   Qt::AlignLeft,
                   QString::fromStdString(label));
    }
}

std::string TimeText(const SectionTime& t)
{
    char text[48];
    std::snprintf(
        text, sizeof text, "%04d-%03d %02d:%02d:%02d", t.year, t.day, t.hour, t.minute, t.second);
    return text;
}

} // namespace

SectionOptions WithDataArea(SectionOptions options, const PictureSize& size)
{
    const int width = std::max(size.width, kSmallestPicture.width);
    const int height = std::max(size.height, kSmallestPicture.height);
    options.columns = width - kPictureMargins.left - kPictureMargins.right;
    options.rows = height - kPictureMargins.top - kPictureMargins.bottom;
    return options;
}

std::string SectionTitle(const std::string& fileName, const Section& s)
{
    return fileName + ": " + TimeText(s.firstTime) + " to " + TimeText(s.lastTime) + ", traces " +
           std::to_string(s.firstTrace) + " to " + std::to_string(s.lastTrace) + " of " +
           std::to_string(s.fileTraces);
}

QImage PaintSection(const Section& s, SectionPalette palette, const std::string& title)
{
    const SectionFrame& f = s.frame;
    QImage image(kPictureMargins.left + f.columns + kPictureMargins.right,
                 kPictureMargins.top + f.rows + kPictureMargins.bottom,
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    const bool grey =
        palette == SectionPalette::Grey || (palette == SectionPalette::Auto && !s.anyNegative);
    PaintCells(image, s, grey);

    QPainter p(&image);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawRect(kPictureMargins.left - 1, kPictureMargins.top - 1, f.columns + 1, f.rows + 1);
    p.drawText(QRect(4, 2, image.width() - 8, 16),
               Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(title));
    if (s.waterfall) {
        PaintLeftAxis(
            p, s, static_cast<double>(s.firstTrace), static_cast<double>(s.lastTrace + 1), "pair");
    } else {
        PaintLeftAxis(p, s, f.startMs, f.endMs, "ms");
        PaintTopAxis(p, s);
    }
    return image;
}

namespace
{
void DropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// QGuiApplication keeps references to these for its lifetime.
int g_argc = 3;
char g_name[] = "tessara";
char g_option[] = "-platform";
char g_platform[] = "offscreen";
char* g_argv[] = {g_name, g_option, g_platform, nullptr};
} // namespace

CGuiForPainting::CGuiForPainting()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    m_previousHandler = qInstallMessageHandler(DropQtMessage);
    m_app = std::make_unique<QGuiApplication>(g_argc, g_argv);
}

CGuiForPainting::~CGuiForPainting()
{
    if (!m_app)
        return;
    m_app.reset();
    qInstallMessageHandler(m_previousHandler);
}

bool SavePng(const QImage& image, const std::string& path, std::string& error)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString().toStdString();
        return false;
    }
    if (!image.save(&file, "PNG", 85)) {
        error = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace tessara
