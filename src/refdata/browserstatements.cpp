#include "refdata/browserstatements.h"

using namespace Qt::Literals::StringLiterals;

namespace refdata::browsersql {
namespace {

bool isBlobOrArray(const Column& c)
{
    return c.kind == ColumnKind::Array || c.kind == ColumnKind::Blob ||
           c.kind == ColumnKind::TextBlob;
}

// The select's pieces; the statements derived from it put a condition between them.
struct SelectParts {
    QString from;   // "select * from T"
    QString filter; // empty when none
    QString order;  // "order by ..."

    QString select() const
    {
        QString s = from;
        if (!filter.isEmpty())
            s += u"\nwhere "_s + filter;
        return s + u'\n' + order;
    }

    // The condition first in the where clause, or a where clause of its own after the
    // from clause; then the order line when one is given.
    QString withCondition(const QString& condition, const QString& orderLine) const
    {
        QString s = from;
        if (!filter.isEmpty())
            s += u"\nwhere "_s + condition + u" AND "_s + filter;
        else
            s += u" where "_s + condition + u' ';
        if (!orderLine.isEmpty())
            s += u'\n' + orderLine;
        return s;
    }
};

} // namespace

QString identifier(const QString& name)
{
    return name.trimmed().toUpper();
}

QString indexQuery(const QString& table)
{
    return u"Select I.RDB$INDEX_NAME, I.RDB$UNIQUE_FLAG, I.RDB$INDEX_TYPE, I.RDB$SEGMENT_COUNT, "
           u"S.RDB$FIELD_NAME from RDB$INDICES I, RDB$INDEX_SEGMENTS S where I.RDB$INDEX_NAME "
           u"= S.RDB$INDEX_NAME and I.RDB$RELATION_NAME = '"_s +
           identifier(table) + u"'"_s;
}

QString segmentQuery(const QString& index)
{
    return u"Select RDB$FIELD_NAME from RDB$INDEX_SEGMENTS where RDB$INDEX_NAME = '"_s + index +
           u"'\nORDER BY RDB$FIELD_POSITION"_s;
}

QStringList orderEntries(const QString& indexFieldNames)
{
    QStringList entries;
    for (const QString& e : indexFieldNames.split(u';')) {
        const QString entry = identifier(e);
        if (!entry.isEmpty())
            entries.append(entry);
    }
    return entries;
}

QString orderList(const QStringList& keyColumns, const std::vector<IndexInfo>& indexes,
                  const QString& indexFieldNames)
{
    const QStringList entries = orderEntries(indexFieldNames);
    if (entries.isEmpty() || entries == keyColumns)
        return keyColumns.join(u',');
    for (const IndexInfo& index : indexes) {
        if (index.unique && index.columns == entries)
            return entries.join(u',');
    }
    QString list = entries.join(u',');
    for (const QString& key : keyColumns) {
        if (!(u',' + list + u',').contains(u',' + key + u','))
            list += u',' + key;
    }
    return list;
}

std::vector<OrderColumn> orderColumns(const QString& orderList)
{
    std::vector<OrderColumn> order;
    for (const QString& item : orderList.split(u',')) {
        const QStringList words = item.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        OrderColumn c{words[0].toUpper(), false};
        if (words.size() > 1) {
            const QString& dir = words[1];
            c.descending = dir.compare(u"DESC"_s, Qt::CaseInsensitive) == 0 ||
                           dir.compare(u"descending"_s, Qt::CaseInsensitive) == 0;
        }
        order.push_back(c);
    }
    return order;
}

QString reversedOrder(const std::vector<OrderColumn>& order)
{
    QStringList entries;
    for (const OrderColumn& c : order)
        entries.append(u' ' + c.name + (c.descending ? QString() : u" DESC"_s));
    return u"order by"_s + entries.join(u',');
}

QString keysetCondition(const std::vector<OrderColumn>& order, bool forward)
{
    const std::size_t n = order.size();
    QStringList groups;
    for (std::size_t k = 1; k <= n; ++k) {
        const std::size_t last = n - k; // index of the group's last column
        QString group = u"("_s;
        for (std::size_t i = 0; i < last; ++i)
            group += u' ' + order[i].name + u" = :"_s + order[i].name + u" AND"_s;
        const OrderColumn& c = order[last];
        const QChar cmp = (forward != c.descending) ? u'>' : u'<';
        group += u' ' + c.name + u' ' + cmp + u" :"_s + c.name + u')';
        groups.append(group);
    }
    const QString all = groups.join(u" OR "_s);
    return n > 1 ? u'(' + all + u')' : all;
}

QString nullSafeKeysetCondition(const std::vector<OrderColumn>& order, bool forward,
                                const QSet<QString>& canBeNull, const QSet<QString>& nullInBoundary)
{
    const std::size_t n = order.size();
    QStringList groups;
    for (std::size_t k = 1; k <= n; ++k) {
        const std::size_t last = n - k;
        QString group = u"("_s;
        for (std::size_t i = 0; i < last; ++i) {
            const QString& name = order[i].name;
            group += nullInBoundary.contains(name) ? u' ' + name + u" IS NULL AND"_s
                                                   : u' ' + name + u" = :"_s + name + u" AND"_s;
        }
        const OrderColumn& c = order[last];
        const bool greater = forward != c.descending;
        if (nullInBoundary.contains(c.name)) {
            if (!greater)
                continue; // nothing sorts before null
            group += u' ' + c.name + u" IS NOT NULL)"_s;
        } else if (!greater && canBeNull.contains(c.name)) {
            group += u" ("_s + c.name + u" < :"_s + c.name + u" OR "_s + c.name + u" IS NULL))"_s;
        } else {
            group += u' ' + c.name + (greater ? u" > :"_s : u" < :"_s) + c.name + u')';
        }
        groups.append(group);
    }
    if (groups.isEmpty())
        return {};
    const QString all = groups.join(u" OR "_s);
    return groups.size() > 1 ? u'(' + all + u')' : all;
}

QString keysetSql(const BrowserStatements& s, const QString& condition, bool forward)
{
    const SelectParts parts{s.fromClause, s.filter, s.orderClause};
    return parts.withCondition(condition, forward ? s.orderClause : s.reversedClause);
}

QString keyCondition(const QStringList& keyColumns)
{
    QStringList parts;
    for (const QString& k : keyColumns)
        parts.append(k + u"=:"_s + k);
    return parts.join(u" and "_s);
}

QString oldValuesCondition(const std::vector<Column>& columns, const QSet<QString>& nullOld)
{
    QStringList parts;
    for (const Column& c : columns) {
        if (isBlobOrArray(c))
            continue;
        parts.append(nullOld.contains(c.name) ? c.name + u" IS NULL"_s
                                              : c.name + u"=:OLD_"_s + c.name);
    }
    return parts.join(u" and "_s);
}

QStringList writtenColumns(const std::vector<Column>& columns)
{
    QStringList names;
    for (const Column& c : columns) {
        if (c.kind != ColumnKind::Array)
            names.append(c.name);
    }
    return names;
}

QString updateSql(const QString& table, const std::vector<Column>& columns,
                  const QSet<QString>& nullOld)
{
    QStringList sets;
    for (const QString& c : writtenColumns(columns))
        sets.append(c + u"=:"_s + c);
    return u"update "_s + table + u"\nset "_s + sets.join(u", "_s) + u"\nwhere "_s +
           oldValuesCondition(columns, nullOld);
}

QString deleteSql(const QString& table, const std::vector<Column>& columns,
                  const QSet<QString>& nullOld)
{
    return u"delete from "_s + table + u"\nwhere "_s + oldValuesCondition(columns, nullOld);
}

QString insertSql(const QString& table, const QStringList& columns)
{
    return u"insert into "_s + table + u" ("_s + columns.join(u',') + u")\nvalues (:"_s +
           columns.join(u",:"_s) + u')';
}

BrowserStatements build(const TableShape& shape, const QString& filter,
                        const QString& indexFieldNames)
{
    BrowserStatements s;
    s.orderList = orderList(shape.keyColumns, shape.indexes, indexFieldNames);
    s.order = orderColumns(s.orderList);
    const SelectParts parts{u"select * from "_s + shape.table, filter,
                            u"order by "_s + s.orderList};
    const QString reversed = reversedOrder(s.order);
    s.select = parts.select();
    s.reread = parts.withCondition(keyCondition(shape.keyColumns), QString());
    const QString& firstKey = shape.keyColumns.value(0);
    s.lock = u"update "_s + shape.table + u" set "_s + firstKey + u"=:"_s + firstKey +
             u" where "_s + keyCondition(shape.keyColumns);
    s.update = updateSql(shape.table, shape.columns);
    s.deleteRow = deleteSql(shape.table, shape.columns);
    s.insert = insertSql(shape.table, writtenColumns(shape.columns));
    s.nextRows = parts.withCondition(keysetCondition(s.order, true), parts.order);
    s.priorRows = parts.withCondition(keysetCondition(s.order, false), reversed);
    s.lastRows =
        parts.from + (filter.isEmpty() ? QString() : u"\nwhere "_s + filter) + u'\n' + reversed;
    s.fromClause = parts.from;
    s.filter = filter;
    s.orderClause = parts.order;
    s.reversedClause = reversed;
    return s;
}

} // namespace refdata::browsersql
