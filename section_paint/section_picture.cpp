#include "section_paint/section_picture.h"

#include <QFont>
#include <QGuiApplication>
#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <unistd.h>

namespace tessara
{
namespace
{

constexpr QRgb kNoData = qRgb(225, 225, 225);

/// A level 0..255 rounded as lround does, without its call: this runs for
/// every pixel of a picture.
inline int Level(double x)
{
    return static_cast<int>(x + 0.5);
}

/// An envelope's magnitude 0..1 through white, yellow, orange and red to
/// dark red: a sequential scale whose lightness falls all the way, so that
/// it reads in grey print too.
QRgb EnvelopeOf(double a)
{
    static constexpr int kStops[][3] = {
        {255, 255, 255}, {255, 237, 160}, {254, 178, 76}, {240, 59, 32}, {128, 0, 38}};
    constexpr int kLast = static_cast<int>(std::size(kStops)) - 1;
    const double x = std::min(1.0, std::fabs(a)) * kLast;
    const int k = std::min(kLast - 1, static_cast<int>(x));
    const double t = x - k;
    const auto mix = [&](int c) {
        return Level(kStops[k][c] + t * (kStops[k + 1][c] - kStops[k][c]));
    };
    return qRgb(mix(0), mix(1), mix(2));
}

/// The level of a bipolar grey: 0 (black) at +1, 255 (white) at -1.
QRgb BipolarGreyOf(double a)
{
    const int level = Level(127.5 * (1.0 - std::clamp(a, -1.0, 1.0)));
    return qRgb(level, level, level);
}

SectionPalette Resolved(SectionPalette palette, const Section& s)
{
    if (palette != SectionPalette::Auto)
        return palette;
    return s.anyNegative ? SectionPalette::Seismic : SectionPalette::Grey;
}

void PaintCells(QImage& image,
                const Section& s,
                SectionPalette palette,
                const PictureMargins& margins)
{
    const SectionFrame& f = s.frame;
    for (int r = 0; r < f.rows; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(margins.top + r)) + margins.left;
        for (int c = 0; c < f.columns; ++c) {
            const float v = s.Cell(c, r);
            line[c] = std::isnan(v) ? kNoData : ShadeOf(palette, v, s.clip);
        }
    }
}

/// Blackens the pixels of row `r` of the data area from column `from` to
/// `to` (either order), inside the data area.
void BlackenRun(QImage& image, const Section& s, const PictureMargins& m, int r, int from, int to)
{
    const int first = std::max(0, std::min(from, to));
    const int last = std::min(s.frame.columns - 1, std::max(from, to));
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(m.top + r)) + m.left;
    for (int c = first; c <= last; ++c)
        line[c] = qRgb(0, 0, 0);
}

/// One trace's wiggle over its columns `c0`..`c1 - 1`: drawn pixel by pixel
/// rather than by an antialiasing painter, so that the window and a file
/// show the very same pixels.
void PaintWiggle(QImage& image, const Section& s, const PictureMargins& m, int c0, int c1)
{
    const int width = c1 - c0;
    const int baseline = c0 + (width - 1) / 2;
    const double scale = s.clip > 0.0 ? width / s.clip : 0.0;
    std::optional<int> previous;
    for (int r = 0; r < s.frame.rows; ++r) {
        const float v = s.Cell(c0, r);
        if (std::isnan(v)) {
            previous.reset(); // no sample: the line breaks
            continue;
        }
        const double reach = std::clamp(v * scale, -1.0 * width, 1.0 * width);
        const int x = baseline + static_cast<int>(std::lround(reach));
        if (x > baseline)
            BlackenRun(image, s, m, r, baseline, x);
        // The line joins this row's point to the last one's.
        BlackenRun(image, s, m, r, previous.value_or(x), x);
        previous = x;
    }
}

void PaintWiggles(QImage& image, const Section& s, const PictureMargins& m)
{
    const auto& columns = s.columnTraces;
    int c0 = -1;
    for (int c = 0; c <= s.frame.columns; ++c) {
        const bool starts =
            c == s.frame.columns || columns[static_cast<std::size_t>(c)].traceNumber > 0;
        if (!starts)
            continue;
        if (c0 >= 0)
            PaintWiggle(image, s, m, c0, c);
        c0 = c;
    }
}

} // namespace

double RoundStep(double span, int wanted, double smallest)
{
    const double raw = std::max(span / std::max(1, wanted), smallest);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw * (1.0 - 1e-9))
            return m * power;
    return 10.0 * power;
}

