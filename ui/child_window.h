// How the main window's child windows open and close from the keyboard.
#pragma once

#include <QRect>

#include <functional>

class QWidget;

namespace tessara
{

/// `rect` made to fit `area`: no larger than it, and moved as little as
/// possible to lie wholly inside it. An invalid `area` leaves `rect` as it is.
[[nodiscard]] QRect FitInto(const QRect& rect, const QRect& area);

/// Shows `child` (a top-level window) centred over `owner`, on the screen
/// that holds `owner` and wholly inside that screen's available area, then
/// raises it. A child already visible is only raised: the user may have moved it.
void ShowOver(QWidget& child, const QWidget& owner);

/// Escape anywhere in `window` calls `close`, the window's own way to close.
void CloseOnEscape(QWidget& window, std::function<void()> close);

/// Enter presses whichever button of `window` has the focus, as Space does
/// (outside a dialog, Qt's buttons take only Space).
void PressOnEnter(QWidget& window);

} // namespace tessara
