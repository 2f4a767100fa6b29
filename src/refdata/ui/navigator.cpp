#include "refdata/ui/navigator.h"

#include "base/ui/messages.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace refdata::ui {
namespace {

enum Glyph { First, Prior, Next, Last, Refresh };

// The button pictures: triangles with bars like a tape recorder's, a round arrow.
QIcon glyphIcon(int glyph, const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const auto left = [&](qreal x) {
        p.drawPolygon(QPolygonF({QPointF(x + 6, 3.5), QPointF(x + 6, 12.5), QPointF(x, 8)}));
    };
    const auto right = [&](qreal x) {
        p.drawPolygon(QPolygonF({QPointF(x, 3.5), QPointF(x, 12.5), QPointF(x + 6, 8)}));
    };
    switch (glyph) {
    case First:
        p.drawRect(QRectF(4, 3.5, 2, 9));
        left(6.5);
        break;
    case Prior:
        left(5);
        break;
    case Next:
        right(5);
        break;
    case Last:
        right(3.5);
        p.drawRect(QRectF(10, 3.5, 2, 9));
        break;
    default: {
        QPen pen(colour, 1.6);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.5, 3.5, 9, 9), 30 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(QPolygonF({QPointF(9.5, 1.5), QPointF(13.5, 5), QPointF(9, 6.5)}));
        break;
    }
    }
    p.end();
    QIcon icon(pixmap);
    QPixmap disabled(16, 16);
    disabled.fill(Qt::transparent);
    QPainter d(&disabled);
    d.setOpacity(0.35);
    d.drawPixmap(0, 0, pixmap);
    d.end();
    icon.addPixmap(disabled, QIcon::Disabled);
    return icon;
}

} // namespace

DBNavigator::DBNavigator(TableBrowser& browser, const QString& name, QWidget* parent)
    : QWidget(parent), m_browser(browser)
{
    setObjectName(name);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    nbFirst = addButton(u"nbFirst"_s, u"First record"_s, First);
    nbPrior = addButton(u"nbPrior"_s, u"Prior record"_s, Prior);
    nbNext = addButton(u"nbNext"_s, u"Next record"_s, Next);
    nbLast = addButton(u"nbLast"_s, u"Last record"_s, Last);
    nbRefresh = addButton(u"nbRefresh"_s, u"Refresh data"_s, Refresh);

    connect(nbFirst, &QToolButton::clicked, this,
            [this] { base::ui::runReported(this, [this] { m_browser.first(); }); });
    connect(nbPrior, &QToolButton::clicked, this,
            [this] { base::ui::runReported(this, [this] { m_browser.prior(); }); });
    connect(nbNext, &QToolButton::clicked, this,
            [this] { base::ui::runReported(this, [this] { m_browser.next(); }); });
    connect(nbLast, &QToolButton::clicked, this,
            [this] { base::ui::runReported(this, [this] { m_browser.last(); }); });
    connect(nbRefresh, &QToolButton::clicked, this,
            [this] { base::ui::runReported(this, [this] { m_browser.refresh(); }); });

    connect(&m_browser, &TableBrowser::windowChanged, this, &DBNavigator::updateButtons);
    connect(&m_browser, &TableBrowser::currentChanged, this, &DBNavigator::updateButtons);
    connect(&m_browser, &TableBrowser::stateChanged, this, &DBNavigator::updateButtons);
    updateButtons();
}

QToolButton* DBNavigator::addButton(const QString& name, const QString& hint, int glyph)
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(glyphIcon(glyph, QColor(0, 0, 0)));
    b->setIconSize(QSize(16, 16));
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout()->addWidget(b);
    return b;
}

void DBNavigator::updateButtons()
{
    const bool open = m_browser.isOpen();
    const bool rows = open && !m_browser.isEmpty();
    nbFirst->setEnabled(rows && !m_browser.bof());
    nbPrior->setEnabled(rows && !m_browser.bof());
    nbNext->setEnabled(rows && !m_browser.eof());
    nbLast->setEnabled(rows && !m_browser.eof());
    nbRefresh->setEnabled(open);
}

} // namespace refdata::ui