namespace
{

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

/// A recorder that writes no clock leaves every field of the time zero.
bool bHasTime(const SectionTime& t)
{
    return t.year != 0 || t.day != 0 || t.hour != 0 || t.minute != 0 || t.second != 0 ||
           t.millisecond != 0;
}

/// Lengths of the axes' text and ticks, in device pixels.
struct AxisLook {
    double ratio = 1.0; ///< device pixels per logical pixel
    [[nodiscard]] int Px(int logical) const
    {
        return static_cast<int>(std::lround(logical * ratio));
    }
};

/// The first and last trace (or pair) shown and the step between them, as
/// one axis from half a step before the first to half a step after the last:
/// each trace's tick at the middle of its columns.
struct TraceSpan {
    double from = 0.0;
    double to = 1.0;
};

TraceSpan TraceSpanOf(const Section& s)
{
    const std::int64_t count = std::max<std::int64_t>(1, s.frame.traceCount);
    const double step =
        count > 1 ? static_cast<double>(s.lastTrace - s.firstTrace) / double(count - 1) : 1.0;
    return {static_cast<double>(s.firstTrace) - step / 2.0,
            static_cast<double>(s.lastTrace) + step / 2.0};
}

/// Text right of the tick at `y` down the left margin.
void LeftLabel(QPainter& p, int y, const std::string& text, const PictureMargins& m, AxisLook look)
{
    p.drawLine(m.left - look.Px(5), y, m.left - 1, y);
    p.drawText(QRect(0, y - look.Px(8), m.left - look.Px(7), look.Px(16)),
               Qt::AlignRight | Qt::AlignVCenter,
               QString::fromStdString(text));
}

/// Text centred over the tick at `x` along the top, left out where it would
/// reach the picture's edge.
void TopLabel(QPainter& p, int x, const std::string& text, const PictureMargins& m, AxisLook look)
{
    const QString label = QString::fromStdString(text);
    const int width = p.fontMetrics().horizontalAdvance(label) + look.Px(4);
    const QRect box(x - width / 2, m.top - look.Px(20), width, look.Px(14));
    p.drawLine(x, m.top - look.Px(5), x, m.top - 1);
    if (box.left() >= look.Px(2) && box.right() < p.device()->width() - look.Px(2))
        p.drawText(box, Qt::AlignCenter, label);
}

/// Two-way time in ms down the left, or depth in m at `speedMps` (> 0):
/// time x speed / 2.
void PaintTimeAxis(
    QPainter& p, const Section& s, double speedMps, const PictureMargins& m, AxisLook look)
{
    const bool depth = speedMps > 0.0;
    const double perMs = depth ? speedMps / 2000.0 : 1.0;
    p.drawText(QRect(look.Px(2), m.top - look.Px(16), m.left, look.Px(14)),
               Qt::AlignLeft,
               depth ? "m" : "ms");
    const SectionFrame& f = s.frame;
    for (const AxisTick& t :
         AxisTicks(f.startMs * perMs, f.endMs * perMs, f.rows, look.Px(40), 0.0, look.Px(8)))
        LeftLabel(p, m.top + t.pixel, Format("%g", t.value), m, look);
}

/// Trace numbers along the top at round numbers, each with its time of day
/// where the file has times.
void PaintTraceAxis(QPainter& p, const Section& s, const PictureMargins& m, AxisLook look)
{
    const bool times = bHasTime(s.firstTime) || bHasTime(s.lastTime);
    p.drawText(QRect(look.Px(2), m.top - look.Px(34), p.device()->width(), look.Px(14)),
               Qt::AlignLeft,
               times ? "trace, time" : "trace (no recording times in the file)");
    const TraceSpan span = TraceSpanOf(s);
    const int columns = s.frame.columns;
    for (const AxisTick& t :
         AxisTicks(span.from, span.to, columns, look.Px(times ? 110 : 60), 1.0, look.Px(3))) {
        std::string label = Format("%.0f", t.value);
        // A trace stretched over several columns names only the first.
        auto column = static_cast<std::size_t>(std::clamp(t.pixel, 0, columns - 1));
        while (column > 0 && column < s.columnTraces.size() &&
               s.columnTraces[column].traceNumber == 0)
            --column;
        if (times && column < s.columnTraces.size() && s.columnTraces[column].traceNumber != 0 &&
            s.columnTraces[column].secondOfDay >= 0.0)
            label += "  " + TimeOfDay(s.columnTraces[column].secondOfDay);
        TopLabel(p, m.left + t.pixel, label, m, look);
    }
}

/// The waterfall's axes: slant range in metres to either side of nadir along
/// the top, pair (ping) numbers down the left.
void PaintWaterfallAxes(QPainter& p, const Section& s, const PictureMargins& m, AxisLook look)
{
    const SectionFrame& f = s.frame;
    p.drawText(QRect(look.Px(2), m.top - look.Px(34), p.device()->width(), look.Px(14)),
               Qt::AlignLeft,
               QString::fromStdString("slant range (m) at " + Format("%g", s.soundSpeed) +
                                      " m/s: port left, starboard right"));
    p.drawText(QRect(look.Px(2), m.top - look.Px(16), m.left, look.Px(14)), Qt::AlignLeft, "trace");
    // Two-way time to metres; each side ticked from nadir out alike.
    const double rangeM = f.endMs / 2000.0 * s.soundSpeed;
    const double half = f.columns / 2.0;
    TopLabel(p, m.left + static_cast<int>(std::lround(half)), "0", m, look);
    for (const AxisTick& t :
         AxisTicks(0.0, rangeM, static_cast<int>(std::floor(half)), look.Px(60), 0.0, look.Px(3))) {
        if (t.pixel == 0)
            continue;
        const std::string label = Format("%g", t.value);
        TopLabel(p, m.left + static_cast<int>(std::lround(half + t.pixel)), label, m, look);
        TopLabel(p, m.left + static_cast<int>(std::lround(half - t.pixel)), label, m, look);
    }
    const TraceSpan span = TraceSpanOf(s);
    for (const AxisTick& t : AxisTicks(span.from, span.to, f.rows, look.Px(40), 1.0, look.Px(8)))
        LeftLabel(p, m.top + t.pixel, Format("%.0f", t.value), m, look);
}

std::string TimeText(const SectionTime& t)
{
    char text[48];
    std::snprintf(
        text, sizeof text, "%04d-%03d %02d:%02d:%02d", t.year, t.day, t.hour, t.minute, t.second);
    return text;
}

} // namespace

