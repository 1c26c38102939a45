// The viewer: SEG-Y files (a job's outputs, or any the user adds) shown as
// their section beside the ship's track, to see whether a result looks right
// without carrying it to another program.
#pragma once

// Kept from moc, which cannot parse the standard library's concepts they
// pull in; it needs none of their names.
#ifndef Q_MOC_RUN
#include "nav/llt.h"
#include "section/section_file.h"
#endif

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QChartView;
class QLabel;
class QListWidget;
class QPushButton;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace tessara
{

/// The section's picture, scaled to fit the widget, zoomed with the wheel
/// and +/-, panned with the arrows. A marked column is drawn as a line.
class CSectionPictureView : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionPictureView(QWidget* parent = nullptr);
    /// A new picture, shown whole.
    void SetPicture(const QImage& picture);
    [[nodiscard]] const QImage& Picture() const { return m_picture; }
    /// 1 shows the whole picture; more shows part of it larger.
    [[nodiscard]] double Zoom() const { return m_zoom; }
    /// Zooms by `factor` about the picture point under the widget's `at`.
    void ZoomBy(double factor, QPointF at);
    /// Moves the view by `step` widget pixels.
    void PanBy(QPointF step);
    /// The picture point under the widget point `at`.
    [[nodiscard]] QPointF ToPicture(QPointF at) const;
    /// The widget point over the picture point `p`.
    [[nodiscard]] QPointF ToWidget(QPointF p) const;
    /// Marks the picture column `x` (none: no mark).
    void MarkColumn(std::optional<int> x);
    [[nodiscard]] std::optional<int> MarkedColumn() const { return m_marked; }

signals:
    /// The pointer rests on, or a click landed on, the picture point `p`.
    void hovered(QPointF p);
    void clicked(QPointF p);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] double Scale() const;
    void KeepInside();

    QImage m_picture;
    double m_zoom = 1.0;
    QPointF m_centre; ///< the picture point at the widget's centre
    std::optional<int> m_marked;
};

/// What the viewer says of one trace of the file shown.
struct ViewerTrace {
    std::int64_t offset = 0; ///< bytes: where its header starts
    double delayMs = 0.0;
    std::int32_t channel = 0; ///< digitizerChannel (byte 180)
};

/// A modeless top-level window: the file list on the left, the selected
/// file's section and track on the right. Escape closes it.
class CSectionViewer : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionViewer(QWidget* parent = nullptr);

    /// Shows `paths` instead of the files listed, the first one selected.
    void SetFiles(const QStringList& paths);
    /// Adds the SEG-Y files of `paths` not listed yet and selects the first
    /// one added.
    void AddFiles(const QStringList& paths);
    [[nodiscard]] QStringList Files() const;
    /// Points of the selected file's track.
    [[nodiscard]] int TrackPoints() const;
    /// What hovering the section at picture point `p` tells: trace number,
    /// time, position, delay and channel. Empty off the data.
    [[nodiscard]] QString DescribeAt(QPointF p) const;
    /// The 1-based trace under picture column `x`; 0 off the data.
    [[nodiscard]] std::int64_t TraceAtColumn(int x) const;
    /// Marks `trace` (1-based) on the track and in the section.
    void MarkTrace(std::int64_t trace);
    /// The fix marked on the track; empty when none is.
    [[nodiscard]] std::optional<QPointF> TrackMark() const;
    /// Marks the trace whose fix lies nearest the chart point `p`.
    void MarkNearestFix(QPointF p);

    /// Asks for files to add; replaced by tests.
    std::function<QStringList(QWidget*)> chooseFiles;

    QListWidget* listBox_files;
    QPushButton* button_add;
    QPushButton* button_close;
    CSectionPictureView* view_section;
    QChartView* chart_track;
    QLabel* label_status;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowSelected();
    void ShowSection(const QString& path);
    void ShowTrack(const QString& path);

    /// The section column naming the trace shown at picture column `x`; -1
    /// off the data.
    [[nodiscard]] int NamingColumn(int x) const;
    [[nodiscard]] std::optional<std::size_t> FixOfTrace(std::int64_t trace) const;

    Section m_section;                 ///< of the file shown, grid dropped
    std::vector<ViewerTrace> m_traces; ///< every trace of the file shown
    std::vector<llt> m_fixes;
    std::vector<std::int64_t> m_fixTraces; ///< 1-based trace of each fix
    bool m_metres = false;
    QLineSeries* m_track;
    QScatterSeries* m_mark;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
};

} // namespace tessara
