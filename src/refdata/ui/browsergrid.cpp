#include "refdata/ui/browsergrid.h"

#include "base/ui/messages.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace refdata::ui {
namespace {

// The row indicator: a narrow vertical header with a triangle at the cursor's row.
class IndicatorHeader : public QHeaderView {
public:
    IndicatorHeader(BrowserModel& model, QWidget* parent)
        : QHeaderView(Qt::Vertical, parent), m_model(model)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
    }

protected:
    QSize sizeHint() const override { return QSize(11, QHeaderView::sizeHint().height()); }

    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.text.clear();
        painter->save();
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
        painter->restore();
        if (logicalIndex != m_model.currentRow())
            return;
        painter->save();
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::WindowText));
        const QPointF c = QRectF(rect).center();
        painter->drawPolygon(
            QPolygonF({QPointF(c.x() - 2, c.y() - 4), QPointF(c.x() - 2, c.y() + 4),
                       QPointF(c.x() + 2.5, c.y())}));
        painter->restore();
    }

private:
    BrowserModel& m_model;
};

} // namespace

const QString BrowserGrid::DeleteQuestion = u"Delete record?"_s;

BrowserGrid::BrowserGrid(TableBrowser& browser, const QString& name,
                         std::vector<GridColumn> columns, QWidget* parent)
    : QTableView(parent), m_browser(browser), m_model(browser), m_columns(std::move(columns))
{
    setObjectName(name);
    setVerticalHeader(new IndicatorHeader(m_model, this));
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(true);
    // The scroll bar counts rows, which sliding the window relies on.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(8);
    const int rowHeight = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight + 1);

    for (const GridColumn& c : m_columns) {
        m_model.setColumnTitle(c.field, c.title);
        if (c.cells)
            m_model.setColumnAlignment(c.field, c.cells | Qt::AlignVCenter);
    }

    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        layoutColumns();
        showCursor();
    });
    connect(&m_model, &BrowserModel::currentRowChanged, this, [this] {
        showCursor();
        verticalHeader()->viewport()->update();
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (m_syncing || !current.isValid() || current.row() == m_model.currentRow())
                    return;
                base::ui::runReported(this, [&] { m_browser.moveTo(current.row()); });
                showCursor(); // a move that failed keeps the selection on the cursor
            });
    // Checked once the event that scrolled is done: the scroll may come from inside a
    // move of the browser (its window shown anew), which must end before the next. A
    // scroll bar at its end moves no more, so its actions count too; and a window shown
    // anew at an edge of the held rows (a row kept at the top with rows before it) is
    // slid at once, so that the bar shows there is more.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { scheduleFollow(); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { scheduleFollow(); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { scheduleFollow(); });
    layoutColumns();
}

void BrowserGrid::scheduleFollow()
{
    if (m_sliding || m_followPending)
        return;
    m_followPending = true;
    QTimer::singleShot(0, this, [this] {
        m_followPending = false;
        followScroll();
    });
}

void BrowserGrid::followScroll()
{
    if (!m_browser.isOpen() || m_browser.state() != TableBrowser::State::Browsing)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int value = bar->value();
    bool forward = false;
    if (value >= bar->maximum() && bar->maximum() > 0 && !m_browser.windowAtEnd())
        forward = true;
    else if (value <= bar->minimum() && !m_browser.windowAtStart())
        forward = false;
    else
        return;
    m_sliding = true;
    int shift = 0;
    base::ui::runReported(this, [&] { shift = m_browser.slide(forward); });
    updateGeometries();
    bar->setValue(forward ? value - shift : value + shift);
    m_sliding = false;
}

int BrowserGrid::defaultWidth(const GridColumn& c) const
{
    int chars = 0;
    for (const Column& col : m_browser.columns()) {
        if (col.name == c.field)
            chars = col.length;
    }
    const QFontMetrics fm(font());
    return std::max(fm.horizontalAdvance(c.title) + 8, fm.horizontalAdvance(u'0') * chars + 8);
}

void BrowserGrid::layoutColumns()
{
    const int count = m_model.columnCount();
    if (count == m_laidOutColumns)
        return;
    m_laidOutColumns = count;
    QHeaderView* header = horizontalHeader();
    for (int i = 0; i < count; ++i)
        header->setSectionHidden(i, true);
    int place = 0;
    for (const GridColumn& c : m_columns) {
        const int column = m_browser.fieldIndex(c.field);
        if (column < 0 || column >= count)
            continue;
        header->setSectionHidden(column, false);
        header->moveSection(header->visualIndex(column), place++);
        header->resizeSection(column, c.width > 0 ? c.width : defaultWidth(c));
    }
}

int BrowserGrid::columnOf(const QString& field) const
{
    const int column = m_browser.fieldIndex(field);
    return column >= 0 && !horizontalHeader()->isSectionHidden(column) ? column : -1;
}

QStringList BrowserGrid::shownFields() const
{
    QStringList out;
    const QHeaderView* header = horizontalHeader();
    for (int v = 0; v < header->count(); ++v) {
        const int column = header->logicalIndex(v);
        if (!header->isSectionHidden(column))
            out.append(m_browser.columns()[std::size_t(column)].name);
    }
    return out;
}

void BrowserGrid::showCursor()
{
    const int row = m_model.currentRow();
    m_syncing = true;
    if (row < 0) {
        clearSelection();
    } else {
        int column = horizontalHeader()->logicalIndex(0);
        const QModelIndex cell = m_model.index(row, std::max(column, 0));
        selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
        // A slide keeps the rows on screen where they are, wherever the cursor stands.
        if (!m_sliding)
            scrollTo(cell);
    }
    m_syncing = false;
}

void BrowserGrid::keyPressEvent(QKeyEvent* event)
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_Delete && mods == Qt::ControlModifier) {
        deleteCurrent();
        return;
    }
    const bool plain = mods == Qt::NoModifier;
    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)) - 1);
    auto move = [&](auto&& action) {
        if (m_browser.isOpen())
            base::ui::runReported(this, action);
        event->accept();
    };
    if (plain && key == Qt::Key_Down)
        move([this] { m_browser.next(); });
    else if (plain && key == Qt::Key_Up)
        move([this] { m_browser.prior(); });
    else if (plain && key == Qt::Key_PageDown)
        move([&] {
            for (int i = 0; i < page && m_browser.next(); ++i) {
            }
        });
    else if (plain && key == Qt::Key_PageUp)
        move([&] {
            for (int i = 0; i < page && m_browser.prior(); ++i) {
            }
        });
    else if (mods == Qt::ControlModifier && key == Qt::Key_Home)
        move([this] { m_browser.first(); });
    else if (mods == Qt::ControlModifier && key == Qt::Key_End)
        move([this] { m_browser.last(); });
    else
        QTableView::keyPressEvent(event);
}

void BrowserGrid::wheelEvent(QWheelEvent* event)
{
    // A list that fits the view has no scroll bar to move, but may have rows beyond the
    // window.
    QTableView::wheelEvent(event);
    scheduleFollow();
}

void BrowserGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click selects its row first, as the first click of it did.
    QTableView::mouseDoubleClickEvent(event);
    Q_EMIT gridDblClick();
}

void BrowserGrid::deleteCurrent()
{
    if (!m_browser.isOpen() || m_browser.isEmpty())
        return;
    // Enter keeps the row: deleting takes a deliberate OK.
    if (!base::ui::askOkCancel(this, u"Confirm"_s, DeleteQuestion, QMessageBox::Question,
                               QMessageBox::Cancel))
        return;
    base::ui::runReported(this, [this] { m_browser.deleteRow(); });
}

} // namespace refdata::ui
