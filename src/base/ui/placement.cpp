#include "base/ui/placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <algorithm>

namespace base::ui {

QPoint placement(QPoint stored, QSize size, QPoint designed)
{
    const QRect title(stored, QSize(std::max(size.width(), 40), 20));
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(title))
            return stored;
    }
    return designed;
}

} // namespace base::ui
