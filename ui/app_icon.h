// The application's icon: three stacked traces over a sea-blue tile, drawn
// in code so that no image plugin is needed (tessara.svg is the same design
// for the desktop entry).
#pragma once

#include <QIcon>

namespace tessara
{

[[nodiscard]] QIcon AppIcon();

} // namespace tessara
