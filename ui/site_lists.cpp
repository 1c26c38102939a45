#include "ui/site_lists.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace tessara
{
namespace
{

const QStringList kDataTypes = {
    "BATHYMETRY",
    "LOW KHZ BATHYMETRY",
    "SEISMIC",
    "SIDESCAN",
};

// Instruments and sensors, with three neutral entries where an operator's
// own systems would stand (an organisation, two navigation systems).
const QStringList kInstruments = {
    "10 KHZ",      "100 KHZ",      "12 KHZ",
    "200 KHZ",     "26B",          "3.5KHZ",
    "30 KHZ",      "50 KHZ",       "7 KHZ",
    "AIRGUN",      "BARRINGER",    "BATHYMETRY",
    "BOOMER",      "BRIDGE",       "BUBBLEPULSER",
    "CHIRP",       "EG&G",         "ELAC",
    "EM 100",      "EM 1000",      "EM 1002",
    "EM 3000",     "EM 3002",      "GEM MAGNETOMETER",
    "GENERAL",     "GEOPULSE",     "GI AIRGUN",
    "GSS 2",       "HOUSE NAV A",  "HOUSE NAV B",
    "HOUSE ORG",   "HUNTEC",       "IFEMER SAR",
    "KLEIN",       "KNUDSON",      "KSS 30",
    "LORAN-C",     "MULTICHANNEL", "OBS",
    "ORE",         "OTHER",        "REGULUS",
    "ROV",         "SEABEDII",     "SEAMARC",
    "SEAOTTER",    "SEISTEC",      "SHIPAC",
    "SIMRAD",      "SLEEVEGUN",    "SPARKER",
    "SUBMERSIBLE", "SWATHPLUS",    "THOMSON TSM 5265B",
    "TOWEDCAMERA", "UNKNOWN",      "V-FIN",
    "VARIAN",
};

/// Appends the entries of `fileName` not yet in `list`.
void AddSiteEntries(const QString& directory, const QString& fileName, QStringList& list)
{
    QFile file(QDir(directory).filePath(fileName));
    if (directory.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString entry = in.readLine().trimmed();
        if (!entry.isEmpty() && !list.contains(entry))
            list.append(entry);
    }
}

/// Character-code order, as the lists are shown.
void SortByCode(QStringList& list)
{
    std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
}

} // namespace

SiteLists LoadSiteLists(const QString& configDirectory)
{
    SiteLists lists;
    lists.dataTypes = kDataTypes;
    lists.instruments = kInstruments;
    AddSiteEntries(configDirectory, "expeditions.txt", lists.expeditions);
    AddSiteEntries(configDirectory, "datatypes.txt", lists.dataTypes);
    AddSiteEntries(configDirectory, "instruments.txt", lists.instruments);
    AddSiteEntries(configDirectory, "transducers.txt", lists.transducers);
    SortByCode(lists.expeditions);
    SortByCode(lists.instruments);
    return lists;
}

} // namespace tessara
