#include "ui/section_picture_view.h"

#include "section_paint/section_picture.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tessara
{
namespace
{

/// A press that moves less than this many pixels is a click, not a drag.
constexpr double kClickSlackPx = 4.0;
constexpr double kZoomStep = 1.25;

} // namespace

CSectionPictureView::CSectionPictureView(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kSmallestPicture.width, kSmallestPicture.height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName("Section");
    setToolTip("Wheel or +/- zoom, drag a box to zoom to it, right-drag or arrows pan, "
               "Home shows all; click a trace to mark it on the track");
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { emit viewSettled(m_view); });
}

void CSectionPictureView::SetPicture(const QImage& picture, QRectF shown)
{
    m_picture = picture;
    m_shown = picture.isNull() ? QRectF() : shown;
    m_marked.reset();
    // A view the user is still changing stays as it is: its own picture
    // is asked for once it rests.
    if (picture.isNull() || !bIsChanging()) {
        m_view = m_shown;
        m_settle.stop();
        m_drag = Drag::None;
    }
    update();
}

bool CSectionPictureView::bIsChanging() const
{
    return m_settle.isActive() || m_drag != Drag::None;
}

void CSectionPictureView::ReplacePicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void CSectionPictureView::SetLimits(QRectF whole, QSizeF smallest)
{
    m_whole = whole;
    m_smallest = smallest;
}

PictureMargins CSectionPictureView::Margins() const
{
    return m_picture.isNull() ? kPictureMargins : ScaledMargins(m_picture.devicePixelRatio());
}

QRectF CSectionPictureView::DataArea() const
{
    if (m_picture.isNull())
        return rect();
    const double w = m_picture.width();
    const double h = m_picture.height();
    const double s = std::min(width() / w, height() / h);
    const QPointF origin((width() - w * s) / 2.0, (height() - h * s) / 2.0);
    const PictureMargins m = Margins();
    return {origin.x() + m.left * s,
            origin.y() + m.top * s,
            (w - m.left - m.right) * s,
            (h - m.top - m.bottom) * s};
}

QPointF CSectionPictureView::ToData(QPointF at) const
{
    const QRectF area = DataArea();
    if (m_picture.isNull() || area.isEmpty())
        return at;
    return {m_view.left() + (at.x() - area.left()) / area.width() * m_view.width(),
            m_view.top() + (at.y() - area.top()) / area.height() * m_view.height()};
}

QPointF CSectionPictureView::ToPicture(QPointF at) const
{
    if (m_picture.isNull() || m_shown.isEmpty())
        return at;
    const QPointF d = ToData(at);
    const PictureMargins m = Margins();
    const double columns = m_picture.width() - m.left - m.right;
    const double rows = m_picture.height() - m.top - m.bottom;
    return {m.left + (d.x() - m_shown.left()) / m_shown.width() * columns,
            m.top + (d.y() - m_shown.top()) / m_shown.height() * rows};
}

QPointF CSectionPictureView::ToWidget(QPointF p) const
{
    const QRectF area = DataArea();
    if (m_picture.isNull() || m_shown.isEmpty() || m_view.isEmpty())
        return p;
    const PictureMargins m = Margins();
    const double columns = m_picture.width() - m.left - m.right;
    const double rows = m_picture.height() - m.top - m.bottom;
    const QPointF d(m_shown.left() + (p.x() - m.left) / columns * m_shown.width(),
                    m_shown.top() + (p.y() - m.top) / rows * m_shown.height());
    return {area.left() + (d.x() - m_view.left()) / m_view.width() * area.width(),
            area.top() + (d.y() - m_view.top()) / m_view.height() * area.height()};
}

QRectF CSectionPictureView::Bounded(QRectF view) const
{
    if (m_whole.isEmpty())
        return view;
    const QPointF centre = view.center();
    const double w =
        std::clamp(view.width(), std::min(m_smallest.width(), m_whole.width()), m_whole.width());
    const double h = std::clamp(
        view.height(), std::min(m_smallest.height(), m_whole.height()), m_whole.height());
    const double left = std::clamp(centre.x() - w / 2.0, m_whole.left(), m_whole.right() - w);
    const double top = std::clamp(centre.y() - h / 2.0, m_whole.top(), m_whole.bottom() - h);
    return {left, top, w, h};
}

void CSectionPictureView::ChangeView(QRectF view, bool settleNow)
{
    if (m_picture.isNull())
        return;
    m_view = Bounded(view);
    update();
    if (settleNow) {
        m_settle.stop();
        emit viewSettled(m_view);
    } else {
        m_settle.start();
    }
}

