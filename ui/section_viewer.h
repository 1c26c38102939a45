// The viewer: SEG-Y files (a job's outputs, or any the user adds) shown as
// their section beside the ship's track, to see whether a result looks right
// without carrying it to another program.
#pragma once

#include "ui/section_loader.h"
#include "ui/section_picture_view.h"

#ifndef Q_MOC_RUN
#include "section_paint/section_picture.h"
#endif

#include <QFutureWatcher>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QChartView;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QLineSeries;
class QScatterSeries;
class QSpinBox;
class QValueAxis;

namespace tessara
{

/// How a job laid out the sidescan pairs of the files it wrote. Files of no
/// such job show as a section, or as a waterfall where every trace is marked
/// a pair (trace identification code 25).
struct ViewerPairs {
    bool sidescanPairs = false; ///< every trace a port and a starboard half
    bool portFlipped = true;    ///< the port half from far range in
};

/// A modeless top-level window: the file list on the left, the selected
/// file's section and track on the right, the gain, clip and palette above
/// the section. Files are read on a pool thread: a large file shows a first
/// picture from a share of its traces at once, and the bar under the section
/// shows the whole one coming. Zooming in reads the traces in view again at
/// full resolution. Escape closes it.
class CSectionViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionViewer(QWidget* parent = nullptr);
    ~CSectionViewer() override;

    /// Shows `paths` instead of the files listed, in their order, the first
    /// one that can be read selected; `pairs` says how they were written.
    void SetFiles(const QStringList& paths, const ViewerPairs& pairs = {});
    /// Adds the files of `paths` not listed yet and selects the first one
    /// added that can be read. One that cannot is listed greyed, with
    /// "(cannot be read)" after its name and the reason in its tooltip.
    void AddFiles(const QStringList& paths, const ViewerPairs& pairs = {});
    [[nodiscard]] QStringList Files() const;
    /// The file at `path` was written anew (an output that grows): listed
    /// and shown when it is not, read again when it is shown, keeping the
    /// part the user zoomed into.
    void Reread(const QString& path);
    /// Whether a file or view is still being read.
    [[nodiscard]] bool bIsLoading() const { return m_loading; }
    /// Whether the picture shown is the first look from a share of the traces.
    [[nodiscard]] bool bIsPreview() const { return m_preview; }
    /// Fixes of the selected file's track.
    [[nodiscard]] int TrackPoints() const;
    /// Points the track chart draws of them: those that show at its size.
    [[nodiscard]] int TrackPointsDrawn() const;
    /// What hovering the section at picture point `p` tells: trace number,
    /// time (and depth with the depth axis), the sample there as stored and
    /// as shown, position, delay and channel. Empty off the data.
    [[nodiscard]] QString DescribeAt(QPointF p) const;
    /// The 1-based trace under picture column `x`; 0 off the data.
    [[nodiscard]] std::int64_t TraceAtColumn(int x) const;
    /// The 1-based trace under picture point `p` (the waterfall: the pair of
    /// its row); 0 off the data.
    [[nodiscard]] std::int64_t TraceAt(QPointF p) const;
    /// Marks `trace` (1-based) on the track and in the section.
    void MarkTrace(std::int64_t trace);
    /// The fix marked on the track; empty when none is.
    [[nodiscard]] std::optional<QPointF> TrackMark() const;
    /// Marks the trace whose fix lies nearest the chart point `p`; false
    /// when there is no track.
    bool MarkNearestFix(QPointF p);

    /// A view holding more samples than this shows a first look from a share
    /// of its traces before the whole picture.
    std::int64_t previewAboveSamples = kPreviewAboveSamples;
    /// Asks for files to add; replaced by tests.
    std::function<QStringList(QWidget*)> chooseFiles;

