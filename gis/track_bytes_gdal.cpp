// The GDAL half of the track files: a GeoPackage or KML file built in
// GDAL's memory and handed back as bytes. Built as a module that tessara-cli
// loads when a track file is asked for, so that no other command pays for
// loading GDAL and the hundred libraries it brings.
#include "gis/track_bytes.h"

#include <atomic>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <memory>
#include <mutex>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <span>
#include <variant>

namespace tessara
{
namespace
{

/// While alive, GDAL's messages are kept here instead of going to stderr:
/// its last failure is the reason a write failed.
class CGdalFailures
{
public:
    CGdalFailures() { CPLPushErrorHandlerEx(&Keep, this); }
    ~CGdalFailures() { CPLPopErrorHandler(); }
    CGdalFailures(const CGdalFailures&) = delete;
    CGdalFailures& operator=(const CGdalFailures&) = delete;

    [[nodiscard]] bool bFailed() const { return !m_last.empty(); }
    /// The last failure GDAL reported, else `fallback`.
    [[nodiscard]] std::string Reason(const std::string& fallback) const
    {
        return m_last.empty() ? fallback : m_last;
    }

private:
    static void CPL_STDCALL Keep(CPLErr level, CPLErrorNum, const char* message)
    {
        auto* self = static_cast<CGdalFailures*>(CPLGetErrorHandlerUserData());
        if (level >= CE_Failure && message != nullptr)
            self->m_last = message;
    }