void CSectionPictureView::ZoomBy(double factor, QPointF at)
{
    if (m_picture.isNull() || factor <= 0)
        return;
    const QPointF fixed = ToData(at);
    // The data under `at` stays under it.
    const QRectF view(fixed.x() - (fixed.x() - m_view.left()) / factor,
                      fixed.y() - (fixed.y() - m_view.top()) / factor,
                      m_view.width() / factor,
                      m_view.height() / factor);
    QRectF bounded = Bounded(view);
    // Held at the smallest span the zoom goes on no further, and the point
    // under `at` stays put rather than the view sliding away from it.
    if (bounded.width() > view.width() || bounded.height() > view.height())
        bounded = Bounded(
            QRectF(fixed.x() - bounded.width() * (fixed.x() - m_view.left()) / m_view.width(),
                   fixed.y() - bounded.height() * (fixed.y() - m_view.top()) / m_view.height(),
                   bounded.width(),
                   bounded.height()));
    ChangeView(bounded, false);
}

void CSectionPictureView::PanBy(QPointF step)
{
    const QRectF area = DataArea();
    if (m_picture.isNull() || area.isEmpty())
        return;
    ChangeView(m_view.translated(step.x() / area.width() * m_view.width(),
                                 step.y() / area.height() * m_view.height()),
               false);
}

void CSectionPictureView::ZoomToBox(QRectF box)
{
    const QRectF boxed = QRectF(ToData(box.topLeft()), ToData(box.bottomRight())).normalized();
    // A box reaching past the data takes the data's edge, not the margin's.
    ChangeView(m_whole.isEmpty() ? boxed : boxed.intersected(m_whole), true);
}

void CSectionPictureView::ShowWhole()
{
    ChangeView(m_whole, true);
}

void CSectionPictureView::CentreAcross(double x)
{
    ChangeView(m_view.translated(x - m_view.center().x(), 0.0), true);
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
    const QRectF target(ToWidget({0, 0}), ToWidget(QPointF(m_picture.width(), m_picture.height())));
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          target.width() < 2.0 * m_picture.width());
    painter.drawImage(target, m_picture);
    if (m_marked) {
        const PictureMargins m = Margins();
        const QPointF top = ToWidget(QPointF(*m_marked + 0.5, m.top));
        const QPointF bottom = ToWidget(QPointF(*m_marked + 0.5, m_picture.height() - m.bottom));
        painter.setPen(QPen(Qt::green, 1.5));
        painter.drawLine(top, bottom);
    }
    if (m_drag == Drag::Box) {
        painter.setPen(QPen(palette().highlight().color(), 1.0, Qt::DashLine));
        painter.drawRect(QRectF(m_pressAt, m_dragAt).normalized());
    }
}

void CSectionPictureView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        ZoomBy(std::pow(kZoomStep, steps), event->position());
    event->accept();
}

void CSectionPictureView::keyPressEvent(QKeyEvent* event)
{
    const QPointF middle(width() / 2.0, height() / 2.0);
    const QRectF area = DataArea();
    const double stepX = area.width() / 8.0;
    const double stepY = area.height() / 8.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomBy(kZoomStep, middle);
        break;
    case Qt::Key_Minus:
        ZoomBy(1 / kZoomStep, middle);
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
    case Qt::Key_Home:
        ShowWhole();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CSectionPictureView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    if (m_drag == Drag::Pan) {
        // The picture follows the pointer: the view moves the other way.
        PanBy(m_dragAt - at);
        m_dragAt = at;
    } else if (m_drag == Drag::Box) {
        m_dragAt = at;
        update();
    } else {
        emit hovered(ToPicture(at));
    }
}

void CSectionPictureView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    m_pressAt = m_dragAt = event->position();
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    if (event->button() == Qt::LeftButton && !shift)
        m_drag = Drag::Box;
    else if (event->button() != Qt::NoButton)
        m_drag = Drag::Pan;
}

void CSectionPictureView::mouseReleaseEvent(QMouseEvent* event)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    const QPointF moved = event->position() - m_pressAt;
    const bool click = std::abs(moved.x()) < kClickSlackPx && std::abs(moved.y()) < kClickSlackPx;
    if (drag == Drag::Box && click) {
        update();
        emit clicked(ToPicture(event->position()));
    } else if (drag == Drag::Box) {
        ZoomToBox(QRectF(m_pressAt, event->position()));
    } else if (drag == Drag::Pan && !click) {
        ChangeView(m_view, true);
    }
}

void CSectionPictureView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Once the size rests the picture is made again at the size seen.
    if (!m_picture.isNull())
        m_settle.start();
}

} // namespace tessara
