#include "ui/child_window.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace tessara
{

QRect FitInto(const QRect& rect, const QRect& area)
{
    if (!area.isValid())
        return rect;
    const QSize size = rect.size().boundedTo(area.size());
    const QPoint topLeft(std::clamp(rect.left(), area.left(), area.right() + 1 - size.width()),
                         std::clamp(rect.top(), area.top(), area.bottom() + 1 - size.height()));
    return QRect(topLeft, size);
}

void ShowOver(QWidget& child, const QWidget& owner)
{
    if (!child.isVisible()) {
        QScreen* screen = owner.screen();
        const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
        const QRect over = owner.frameGeometry();
        const QSize size = area.isValid() ? child.size().boundedTo(area.size()) : child.size();
        // Clamped to the screen: a large child over a small main window near
        // an edge must not open partly off screen.
        const QRect placed =
            FitInto(QRect(over.center() - QPoint(size.width() / 2, size.height() / 2), size), area);
        child.resize(placed.size());
        child.move(placed.topLeft());
        child.show();
    }
    child.raise();
    child.activateWindow();
}

namespace
{

/// Sees the Escape that no control of the window took (an open drop-down
/// list closes itself first), as a dialog's own Escape does.
class CEscapeFilter : public QObject
{
public:
    CEscapeFilter(QWidget& window, std::function<void()> close)
        : QObject(&window), m_close(std::move(close))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            m_close();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_close;
};

} // namespace

void CloseOnEscape(QWidget& window, std::function<void()> close)
{
    window.installEventFilter(new CEscapeFilter(window, std::move(close)));
}

void PressOnEnter(QWidget& window)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        button->setAutoDefault(true);
}

} // namespace tessara
