// A table model over the rows a table browser holds (its current window), for the grids
// of the list windows: one column per field, the cursor's row as the current row.
#pragma once

#include "refdata/tablebrowser.h"

#include <QAbstractTableModel>
#include <QHash>

namespace refdata {

class BrowserModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit BrowserModel(TableBrowser& browser, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the value as text (dates as dd.MM.yyyy, numbers through the column's
    // mask or in their shortest form); edit: the value itself; alignment when set.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Per-field presentation, by column name.
    void setColumnTitle(const QString& field, const QString& title);
    void setNumberMask(const QString& field, const QString& mask);
    void setColumnAlignment(const QString& field, Qt::Alignment alignment);

    // The row of the browser's cursor (-1 when empty).
    int currentRow() const { return m_browser.currentIndex(); }
    TableBrowser& browser() const { return m_browser; }

Q_SIGNALS:
    void currentRowChanged(int row);

private:
    QString fieldName(int column) const;
    QString displayText(const DbValue& v, const QString& field) const;

    TableBrowser& m_browser;
    QHash<QString, QString> m_titles;
    QHash<QString, QString> m_masks;
    QHash<QString, Qt::Alignment> m_alignments;
};

} // namespace refdata
