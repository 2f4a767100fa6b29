// The SQL texts a table browser generates from a table's key, indexes and columns: the
// catalogue queries, the order list, the select and the statements derived from it.
// Pure text functions, so every statement can be checked without a database.
#pragma once

#include "refdata/firebird.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

namespace refdata {

struct IndexInfo {
    QString name;
    QStringList columns; // in segment order
    bool unique = false;
    bool descending = false;
    bool primary = false;
};

struct OrderColumn {
    QString name;
    bool descending = false;
};

// What the browser knows of its table.
struct TableShape {
    QString table; // trimmed and upper-cased
    QStringList keyColumns;
    std::vector<IndexInfo> indexes;
    std::vector<Column> columns; // those of "select *", in table order
};

struct BrowserStatements {
    QString orderList;
    std::vector<OrderColumn> order;
    QString select;
    QString reread; // one row by key
    QString lock;   // sets the first key column to itself
    QString update; // every old value non-null
    QString deleteRow;
    QString insert;    // every written column
    QString nextRows;  // rows after a boundary row, in order
    QString priorRows; // rows before a boundary row, in reversed order
    QString lastRows;
    // The pieces the keyset statements are made of.
    QString fromClause;  // "select * from T"
    QString filter;      // the condition in force, empty when none
    QString orderClause; // "order by ..."
    QString reversedClause;
};

namespace browsersql {

// A table or column name as it goes into a statement: trimmed, upper-cased, unquoted.
QString identifier(const QString& name);

// The catalogue query of a table's indexes, one row per index segment.
QString indexQuery(const QString& table);
// The columns of one index in segment order.
QString segmentQuery(const QString& index);

// The entries of an IndexFieldNames text ("A;B desc"), trimmed and upper-cased.
QStringList orderEntries(const QString& indexFieldNames);
// The order clause's column list, always ending in a unique tie-break.
QString orderList(const QStringList& keyColumns, const std::vector<IndexInfo>& indexes,
                  const QString& indexFieldNames);
// The columns of an order list with their directions.
std::vector<OrderColumn> orderColumns(const QString& orderList);
// "order by" with every direction turned round.
QString reversedOrder(const std::vector<OrderColumn>& order);
// Rows after (forward) or before a boundary row whose values are the parameters named
// after the order columns.
QString keysetCondition(const std::vector<OrderColumn>& order, bool forward);

// The same for order columns that may hold null, which sorts before every value in both
// directions: a null boundary value is matched with IS NULL, a comparison towards the
// smaller values also admits null. Columns outside canBeNull are compared as above.
// Empty when no row can follow.
QString nullSafeKeysetCondition(const std::vector<OrderColumn>& order, bool forward,
                                const QSet<QString>& canBeNull,
                                const QSet<QString>& nullInBoundary);
// A next-rows (forward) or prior-rows statement with the given keyset condition.
QString keysetSql(const BrowserStatements& s, const QString& condition, bool forward);

QString keyCondition(const QStringList& keyColumns);
// Every column but blobs and arrays equal to its OLD_ parameter; the columns named in
// nullOld are matched with IS NULL instead.
QString oldValuesCondition(const std::vector<Column>& columns, const QSet<QString>& nullOld = {});
// Every column but arrays, in table order.
QStringList writtenColumns(const std::vector<Column>& columns);

QString updateSql(const QString& table, const std::vector<Column>& columns,
                  const QSet<QString>& nullOld = {});
QString deleteSql(const QString& table, const std::vector<Column>& columns,
                  const QSet<QString>& nullOld = {});
QString insertSql(const QString& table, const QStringList& columns);

// All statements; filter is the condition in force (empty when not filtered).
BrowserStatements build(const TableShape& shape, const QString& filter,
                        const QString& indexFieldNames);

} // namespace browsersql
} // namespace refdata