QRgb ShadeOf(SectionPalette palette, double value, double clip)
{
    // A section of zeros has no clip level; it shows as zeros.
    const double a = clip > 0.0 ? value / clip : 0.0;
    // Grey and seismic fade from full colour at the clip level to white at 0.
    const int fade = Level(255.0 * (1.0 - std::min(1.0, std::fabs(a))));
    switch (palette) {
    case SectionPalette::Auto:
    case SectionPalette::Grey:
        return qRgb(fade, fade, fade);
    case SectionPalette::Seismic:
        return a < 0.0 ? qRgb(fade, fade, 255) : qRgb(255, fade, fade);
    case SectionPalette::GreyBipolar:
        return BipolarGreyOf(a);
    case SectionPalette::GreyBipolarReversed:
        return BipolarGreyOf(-a);
    case SectionPalette::Envelope:
        return EnvelopeOf(a);
    }
    return kNoData;
}

bool bDrawsWiggles(const Section& s, const SectionLook& look)
{
    return look.wiggles != WiggleMode::Off && !s.waterfall &&
           s.columnTraces.size() == static_cast<std::size_t>(s.frame.columns) &&
           s.frame.columns >= kWigglePixelsPerTrace * s.frame.traceCount;
}

PictureMargins MarginsFor(const PictureSize& size)
{
    const bool room =
        size.width >= kSmallestPicture.width && size.height >= kSmallestPicture.height;
    return room ? kPictureMargins : PictureMargins{0, 0, 0, 0};
}

PictureMargins ScaledMargins(double pixelRatio)
{
    const auto scaled = [pixelRatio](int side) {
        return static_cast<int>(std::lround(side * pixelRatio));
    };
    return {scaled(kPictureMargins.left),
            scaled(kPictureMargins.top),
            scaled(kPictureMargins.right),
            scaled(kPictureMargins.bottom)};
}

SectionOptions WithDataArea(SectionOptions options, const PictureSize& size)
{
    const PictureMargins m = MarginsFor(size);
    options.columns = std::max(1, size.width - m.left - m.right);
    options.rows = std::max(1, size.height - m.top - m.bottom);
    return options;
}

std::vector<AxisTick>
AxisTicks(double from, double to, int pixels, int spacing, double smallestStep, int inset)
{
    std::vector<AxisTick> ticks;
    if (!(to > from) || pixels <= 0)
        return ticks;
    const double step =
        RoundStep(to - from, std::max(1, pixels / std::max(1, spacing)), smallestStep);
    // Counted, not summed: a step far below the values' precision would
    // never reach the end.
    const double first = std::ceil(from / step);
    for (double k = first; k * step <= to && ticks.size() <= static_cast<std::size_t>(pixels);
         k += 1.0) {
        const double value = k * step;
        const auto pixel = static_cast<int>(std::lround((value - from) / (to - from) * pixels));
        if (pixel >= inset && pixel <= pixels - inset)
            ticks.push_back({value == 0.0 ? 0.0 : value, pixel}); // no "-0"
    }
    return ticks;
}

std::string SectionTitle(const std::string& fileName, const Section& s)
{
    const std::string when = bHasTime(s.firstTime) || bHasTime(s.lastTime)
                                 ? TimeText(s.firstTime) + " to " + TimeText(s.lastTime)
                                 : "no recording times";
    return fileName + ": " + when + ", traces " + std::to_string(s.firstTrace) + " to " +
           std::to_string(s.lastTrace) + " of " + std::to_string(s.fileTraces) +
           (s.waterfall ? " (sidescan pairs)" : "");
}

