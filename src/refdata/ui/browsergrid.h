// The grid of a list window over its table browser: chosen columns in a chosen order with
// centred titles and fixed widths, a row indicator at the cursor's row, whole-row
// selection kept on the browser's cursor, no editing in place. The keys move the browser
// (so the grid scrolls past the rows it holds); a scroll bar or wheel that reaches the
// edge of the held rows slides the browser's window on, so they reach every row of the
// result with no more than the window's rows held; Ctrl+Delete deletes the current row after
// "Delete record?". A double click anywhere on it is reported as gridDblClick.
#pragma once

#include "refdata/browsermodel.h"

#include <QTableView>

#include <vector>

namespace refdata::ui {

struct GridColumn {
    QString field;
    QString title;
    int width = 0; // pixels; 0: the grid's default for the column
    Qt::Alignment cells = {};
};

class BrowserGrid : public QTableView {
    Q_OBJECT
public:
    static const QString DeleteQuestion;

    BrowserGrid(TableBrowser& browser, const QString& name, std::vector<GridColumn> columns,
                QWidget* parent);

    BrowserModel& browserModel() { return m_model; }
    // The model column of a field shown at a visual place of the grid (-1: none).
    int columnOf(const QString& field) const;
    // The fields shown, in the grid's order.
    QStringList shownFields() const;

Q_SIGNALS:
    void gridDblClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void layoutColumns();
    void showCursor();
    // After the view scrolled: at the top or bottom of the held rows, slides the window
    // and keeps the same rows on screen.
    void followScroll();
    void scheduleFollow();
    int defaultWidth(const GridColumn& c) const;
    // Ctrl+Delete: the question, then the deletion; its error goes to the error report.
    void deleteCurrent();

    TableBrowser& m_browser;
    BrowserModel m_model;
    std::vector<GridColumn> m_columns;
    int m_laidOutColumns = -1;
    bool m_syncing = false;
    bool m_sliding = false;
    bool m_followPending = false;
};

} // namespace refdata::ui
