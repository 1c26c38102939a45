// The section's picture in the viewer: what part of the file it shows, and
// the mouse and keys that choose another part.
#pragma once

#include "section_paint/section_picture.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace tessara
{

/// Shows a section picture and lets the user choose the part of the file to
/// see: the wheel and +/- zoom, a box dragged with the left button zooms to
/// it, a drag with the right or middle button (or Shift and the left) pans,
/// the arrows pan, Home shows the whole file. The part seen is a rectangle of
/// the file's data ("view"): trace numbers across, trace n spanning [n, n+1),
/// and two-way time down in ms. Until a picture of the new view arrives the
/// one at hand is drawn moved and scaled to where its data now lies; once the
/// view rests, viewSettled asks for that picture.
class CSectionPictureView : public QWidget
{
    Q_OBJECT
public:
    explicit CSectionPictureView(QWidget* parent = nullptr);

    /// A new picture whose data area shows `shown`; the view becomes `shown`
    /// unless the user is changing it (it has not come to rest yet). A null
    /// picture clears the view.
    void SetPicture(const QImage& picture, QRectF shown);
    /// The same part of the file, painted anew (other colours): the view is kept.
    void ReplacePicture(const QImage& picture);
    [[nodiscard]] const QImage& Picture() const { return m_picture; }
    /// The picture's margins in its own pixels: kPictureMargins at its
    /// device pixel ratio.
    [[nodiscard]] PictureMargins Margins() const;
    /// The data the picture shows.
    [[nodiscard]] QRectF Shown() const { return m_shown; }
    /// The data the user looks at.
    [[nodiscard]] QRectF View() const { return m_view; }
    /// Whether the user is changing the view: dragging, or within kSettleMs
    /// of a zoom, pan or resize; viewSettled follows once it rests.
    [[nodiscard]] bool bIsChanging() const;
    /// The whole file's data and the smallest span a view may have (traces,
    /// ms); views are kept inside the whole.
    void SetLimits(QRectF whole, QSizeF smallest);
    [[nodiscard]] QRectF Whole() const { return m_whole; }

    /// Zooms by `factor` (> 1 in) about the widget point `at`.
    void ZoomBy(double factor, QPointF at);
    /// Moves the view by `step` widget pixels (positive: right and down).
    void PanBy(QPointF step);
    /// Shows the data under the widget rectangle `box`.
    void ZoomToBox(QRectF box);
    /// Shows the whole file.
    void ShowWhole();
    /// Moves the view across, its size kept, to be centred on the data
    /// value `x` (a trace) as far as the whole file allows.
    void CentreAcross(double x);

    /// The picture point under the widget point `at`.
    [[nodiscard]] QPointF ToPicture(QPointF at) const;
    /// The widget point over the picture point `p`.
    [[nodiscard]] QPointF ToWidget(QPointF p) const;
    /// The data point (trace, ms) under the widget point `at`.
    [[nodiscard]] QPointF ToData(QPointF at) const;

    /// Marks the picture column `x` (none: no mark).
    void MarkColumn(std::optional<int> x);
    [[nodiscard]] std::optional<int> MarkedColumn() const { return m_marked; }
    /// How long the view must rest before viewSettled, ms.
    static constexpr int kSettleMs = 250;

signals:
    /// The pointer rests on, or a click landed on, the picture point `p`.
    void hovered(QPointF p);
    void clicked(QPointF p);
    /// The user changed the view and it has come to rest at `view`.
    void viewSettled(QRectF view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Drag { None, Box, Pan };

    /// Where the picture's data area lies in the widget when it is shown whole.
    [[nodiscard]] QRectF DataArea() const;
    /// Keeps `view` inside the whole file and no smaller than the smallest span.
    [[nodiscard]] QRectF Bounded(QRectF view) const;
    /// Takes `view` and has it settle at once or after kSettleMs.
    void ChangeView(QRectF view, bool settleNow);

    QImage m_picture;
    QRectF m_shown;
    QRectF m_view;
    QRectF m_whole;
    QSizeF m_smallest{1.0, 1e-3};
    std::optional<int> m_marked;
    QTimer m_settle;
    Drag m_drag = Drag::None;
    QPointF m_pressAt;
    QPointF m_dragAt;
};

} // namespace tessara