    QListWidget* listBox_files;
    QPushButton* button_add;
    QComboBox* comboBox_gain;
    QSpinBox* numericUpDown_agc_window;
    QDoubleSpinBox* numericUpDown_clip;
    QComboBox* comboBox_palette;
    QComboBox* comboBox_wiggles;
    QCheckBox* checkBox_dc;
    QCheckBox* checkBox_bandpass;
    QDoubleSpinBox* numericUpDown_band_low;
    QDoubleSpinBox* numericUpDown_band_high;
    QCheckBox* checkBox_depth;
    QSpinBox* numericUpDown_sound_speed;
    CSectionPictureView* view_section;
    QChartView* chart_track;
    QLabel* label_status;
    QProgressBar* progressBar_section;
    QPushButton* button_close;

protected:
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* BuildControls();
    /// The row of display processing, wiggles and depth under the controls.
    QWidget* BuildProcessingControls();
    void BuildTrack();
    void ShowSelected();
    /// Reads the view `view` of the file shown (empty: the whole file).
    void Load(QRectF view, bool withTrack);
    void TakeStep(int index);
    void TakeTable(const TraceTable& traces);
    void ShowSection(const SectionLoadStep& step, bool preview);
    void ShowTrack(std::vector<llt> fixes);
    /// The track's axes at one ground scale both ways, the track in the
    /// middle, ticks at round values (whole metres) about a label apart.
    void FitTrackAxes();
    /// Gives the track's series the fixes that show when a pixel is
    /// `unitsPerPixel` of the chart's units.
    void DrawTrack(QSizeF unitsPerPixel);
    /// The track's colours from the window's palette (a dark theme too).
    void ApplyTrackPalette();
    /// Moves the section across to `trace` when it lies outside the view.
    void BringTraceIntoView(std::int64_t trace);
    void Repaint();
    void OnViewSettled(QRectF view);
    [[nodiscard]] SectionOptions CurrentOptions() const;
    /// Device pixels per logical pixel of the section's screen.
    [[nodiscard]] double PixelRatio() const;
    /// The picture's size for the section as shown, in device pixels.
    [[nodiscard]] PictureSize PictureSizeShown() const;
    /// m_section painted as the controls say, at the screen's pixel ratio.
    [[nodiscard]] QImage Painted() const;
    /// DescribeAt for a waterfall: the pair, its time, the side and slant range.
    [[nodiscard]] QString DescribeWaterfallAt(QPointF p) const;
    /// Palette, wiggles and depth axis as the controls stand.
    [[nodiscard]] SectionLook CurrentLook() const;
    /// ", sample V as stored, W shown" at trace `trace` and `ms`; empty when
    /// the file gives no sample there.
    [[nodiscard]] QString SampleText(std::int64_t trace, double ms) const;
    [[nodiscard]] QString FileName() const;

    /// The section column naming the trace shown at picture column `x`; -1
    /// off the data.
    [[nodiscard]] int NamingColumn(int x) const;
    [[nodiscard]] std::optional<std::size_t> FixOfTrace(std::int64_t trace) const;
    /// ", position, delay D ms, channel C" of `trace`.
    [[nodiscard]] QString TraceDetails(std::int64_t trace) const;

    QString m_path;                ///< of the file shown; empty: none
    TraceTable m_traces;           ///< every trace of the file shown
    Section m_section;             ///< the picture's, cells kept for another palette
    SectionOptions m_shownOptions; ///< those m_section was read with
    std::int64_t m_marked = 0;     ///< the trace marked; 0: none
    std::vector<llt> m_fixes;
    std::vector<QPointF> m_fixPoints;      ///< every fix, in the chart's units
    std::vector<std::int64_t> m_fixTraces; ///< 1-based trace of each fix
    bool m_metres = false;
    bool m_loading = false;
    QSize m_askedSize; ///< the section's size, device pixels, when last read
    bool m_preview = false;
    QFutureWatcher<SectionLoadStep> m_watcher;
    QLineSeries* m_track = nullptr;
    QScatterSeries* m_mark = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QRectF m_trackBounds; ///< of the fixes, in the chart's units
    QRectF m_fittedTrack; ///< the ranges last given to the axes
};

} // namespace tessara
