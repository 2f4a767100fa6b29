// The 16 by 16 pictures of the main window's buttons, drawn here.
#pragma once

#include <QIcon>

namespace ui {

QIcon runIcon();
QIcon ticketImageIcon();
QIcon setUpIcon();
QIcon exitIcon();

} // namespace ui