QImage PaintSection(const Section& s,
                    SectionPalette palette,
                    const std::string& title,
                    const PictureMargins& margins)
{
    return PaintSection(s, SectionLook{.palette = palette}, title, margins);
}

QImage PaintSection(const Section& s,
                    const SectionLook& look,
                    const std::string& title,
                    const PictureMargins& margins)
{
    const SectionFrame& f = s.frame;
    QImage image(margins.left + f.columns + margins.right,
                 margins.top + f.rows + margins.bottom,
                 QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    const bool wiggles = bDrawsWiggles(s, look);
    if (!wiggles || look.wiggles == WiggleMode::Over)
        PaintCells(image, s, Resolved(look.palette, s), margins);
    if (wiggles)
        PaintWiggles(image, s, margins);
    if (margins.left == 0 || margins.top == 0)
        return image; // no room for text

    const AxisLook axes{look.pixelRatio > 0.0 ? look.pixelRatio : 1.0};
    {
        QPainter p(&image);
        QFont font = p.font();
        font.setPixelSize(axes.Px(11));
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawRect(margins.left - 1, margins.top - 1, f.columns + 1, f.rows + 1);
        // A title wider than the picture loses its middle, not its end.
        const QRect titleBox(axes.Px(4), axes.Px(2), image.width() - axes.Px(8), axes.Px(16));
        p.drawText(titleBox,
                   Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(
                       QString::fromStdString(title), Qt::ElideMiddle, titleBox.width()));
        if (s.waterfall) {
            PaintWaterfallAxes(p, s, margins, axes);
        } else {
            PaintTimeAxis(p, s, look.depthSpeedMps, margins, axes);
            PaintTraceAxis(p, s, margins, axes);
        }
    }
    image.setDevicePixelRatio(axes.ratio);
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

namespace
{

/// The PNG encoder's output: a descriptor written in full. A failed write
/// is kept, with its errno, and the encoder told that all went well: libpng
/// would give up with a message of its own on stderr. The caller asks
/// Error() afterwards.
class CDescriptorDevice : public QIODevice
{
public:
    explicit CDescriptorDevice(int fd) : m_fd(fd) { (void)open(WriteOnly | Unbuffered); }
    [[nodiscard]] int Error() const { return m_error; }
    [[nodiscard]] bool isSequential() const override { return true; }

protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        for (qint64 done = 0; done < size && m_error == 0;) {
            const ssize_t put = ::write(m_fd, data + done, static_cast<std::size_t>(size - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) // an error, or no progress (a full disk)
                m_error = put < 0 ? errno : ENOSPC;
            else
                done += put;
        }
        return size;
    }

private:
    int m_fd;
    int m_error = 0;
};

/// Removes a file unless told to keep it: however a save ends (a failed
/// write, an allocation that throws), no half-written picture stays.
class CRemovedUnlessKept
{
public:
    explicit CRemovedUnlessKept(const std::string& path) : m_path(path) {}
    ~CRemovedUnlessKept()
    {
        if (!m_kept)
            (void)::unlink(m_path.c_str()); // gone already is as good
    }
    CRemovedUnlessKept(const CRemovedUnlessKept&) = delete;
    CRemovedUnlessKept& operator=(const CRemovedUnlessKept&) = delete;
    void Keep() { m_kept = true; }

private:
    std::string m_path;
    bool m_kept = false;
};

} // namespace

bool WritePng(const QImage& image, int fd, std::string& error)
{
    CDescriptorDevice device(fd);
    const bool encoded = image.save(&device, "PNG", 85);
    if (device.Error() != 0) {
        error = WriteFailureText(device.Error());
        return false;
    }
    if (!encoded) {
        error = "the picture could not be encoded as PNG";
        return false;
    }
    return true;
}

bool SavePng(const QImage& image,
             const std::string& path,
             std::string& error,
             const WorkingFileCreated& created)
{
    std::string working;
    const int fd = CreateBeside(path, working, created);
    if (fd < 0) {
        error = WriteFailureText(errno);
        return false;
    }
    CRemovedUnlessKept temporary(working);
    const bool written = WritePng(image, fd, error);
    // Where a file system that writes late (NFS) reports a full disk.
    if (::close(fd) != 0 && written) {
        error = WriteFailureText(errno);
        return false;
    }
    if (!written)
        return false;
    // rename replaces a file or a link of the name in one step, never what
    // a link points to.
    if (std::rename(working.c_str(), path.c_str()) != 0) {
        error = WriteFailureText(errno);
        return false;
    }
    temporary.Keep();
    return true;
}

} // namespace tessara
