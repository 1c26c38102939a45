#include "ui/output_folder_check.h"

#include "combine/api/output_directory.h"
#include "segy/tools/segy_file_tools.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <optional>

namespace tessara
{
namespace
{

/// Length of "DDD_HHMM_to_DDD_HHMM.sgy", the time part of an output name.
constexpr qsizetype kTimePartLength = 24;
constexpr double kMinute = 60;

/// The folder as the file system knows it, links resolved.
QString Canonical(const QString& directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(directory).absoluteFilePath())
                               : canonical;
}

struct Span {
    double first = std::numeric_limits<double>::max();
    double last = std::numeric_limits<double>::lowest();
    [[nodiscard]] bool bEmpty() const { return first > last; }
};

/// Seconds of year of the inputs' first traces, earliest and latest; only the
/// first trace is read, so that 300 inputs are checked in a moment.
Span InputsSpan(const QStringList& inputs, const CombineSettings& settings)
{
    Span span;
    for (const QString& path : inputs) {
        std::string why;
        (void)ForEachTraceHeader(
            path.toStdString(),
            1,
            [] {},
            [&](std::int64_t, const TraceHeaderFields& h) {
                const double t =
                    ((h.time.dayOfYear * 24.0 + h.time.hour) * 60.0 + h.time.minute) * 60.0 +
                    h.time.second + settings.timecorrection;
                span.first = std::min(span.first, t);
                span.last = std::max(span.last, t);
            },
            why); // an unreadable input has no time; the job reports it
    }
    return span;
}

} // namespace

QStringList InputsInFolder(const QString& directory, const QStringList& inputs)
{
    const QString folder = Canonical(directory);
    QStringList found;
    for (const QString& input : inputs) {
        if (Canonical(QFileInfo(input).absolutePath()) == folder && !found.contains(input))
            found << input;
    }
    return found;
}

QStringList EarlierOutputsInFolder(const QString& directory,
                                   const QStringList& inputs,
                                   const CombineSettings& settings)
{
    const QString anyName = QString::fromStdString(BuildOutputFileName(settings, 0, 0, {}));
    const QString prefix = anyName.left(anyName.size() - kTimePartLength);
    const QRegularExpression pattern("^" + QRegularExpression::escape(prefix) +
                                     R"((\d{3})_(\d{2})(\d{2})_to_(\d{3})_(\d{2})(\d{2}))"
                                     R"((_SC[0-9.]+m)?(_\d+)?\.sgy$)");
    struct Named {
        QString name;
        double start;
        double end;
    };
    std::vector<Named> candidates;
    const QStringList names = QDir(directory).entryList(QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        const auto at = [&m](int day, int hour, int minute) {
            return ((m.captured(day).toDouble() * 24 + m.captured(hour).toDouble()) * 60 +
                    m.captured(minute).toDouble()) *
                   kMinute;
        };
        // The name gives whole minutes: its last minute counts whole.
        candidates.push_back({name, at(1, 2, 3), at(4, 5, 6) + kMinute});
    }
    if (candidates.empty())
        return {}; // no input need be read
    const Span span = InputsSpan(inputs, settings);
    QStringList found;
    if (span.bEmpty())
        return found;
    for (const Named& c : candidates) {
        // The job's first output starts a trace after the first input's
        // first trace: the minute after still counts as met.
        if (c.start <= span.last + kMinute && c.end >= span.first)
            found << c.name;
    }
    return found;
}

QString OutputFolderQuestion(const QString& directory,
                             const QStringList& inputs,
                             const CombineSettings& settings)
{
    const QStringList own = InputsInFolder(directory, inputs);
    const QStringList earlier = EarlierOutputsInFolder(directory, inputs, settings);
    if (own.isEmpty() && earlier.isEmpty())
        return {};
    constexpr qsizetype kNamed = 10; // a question box must fit on the screen
    const auto list = [](const QStringList& names) {
        QString text;
        for (qsizetype k = 0; k < names.size() && k < kNamed; ++k)
            text += "\n    " + QFileInfo(names[k]).fileName();
        if (names.size() > kNamed)
            text += "\n    and " + QString::number(names.size() - kNamed) + " more";
        return text;
    };
    QString question = "The output folder " + directory + " holds";
    if (!own.isEmpty())
        question += " inputs of this job:" + list(own) + (earlier.isEmpty() ? "\n" : "\nand");
    if (!earlier.isEmpty())
        question += " outputs of an earlier job over the same time:" + list(earlier) + "\n";
    return question + "\nA later job that lists them would read them again. Start the job anyway?";
}

} // namespace tessara
