// The grid of a list window over its table browser: chosen columns in a chosen order with
// centred titles and fixed widths, a row indicator at the cursor's row, whole-row
// selection kept on the browser's cursor, no editing in place. The keys move the browser
// (so the grid scrolls past the rows it holds); Ctrl+Delete deletes the current row after
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

private:
    void layoutColumns();
    void showCursor();
    int defaultWidth(const GridColumn& c) const;
    // Ctrl+Delete: the question, then the deletion; its error goes to the error report.
    void deleteCurrent();

    TableBrowser& m_browser;
    BrowserModel m_model;
    std::vector<GridColumn> m_columns;
    int m_laidOutColumns = -1;
    bool m_syncing = false;
};

} // namespace refdata::ui