    std::string m_last;
};

struct CloseDataset {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, CloseDataset>;

/// The value of one field: a text, a whole number or a real number.
using FieldValue = std::variant<std::string, std::int64_t, double>;
/// The fields of one feature by name: a layer may hold fields of its own
/// before them (a KML layer's Name and Description).
using FieldValues = std::vector<std::pair<const char*, FieldValue>>;

/// A layer of `type` on WGS 84 with the fields of `example`, each typed as
/// its value; null when GDAL refuses it.
OGRLayer* CreateLayer(GDALDataset& dataset,
                      const char* name,
                      OGRwkbGeometryType type,
                      const FieldValues& example)
{
    OGRSpatialReference wgs84;
    if (wgs84.SetWellKnownGeogCS("WGS84") != OGRERR_NONE)
        return nullptr;
    // Longitude first, as every GIS file of geographic positions holds them.
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayer* layer = dataset.CreateLayer(name, &wgs84, type, nullptr);
    if (layer == nullptr)
        return nullptr;
    static constexpr OGRFieldType kTypes[] = {OFTString, OFTInteger64, OFTReal};
    for (const auto& [field, value] : example) {
        OGRFieldDefn definition(field, kTypes[value.index()]);
        if (layer->CreateField(&definition) != OGRERR_NONE)
            return nullptr;
    }
    return layer;
}

/// Adds a feature of `geometry` whose fields take `values`.
bool AddFeature(OGRLayer& layer, const FieldValues& values, const OGRGeometry& geometry)
{
    OGRFeature feature(layer.GetLayerDefn());
    for (const auto& [name, value] : values) {
        if (const auto* text = std::get_if<std::string>(&value))
            feature.SetField(name, text->c_str());
        else if (const auto* whole = std::get_if<std::int64_t>(&value))
            feature.SetField(name, static_cast<GIntBig>(*whole));
        else
            feature.SetField(name, std::get<double>(value));
    }
    return feature.SetGeometry(&geometry) == OGRERR_NONE &&
           layer.CreateFeature(&feature) == OGRERR_NONE;
}

/// The fields of a track line.
FieldValues LineFields(const TrackLine& line)
{
    return {{"name", line.name},
            {"path", line.path},
            {"first_time", line.firstTime},
            {"last_time", line.lastTime},
            {"trace_count", line.traceCount}};
}

/// The fields of a shot point.
FieldValues PointFields(const ShotPoint& point)
{
    return {{"file", point.file},
            {"trace", point.trace},
            {"time", point.time},
            {"distance_m", point.distanceMetres}};
}

bool WriteLines(GDALDataset& dataset, const std::vector<TrackLine>& lines)
{
    OGRLayer* layer = CreateLayer(dataset, "tracks", wkbMultiLineString, LineFields({}));
    if (layer == nullptr)
        return false;
    for (const TrackLine& line : lines) {
        OGRMultiLineString geometry;
        for (const std::vector<GeoPosition>& part : line.parts) {
            if (part.size() < 2)
                continue;
            OGRLineString piece;
            for (const GeoPosition& p : part)
                piece.addPoint(p.lon, p.lat);
            geometry.addGeometry(&piece);
        }
        if (!geometry.IsEmpty() && !AddFeature(*layer, LineFields(line), geometry))
            return false;
    }
    return true;
}

bool WritePoints(GDALDataset& dataset, const std::vector<ShotPoint>& points)
{
    OGRLayer* layer = CreateLayer(dataset, "shot_points", wkbPoint, PointFields({}));
    if (layer == nullptr)
        return false;
    for (const ShotPoint& point : points)
        if (!AddFeature(
                *layer, PointFields(point), OGRPoint(point.position.lon, point.position.lat)))
            return false;
    return true;
}

/// Fills a new file at `working`; false with `error` set.
bool WriteDataset(const std::string& working,
                  TrackFormat format,
                  const TrackLayers& layers,
                  bool withPoints,
                  std::string& error)
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    const char* driverName = format == TrackFormat::GeoPackage ? "GPKG" : "KML";
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    if (driver == nullptr) {
        error = std::string("GDAL has no ") + driverName + " driver";
        return false;
    }
    const CGdalFailures failures;
    DatasetPtr dataset(driver->Create(working.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) {
        error = failures.Reason("GDAL cannot create the file");
        return false;
    }
    // One transaction: a GeoPackage commits each feature on its own otherwise.
    const bool transaction = dataset->StartTransaction() == OGRERR_NONE;
    bool written =
        WriteLines(*dataset, layers.lines) && (!withPoints || WritePoints(*dataset, layers.points));
    if (written && transaction)
        written = dataset->CommitTransaction() == OGRERR_NONE;
    // Closing writes what is still buffered: a full disk shows here.
    dataset.reset();
    if (!written || failures.bFailed()) {
        error = failures.Reason("GDAL could not write the file");
        return false;
    }
    return true;
}

/// A file in GDAL's memory, removed with this object.
class CMemoryTrackFile
{
public:
    explicit CMemoryTrackFile(TrackFormat format)
    {
        static std::atomic<int> made{0};
        // The extension tells the driver what it writes.
        m_path = "/vsimem/tessara_track_" + std::to_string(++made) + TrackFormatExtension(format);
    }
    ~CMemoryTrackFile() { (void)VSIUnlink(m_path.c_str()); } // gone already is as good
    CMemoryTrackFile(const CMemoryTrackFile&) = delete;
    CMemoryTrackFile& operator=(const CMemoryTrackFile&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    /// Its bytes, which stay GDAL's and valid while this object lives.
    [[nodiscard]] std::span<const GByte> Bytes() const
    {
        vsi_l_offset size = 0;
        const GByte* data = VSIGetMemFileBuffer(m_path.c_str(), &size, FALSE);
        return {data, data == nullptr ? 0 : static_cast<std::size_t>(size)};
    }

private:
    std::string m_path;
};

} // namespace
} // namespace tessara

extern "C" TESSARA_TRACK_BYTES_EXPORT bool
tessara_track_bytes(const tessara::TrackBytesRequest* request,
                    std::vector<unsigned char>* bytes,
                    std::string* error)
{
    using namespace tessara;
    const CMemoryTrackFile memory(request->format);
    if (!WriteDataset(
            memory.Path(), request->format, *request->layers, request->withPoints, *error))
        return false;
    const std::span<const GByte> made = memory.Bytes();
    bytes->assign(made.begin(), made.end());
    return true;
}
