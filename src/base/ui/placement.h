// Where a window that remembers its place opens.
#pragma once

#include <QPoint>
#include <QSize>

namespace base::ui {

// The stored top-left corner, or the designed one when no screen shows the window's title
// bar there any more (a monitor removed since): a window must never open out of reach.
QPoint placement(QPoint stored, QSize size, QPoint designed);

} // namespace base::ui
